#include "detail/EngineFactory.h"

#include <map>
#include <string>

#include "Text.h"

namespace orv::dust::detail {

namespace {

// Keyed by the upper-case class identifier. A function-local table, so that
// registrars in any translation unit find it constructed.
std::map<std::string, EngineClassMaker>& Makers() {
  static std::map<std::string, EngineClassMaker> makers;
  return makers;
}

}  // namespace

EngineClassRegistrar::EngineClassRegistrar(std::string_view class_id, EngineClassMaker make) {
  Makers()[UpperAscii(class_id)] = std::move(make);
}

orv::Component* CreateEngineObject(std::string_view class_id) {
  const auto it = Makers().find(UpperAscii(class_id));
  if (it == Makers().end()) return nullptr;
  return it->second();
}

}  // namespace orv::dust::detail

ORV_EXPORT orv::Component* OrvCreateObject(const char* class_id) {
  return orv::ServeComponent(class_id, &orv::dust::detail::CreateEngineObject);
}
