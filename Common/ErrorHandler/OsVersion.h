// The operating system version as the error reporter presents it.
#pragma once

#include <cstdint>
#include <string>

namespace orv::detail {

struct OsVersion {
  int32_t major = 0;
  int32_t minor = 0;
  int32_t build = 0;
  int32_t platform = 1;
  std::string name = "Failed to identify windows version";
};

// Maps a Unix host onto the version numbers: platform 2 (a multi-user
// system with its own system log), major, minor and build from the leading
// "a.b.c" of the release (missing parts 0), name "<sysname> a.b.c". An empty
// sysname or a release that does not start with a number gives the failure
// values.
OsVersion OsVersionFromRelease(const std::string& sysname, const std::string& release);

// Reads the running system's version (uname).
OsVersion QueryOsVersion();

}  // namespace orv::detail
