#include <gtest/gtest.h>

#include "ErrorHandler.h"
#include "OsVersion.h"

namespace orv::detail {
namespace {

TEST(OsVersion, ReleasesMapOntoTheVersionNumbers) {
  struct Case {
    const char* sysname;
    const char* release;
    int32_t major, minor, build, platform;
    const char* name;
  } cases[] = {
      {"Linux", "6.1.0-18-amd64", 6, 1, 0, 2, "Linux 6.1.0"},
      {"Linux", "5.15.153.1-microsoft-standard-WSL2", 5, 15, 153, 2, "Linux 5.15.153"},
      {"Linux", "6.8", 6, 8, 0, 2, "Linux 6.8.0"},
      {"FreeBSD", "14.0-RELEASE", 14, 0, 0, 2, "FreeBSD 14.0.0"},
      {"Linux", "unknown", 0, 0, 0, 1, "Failed to identify windows version"},
      {"", "6.1.0", 0, 0, 0, 1, "Failed to identify windows version"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    const OsVersion v = OsVersionFromRelease(c.sysname, c.release);
    EXPECT_EQ(v.major, c.major);
    EXPECT_EQ(v.minor, c.minor);
    EXPECT_EQ(v.build, c.build);
    EXPECT_EQ(v.platform, c.platform);
    EXPECT_EQ(v.name, c.name);
  }
}

TEST(OsVersion, TheReporterKnowsTheRunningSystem) {
  const ErrorHandler eh("tarnby");
  EXPECT_EQ(eh.WindowsPlatform(), 2);
  EXPECT_EQ(eh.WindowsVersion().rfind("Linux ", 0), 0u) << eh.WindowsVersion();
  EXPECT_GT(eh.WindowsMajorVersion(), 0);
}

}  // namespace
}  // namespace orv::detail
