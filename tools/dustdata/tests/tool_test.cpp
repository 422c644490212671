// The command-line front end tarnby-dustdata: its exit codes and messages.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "Interfaces.h"
#include "SpoiltFiles.h"

namespace {

using namespace orv::dustdata::test;
namespace fs = std::filesystem;
namespace dd = orv::dustdata;

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override { dd::BuildFromCsv(FixtureDir(), db_.string()); }

  TempDir tmp_;
  fs::path dir_ = tmp_.path();
  fs::path db_ = dir_ / "DUST.db";
};

int RunTool(const std::string& args) {
  // The tool lands in the folder of this test program.
  const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
  const std::string cmd = (bin / "tarnby-dustdata").string() + " " + args;
  const int rc = std::system(cmd.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST_F(ToolTest, ExitCodes) {
  const std::string err = (dir_ / "err.txt").string();
  const std::string quiet = " >/dev/null 2>" + err;
  EXPECT_EQ(RunTool("--help" + quiet), 0);
  EXPECT_EQ(RunTool("build --help" + quiet), 0);
  EXPECT_EQ(RunTool("frobnicate" + quiet), 2);
  EXPECT_EQ(RunTool("build" + quiet), 2);
  EXPECT_EQ(RunTool("check " + db_.string() + quiet), 0);
  // An existing output without --force is bad usage; the file is kept.
  EXPECT_EQ(RunTool(std::string("build ") + FixtureDir() + " " + db_.string() + quiet), 2);
  EXPECT_NE(ReadText(err).find("--force"), std::string::npos);
  const fs::path src = CopyFixture(dir_ / "src");
  SetLine(src / "surveys.csv", 3, "101,SURVEY,1961,1961,lots");
  EXPECT_EQ(RunTool("build " + src.string() + " " + (dir_ / "x.db").string() + quiet), 2);
  EXPECT_NE(ReadText(err).find("surveys.csv, line 3, field DUSTVAL"), std::string::npos)
      << ReadText(err);
  EXPECT_FALSE(fs::exists(dir_ / "x.db"));
  // A damaged database fails the check.
  {
    auto d = OpenDb(fs::path(db_).string());
    d->Execute("DELETE FROM PARMS WHERE PARM = 'AvgYrPXR'");
  }
  EXPECT_EQ(RunTool("check " + db_.string() + quiet), 2);
}

// A bad database file is bad input: exit 2 and one line naming the file (or,
// for a changed stored query, the check naming the query); the file as it was.
TEST_F(ToolTest, SpoiltDatabasesExitTwoNamingThem) {
  const std::string claimants = (dir_ / "claimants.db").string();
  {
    auto d = orv::db::CreateDatabase(claimants);
    orv::db::FieldDef id;
    id.name = "ID";
    id.type = orv::db::FieldType::Long;
    d->CreateTable("CLAIMANT", {id});
  }
  const fs::path folder = dir_ / "spoilt";
  fs::create_directories(folder);
  const orv::test::Spoiling spoiling{db_.string(), orv::DustDataConnect(), claimants,
                                     "qDustMatrixData", "DUSTMATRIX"};
  const std::string err = (dir_ / "err.txt").string();
  for (const orv::test::SpoiltFile& f : orv::test::SpoilCopies(spoiling, folder.string())) {
    const std::string before = orv::test::FileBytes(f.path);
    for (const std::string& command : {std::string("check"), std::string("export"),
                                       std::string("expand")}) {
      // A changed query is the check's business; exporting or expanding
      // never runs the engine's queries.
      if (f.tampered && command != "check") continue;
      SCOPED_TRACE(f.kind + ", " + command);
      const std::string out = command == "export" ? " " + (dir_ / "csv").string() : "";
      EXPECT_EQ(RunTool(command + " " + f.path + out + " >/dev/null 2>" + err), 2);
      const std::string said = ReadText(err);
      if (f.tampered) continue;  // on standard output, below
      EXPECT_NE(said.find("'" + f.path + "'"), std::string::npos) << said;
      EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    if (f.tampered) {
      const std::string report = (dir_ / "report.txt").string();
      EXPECT_EQ(RunTool("check " + f.path + " >" + report + " 2>/dev/null"), 2);
      EXPECT_NE(ReadText(report).find("'qDustMatrixData'"), std::string::npos) << ReadText(report);
    }
    EXPECT_EQ(orv::test::FileBytes(f.path), before);
    if (!f.attached.empty()) {
      EXPECT_FALSE(fs::exists(f.attached));
    }
  }
}

}  // namespace
