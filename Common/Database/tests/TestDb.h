// A scratch folder per test and helpers to make small databases in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "Database.h"
#include "OrvError.h"

namespace orv::db::testing {

class DbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("orvdb_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

inline FieldDef F(std::string name, FieldType type, int32_t size = 0, bool required = false) {
  return MakeField(std::move(name), type, size, required);
}

inline IndexDef Ix(std::string name, std::vector<std::string> fields, bool primary = false,
                   bool unique = false, bool ignore_nulls = false) {
  return IndexDef{std::move(name), std::move(fields), primary, unique, ignore_nulls};
}

// Writes `bytes` over a file at `at` (at its start when -1), as damage.
inline void WriteBytes(const std::string& path, const std::string& bytes, std::streamoff at = -1) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  if (at >= 0) f.seekp(at);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// `n` bytes of noise, the same for the same seed.
inline std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xff);
  return s;
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
