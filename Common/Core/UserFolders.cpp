#include "UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace orv {

namespace {

namespace fs = std::filesystem;

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return ".";
}

// $variable when it is an absolute path, else the home folder and `fallback`.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  fs::path base = (value && *value == '/') ? fs::path(value) : fs::path(HomeFolder()) / fallback;
  return (base / "tarnby").lexically_normal().string();
}

}  // namespace

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }
std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

}  // namespace orv
