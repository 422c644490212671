// A scratch folder per test and helpers to make small databases in it.
//
// A suite whose tests are written TEST_P runs on both engines: on a file,
// and on the test server (INSTANTIATE_TEST_SUITE_P(Engines, Suite,
// BothEngines(), EngineName)), where PathOf gives the URI of a new database
// of the server instead of a file. TEST_F tests of the same fixture stay on
// files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "Database.h"
#include "OrvError.h"
#include "SpoiltFiles.h"
#include "TempDir.h"
#include "TestServer.h"

namespace orv::db::testing {

enum class Engine { File, Server };
inline void PrintTo(Engine e, std::ostream* os) { *os << (e == Engine::Server ? "Server" : "File"); }

inline auto BothEngines() { return ::testing::Values(Engine::File, Engine::Server); }
inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::Server ? "Server" : "File";
}

class DbTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    on_server_ = info->value_param() && std::strstr(info->value_param(), "Server") != nullptr;
    test_name_ = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : test_name_) c = c == '/' ? '_' : c;
  }
  void TearDown() override {
    for (const auto& [name, uri] : server_) {
      try {
        orv::testing::ServerAdmin("DROP DATABASE IF EXISTS " + uri.substr(14, uri.find('?') - 14) +
                                  " WITH (FORCE)");
      } catch (...) {
        // Left to the server's end.
      }
    }
  }

  bool OnServer() const { return on_server_; }
  // A file in the scratch folder, or on the server a new database of its own
  // (the same one for the same name within a test).
  std::string PathOf(const std::string& name) {
    if (!on_server_) return (dir_ / name).string();
    auto it = server_.find(name);
    if (it == server_.end()) {
      it = server_.emplace(name, orv::testing::NewServerDatabase("t_" + test_name_ + "_" + name))
               .first;
    }
    return it->second;
  }
  // A file of many pages: the layer's tables and a stored query qT first,
  // then a table T (ID, TXT) of 3000 rows with an index ByText, so that a
  // damaged page is mostly one of T's.
  std::string MakeManyPages(const std::string& name = "good.db") {
    const std::string path = PathOf(name);
    DatabasePtr db = CreateDatabase(path);
    db->CreateQueryDef("qT", "SELECT * FROM T WHERE ID = :WhatID", "WhatID Long");
    db->CreateTable("T", {MakeField("ID", FieldType::Long), MakeField("TXT", FieldType::Text, 200)});
    db->CreateIndex("T", IndexDef{"ByText", {"TXT"}, false, false, false});
    db->BeginTrans();
    for (int i = 0; i < 3000; ++i)
      db->Execute("INSERT INTO T VALUES (?, ?)", {i, "row " + std::to_string(i * 7919)});
    db->CommitTrans();
    db->Close();
    return path;
  }
  // How messages name the database of `path`: the file, or on a server the
  // database's name.
  static std::string NamedAs(const std::string& path) {
    if (!IsServerPath(path)) return path;
    return "'" + path.substr(14, path.find('?') - 14) + "'";
  }

  orv::test::TempDir tmp_;  // a new folder for each test
  const std::filesystem::path dir_ = tmp_.path();

 private:
  bool on_server_ = false;
  std::string test_name_;
  std::map<std::string, std::string> server_;
};

inline FieldDef F(std::string name, FieldType type, int32_t size = 0, bool required = false) {
  return MakeField(std::move(name), type, size, required);
}

inline IndexDef Ix(std::string name, std::vector<std::string> fields, bool primary = false,
                   bool unique = false, bool ignore_nulls = false) {
  return IndexDef{std::move(name), std::move(fields), primary, unique, ignore_nulls};
}

// The damages of a file (WriteBytes, RandomBytes, Damages()) are the test
// support's, shared with the other suites.
using orv::test::RandomBytes;
using orv::test::WriteBytes;

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
