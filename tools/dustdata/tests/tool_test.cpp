// The command-line front end tarnby-dustdata: its exit codes and messages.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "DustDataPassword.h"
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

namespace {

// Rows of a table, to show that a refused file was not written.
int64_t Rows(const fs::path& db, const std::string& table) {
  auto d = OpenDb(db.string(), true);
  return d->OpenRecordset("SELECT COUNT(*) FROM " + table, orv::db::RecordsetType::Snapshot)
      ->Field(0)
      .AsInt64();
}

void SetQuery(const fs::path& db, const std::string& name, const std::string& sql) {
  auto d = OpenDb(db.string());
  d->Execute("UPDATE StoredQueries SET SQL = ? WHERE Name = ?", {orv::Value(sql), orv::Value(name)});
  d->Close();
}

// A file not yet expanded whose action query was changed to delete the job
// factors: the expansion refuses it, naming the query, before it writes a
// thing; the check reports it.
TEST_F(ToolTest, ExpandRunsOnlyItsOwnActionQueries) {
  const fs::path src = CopyFixture(dir_ / "src");
  fs::remove(src / "dust_matrix.csv");
  const fs::path planted = dir_ / "planted.db";
  dd::BuildFromCsv(src.string(), planted.string());
  SetQuery(planted, "qOpenRangeEmpty", "DELETE FROM JOBFACTORS");
  const int64_t factors = Rows(planted, "JOBFACTORS");
  const std::string before = orv::test::FileBytes(planted.string());
  const std::string err = (dir_ / "err.txt").string();
  EXPECT_EQ(RunTool("expand " + planted.string() + " >/dev/null 2>" + err), 2);
  EXPECT_NE(ReadText(err).find("'qOpenRangeEmpty'"), std::string::npos) << ReadText(err);
  EXPECT_NE(ReadText(err).find(planted.string()), std::string::npos) << ReadText(err);
  EXPECT_EQ(orv::test::FileBytes(planted.string()), before);
  EXPECT_EQ(Rows(planted, "JOBFACTORS"), factors);

  const std::string report = (dir_ / "report.txt").string();
  EXPECT_EQ(RunTool("check " + planted.string() + " >" + report + " 2>/dev/null"), 2);
  EXPECT_NE(ReadText(report).find("qOpenRangeEmpty is not the matrix expansion's own"),
            std::string::npos)
      << ReadText(report);

  // The same file with the program's own queries expands, and the file
  // that replaces it keeps its mode.
  const fs::path sound = dir_ / "sound.db";
  dd::BuildFromCsv(src.string(), sound.string());
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(sound, mode);
  EXPECT_EQ(RunTool("expand " + sound.string() + " >/dev/null 2>" + err), 0) << ReadText(err);
  EXPECT_EQ(fs::status(sound).permissions() & fs::perms::all, mode);
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_NE(e.path().filename().string().front(), '.') << "left behind: " << e.path();
}

// A stored query that never ends is stopped by the budget, and the check
// names it.
TEST_F(ToolTest, CheckStopsAQueryThatNeverEndsNamingIt) {
  SetQuery(db_, "qDustMatrixData",
           "WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r) "
           "SELECT x AS DustVal FROM r");
  const std::string report = (dir_ / "report.txt").string();
  EXPECT_EQ(RunTool("check " + db_.string() + " >" + report + " 2>/dev/null"), 2);
  EXPECT_NE(ReadText(report).find("The stored query 'qDustMatrixData' of the read-only database '" +
                                  db_.string() + "' was stopped"),
            std::string::npos)
      << ReadText(report);
}

// Text another program stored in a number column is reported by the check,
// naming the table, row and column.
TEST_F(ToolTest, CheckReportsTextInANumberColumn) {
  {
    auto d = OpenDb(db_.string());
    d->Execute("UPDATE SURVEYS SET DUSTVAL = 'lots' WHERE _rowid_ = 2");
  }
  const std::string report = (dir_ / "report.txt").string();
  EXPECT_EQ(RunTool("check " + db_.string() + " >" + report + " 2>/dev/null"), 2);
  EXPECT_NE(ReadText(report).find("SURVEYS row 2: 'lots' in DUSTVAL: not a number"),
            std::string::npos)
      << ReadText(report);
}

// Text a spreadsheet would evaluate is exported with an apostrophe before
// it, and a build of the export reads back the same text.
TEST_F(ToolTest, ExportedFormulasAreTextAndComeBackExactly) {
  {
    auto d = OpenDb(db_.string());
    d->Execute("UPDATE COLLIERIES SET COLLIERY = '=HYPERLINK(\"x\")' WHERE ID = 101");
  }
  const fs::path out = dir_ / "csv";
  EXPECT_EQ(RunTool("export " + db_.string() + " " + out.string() + " >/dev/null 2>&1"), 0);
  EXPECT_NE(ReadText(out / "collieries.csv").find("\"'=HYPERLINK(\"\"x\"\")\""), std::string::npos)
      << ReadText(out / "collieries.csv");
  const fs::path again = dir_ / "again.db";
  dd::BuildFromCsv(out.string(), again.string());
  auto d = OpenDb(again.string(), true);
  EXPECT_EQ(d->OpenRecordset("SELECT COLLIERY FROM COLLIERIES WHERE ID = 101",
                             orv::db::RecordsetType::Snapshot)
                ->Field(0)
                .AsText(),
            "=HYPERLINK(\"x\")");
}

}  // namespace
