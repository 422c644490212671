// The command-line front end tarnby-dustdata: its exit codes and messages.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "DustDataBuild.h"
#include "DustDataFiles.h"

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
  // A file that is no database is a run-time failure of the layer.
  WriteText(dir_ / "junk.db", "not a database at all");
  EXPECT_EQ(RunTool("check " + (dir_ / "junk.db").string() + quiet), 3);
  EXPECT_NE(ReadText(err).find("Error 3051"), std::string::npos) << ReadText(err);
  // A damaged database fails the check.
  {
    auto d = OpenDb(fs::path(db_).string());
    d->Execute("DELETE FROM PARMS WHERE PARM = 'AvgYrPXR'");
  }
  EXPECT_EQ(RunTool("check " + db_.string() + quiet), 2);
}

}  // namespace
