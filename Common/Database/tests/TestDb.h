// A scratch folder per test and helpers to make small databases in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "Database.h"
#include "OrvError.h"
#include "TempDir.h"

namespace orv::db::testing {

class DbTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  orv::test::TempDir tmp_;
  std::filesystem::path dir_ = tmp_.path();
};

inline FieldDef F(std::string name, FieldType type, int32_t size = 0, bool required = false) {
  return MakeField(std::move(name), type, size, required);
}

inline IndexDef Ix(std::string name, std::vector<std::string> fields, bool primary = false,
                   bool unique = false, bool ignore_nulls = false) {
  return IndexDef{std::move(name), std::move(fields), primary, unique, ignore_nulls};
}

// The error number `f` raises, or 0 when it raises nothing.
inline int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const OrvError& e) {
    return e.Number();
  }
  return 0;
}

inline std::string DescriptionOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const OrvError& e) {
    return e.Description();
  }
  return {};
}

}  // namespace orv::db::testing
