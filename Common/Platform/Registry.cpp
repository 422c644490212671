#include "Registry.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "OrvError.h"
#include "Text.h"

namespace orv {

namespace {

using RawFactory = Component* (*)(const char*);

struct RegistryState {
  std::mutex mutex;
  std::map<std::string, ComponentFactory> factories;  // keyed by upper-case id
  std::map<std::string, RawFactory> libraries;        // keyed by library file
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

std::filesystem::path ProgramFolder() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return std::filesystem::path(buf).parent_path();
}

std::vector<std::filesystem::path> SearchFolders() {
  std::vector<std::filesystem::path> folders;
  if (const char* env = std::getenv("ORV_COMPONENT_PATH")) {
    std::string_view rest(env);
    while (!rest.empty()) {
      const auto colon = rest.find(':');
      const auto part = rest.substr(0, colon);
      if (!part.empty()) folders.emplace_back(std::string(part));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  if (auto f = ProgramFolder(); !f.empty()) folders.push_back(f);
  return folders;
}

[[noreturn]] void Fail(std::string_view class_id, const std::string& why) {
  throw OrvError(
      err::kCantCreateObject, "CreateObject",
      StandardErrorText(err::kCantCreateObject) + " - " + std::string(class_id) + ": " + why);
}

// Loads the library (once) and returns its factory. Called with the mutex held.
RawFactory LoadLibrary(std::string_view class_id, const std::string& file) {
  auto& st = State();
  if (auto it = st.libraries.find(file); it != st.libraries.end()) return it->second;
  void* handle = nullptr;
  std::string why;
  for (const auto& folder : SearchFolders()) {
    const auto path = folder / file;
    if (!std::filesystem::exists(path)) continue;
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (handle) break;
    why = dlerror();
  }
  if (!handle) {
    handle = dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle && why.empty()) why = dlerror();
  }
  if (!handle) Fail(class_id, "cannot load " + file + (why.empty() ? "" : " (" + why + ")"));
  auto* factory = reinterpret_cast<RawFactory>(dlsym(handle, ORV_COMPONENT_FACTORY_SYMBOL));
  if (!factory) Fail(class_id, file + " is not a component library");
  st.libraries.emplace(file, factory);
  return factory;
}

}  // namespace

namespace {
thread_local std::exception_ptr component_failure;
}  // namespace

Component* ServeComponent(const char* class_id, ComponentMaker make) noexcept {
  component_failure = nullptr;
  if (class_id == nullptr) return nullptr;
  try {
    return make(class_id);
  } catch (...) {
    component_failure = std::current_exception();
    return nullptr;
  }
}

std::exception_ptr TakeComponentFailure() noexcept {
  std::exception_ptr failure = component_failure;
  component_failure = nullptr;
  return failure;
}

std::string LibraryForClass(std::string_view class_id) {
  const auto dot = class_id.find('.');
  const std::string_view prefix = class_id.substr(0, dot);
  return "lib" + LowerAscii(prefix) + ".so";
}

ComponentPtr CreateObject(std::string_view class_id) {
  auto& st = State();
  ComponentFactory registered;
  RawFactory factory = nullptr;
  {
    std::lock_guard lock(st.mutex);
    if (auto it = st.factories.find(UpperAscii(class_id)); it != st.factories.end())
      registered = it->second;
    else if (class_id.find('.') == std::string_view::npos || class_id.empty())
      Fail(class_id, "not a class identifier");
    else
      factory = LoadLibrary(class_id, LibraryForClass(class_id));
  }
  if (registered) {
    ComponentPtr obj = registered();
    if (!obj) Fail(class_id, "the registered factory created nothing");
    return obj;
  }
  Component* raw = factory(std::string(class_id).c_str());
  if (!raw) {
    if (std::exception_ptr failure = TakeComponentFailure()) std::rethrow_exception(failure);
    Fail(class_id, "the class is not served by " + LibraryForClass(class_id));
  }
  return ComponentPtr(raw);
}

void RegisterFactory(std::string_view class_id, ComponentFactory factory) {
  auto& st = State();
  std::lock_guard lock(st.mutex);
  const std::string key = UpperAscii(class_id);
  if (factory)
    st.factories[key] = std::move(factory);
  else
    st.factories.erase(key);
}

}  // namespace orv
