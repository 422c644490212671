#include "OsVersion.h"

#include <sys/utsname.h>

#include <cctype>
#include <cerrno>

namespace orv::detail {

namespace {

// Reads the decimal number at `pos`, advancing past it; -1 when none.
int32_t ReadNumber(const std::string& s, size_t& pos) {
  if (pos >= s.size() || !std::isdigit(static_cast<unsigned char>(s[pos]))) return -1;
  int64_t v = 0;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
    v = v * 10 + (s[pos] - '0');
    if (v > INT32_MAX) v = INT32_MAX;
    ++pos;
  }
  return static_cast<int32_t>(v);
}

}  // namespace

OsVersion OsVersionFromRelease(const std::string& sysname, const std::string& release) {
  OsVersion v;
  size_t pos = 0;
  const int32_t major = ReadNumber(release, pos);
  if (sysname.empty() || major < 0) return v;
  int32_t parts[2] = {0, 0};
  for (int32_t& part : parts) {
    if (pos >= release.size() || release[pos] != '.') break;
    ++pos;
    const int32_t n = ReadNumber(release, pos);
    if (n < 0) break;
    part = n;
  }
  v.major = major;
  v.minor = parts[0];
  v.build = parts[1];
  v.platform = 2;
  v.name = sysname + " " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.build);
  return v;
}

OsVersion QueryOsVersion() {
  utsname u{};
  if (uname(&u) != 0) return OsVersion{};
  return OsVersionFromRelease(u.sysname, u.release);
}

}  // namespace orv::detail
