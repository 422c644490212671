// The change history: what each writer leaves, that a killed write leaves
// nothing, that the history cannot be rewritten, and what check finds when
// another program went around it, on a file and on the test server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ChangeHistory.h"
#include "ClaimantsCsv.h"
#include "Database.h"
#include "OrvError.h"
#include "TempDir.h"
#include "TestServer.h"
#include "Text.h"
#include "ToolRun.h"
#include "modTarnbyDatabase.h"

namespace orv::tarnby {
namespace {

namespace fs = std::filesystem;

// One CSV row of the history, split (the test data needs no quoting).
std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "TIME,USER,PROGRAM,TABLE,ROWID,CLAIMANTID,ACTION,FIELD,OLD,NEW\r");
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> cells;
    std::istringstream cols(line);
    for (std::string cell; std::getline(cols, cell, ',');) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.emplace_back();
    rows.push_back(cells);
  }
  return rows;
}

enum Col { kTime, kUser, kProgram, kTable, kRow, kClaimant, kAction, kField, kOld, kNew };

// The parameter: on the test server (a database of its own per test) rather
// than in a file.
class ChangeHistoryTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    path_ = OnServer() ? orv::testing::NewServerDatabase("h_" + name.substr(0, 40))
                       : (dir_ / "c.db").string();
    CreateClaimantDatabase(path_);
    const char* src = std::getenv("TARNBY_SOURCE_DIR");
    sample_ = (fs::path(src ? src : "../../..") / "data" / "claimants").string();
  }

  orv::test::ToolRun Tool(const std::string& args) {
    return orv::test::RunTool("tarnby-claimants", args, dir_.string());
  }
  std::vector<std::vector<std::string>> History(const std::string& args = {}) {
    const orv::test::ToolRun r = Tool("history '" + path_ + "'" + args);
    EXPECT_EQ(r.code, 0) << r.err;
    return Rows(r.out);
  }
  std::vector<std::string> Problems() { return claimants::CheckDatabase(path_).problems; }
  bool OnServer() const { return GetParam(); }
  // Who the records name: the login on a file, the server's session user.
  std::string User() {
    if (!OnServer()) return LoginName();
    const db::DatabasePtr d = db::OpenDatabase(path_);
    return d->OpenRecordset("SELECT session_user", db::RecordsetType::Snapshot)->Field(0).AsText();
  }
  // Another program's removal of one of the structure's triggers.
  std::string DropTrigger(const std::string& name, const char* table) const {
    return "DROP TRIGGER \"" + name + "\"" +
           (OnServer() ? std::string(" ON \"") + table + "\"" : std::string());
  }

  orv::test::TempDir tmp_;
  const fs::path dir_ = tmp_.path();
  std::string path_;
  std::string sample_;
};

TEST_P(ChangeHistoryTest, EachWriterLeavesItsRecordsNamingUserAndProgram) {
  // The tool's import: every field of every row it adds.
  ASSERT_EQ(Tool("import '" + path_ + "' '" + sample_ + "'").code, 0);
  auto rows = History();
  ASSERT_FALSE(rows.empty());
  const std::string user = User();
  for (const auto& r : rows) {
    EXPECT_EQ(r[kUser], user);
    EXPECT_EQ(r[kProgram], "tarnby-claimants");
    EXPECT_EQ(r[kAction], "insert");
    EXPECT_TRUE(r[kOld].empty());
  }
  const size_t after_import = rows.size();
  // This program's own writes, through the claimant database's open: an
  // update records the changed field only; a claimant's deletion records
  // every value he had, and his past stays.
  {
    const db::DatabasePtr d = OpenClaimantDatabase(path_);
    EXPECT_EQ(d->Execute("UPDATE CLAIMANT SET SURNAME = 'Harker-Smith', REF = REF WHERE ID = 1"), 1);
    EXPECT_EQ(d->Execute("DELETE FROM SMOKEHISTORY WHERE CLAIMANTID = 2"), 1);
    EXPECT_GE(d->Execute("DELETE FROM WORKHISTORY WHERE CLAIMANTID = 2"), 1);
    EXPECT_EQ(d->Execute("DELETE FROM CLAIMANT WHERE ID = 2"), 1);
    d->Close();
  }
  rows = History();
  ASSERT_GT(rows.size(), after_import + 2);
  const auto& update = rows[after_import];
  EXPECT_EQ(update[kTable], "CLAIMANT");
  EXPECT_EQ(update[kAction], "update");
  EXPECT_EQ(update[kField], "SURNAME");
  EXPECT_EQ(update[kOld], "Harker");
  EXPECT_EQ(update[kNew], "Harker-Smith");
  EXPECT_EQ(rows[after_import + 1][kTable], "SMOKEHISTORY");
  EXPECT_EQ(rows.back()[kTable], "CLAIMANT");
  EXPECT_EQ(rows.back()[kAction], "delete");
  EXPECT_EQ(rows.back()[kClaimant], "2");
  // One claimant's history: his insert, his deletion and nobody else's.
  const auto his = History(" --claimant 2");
  ASSERT_FALSE(his.empty());
  for (const auto& r : his) EXPECT_EQ(r[kClaimant], "2");
  EXPECT_EQ(his.front()[kAction], "insert");
  EXPECT_EQ(his.back()[kAction], "delete");
  EXPECT_TRUE(History(" --since 2999-01-01").empty());
  EXPECT_EQ(History(" --since 2000-01-01").size(), rows.size());
  EXPECT_EQ(Tool("history '" + path_ + "' --since 2026-02-30").code, 2);

  // Another program's direct write is recorded too: on a file nobody is
  // named, on a server its session user is.
  {
    const db::DatabasePtr raw = db::OpenDatabase(path_);
    EXPECT_EQ(raw->Execute("UPDATE WORKHISTORY SET ENDYEAR = ENDYEAR + 1 WHERE ID = 1"), 1);
  }
  rows = History();
  EXPECT_EQ(rows.back()[kField], "ENDYEAR");
  EXPECT_EQ(rows.back()[kUser], OnServer() ? user : "");
  if (!OnServer()) {
    EXPECT_TRUE(rows.back()[kProgram].empty());
  }
  EXPECT_TRUE(Problems().empty()) << Problems().front();
}

TEST_P(ChangeHistoryTest, AKilledWriteLeavesNeitherTheChangeNorItsRecord) {
  ASSERT_EQ(Tool("import '" + path_ + "' '" + sample_ + "'").code, 0);
  const size_t before = History().size();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const db::DatabasePtr d = OpenClaimantDatabase(path_);
    d->BeginTrans(true);
    d->Execute("UPDATE CLAIMANT SET SURNAME = 'Killed' WHERE ID = 1");
    d->Execute("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (1, 2, 5)");
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  const auto rows = History();
  EXPECT_EQ(rows.size(), before);
  for (const auto& r : rows) EXPECT_NE(r[kNew], "Killed");
  const db::DatabasePtr d = OpenForReading(path_);
  EXPECT_EQ(d->OpenRecordset("SELECT SURNAME FROM CLAIMANT WHERE ID = 1", db::RecordsetType::Snapshot)
                ->Field(0)
                .AsText(),
            "Harker");
}

TEST_P(ChangeHistoryTest, TheHistoryCannotBeRewrittenAndCheckFindsWhatWentAroundIt) {
  ASSERT_EQ(Tool("import '" + path_ + "' '" + sample_ + "'").code, 0);
  {
    const db::DatabasePtr d = OpenClaimantDatabase(path_);
    std::vector<std::string> rewrites = {"UPDATE CHANGEHISTORY SET NEWVALUE = 'x' WHERE ID = 2",
                                         "UPDATE CHANGEHISTORY SET USERNAME = 'someone' WHERE ID = 2",
                                         "DELETE FROM CHANGEHISTORY WHERE ID = 2"};
    // A file has no way to empty a table at once; a server's refuses it.
    if (OnServer()) rewrites.push_back("TRUNCATE CHANGEHISTORY");
    for (const std::string& sql : rewrites) EXPECT_THROW(d->Execute(sql), OrvError) << sql;
  }
  EXPECT_TRUE(Problems().empty());
  // Another program that drops the file's triggers can change a row without
  // a record, and rewrite a record: check says so for each.
  {
    const db::DatabasePtr raw = db::OpenDatabase(path_);
    raw->Execute(DropTrigger("CHANGEHISTORY_WORKHISTORY_UPDATE", "WORKHISTORY"));
    raw->Execute(DropTrigger("CHANGEHISTORY_KEEP_UPDATE", kChangeHistoryTable));
    EXPECT_EQ(raw->Execute("UPDATE WORKHISTORY SET STARTYEAR = 1900 WHERE ID = 3"), 1);
    EXPECT_EQ(raw->Execute("UPDATE CHANGEHISTORY SET NEWVALUE = 'Nobody' WHERE FIELD = 'SURNAME' "
                           "AND ROWKEY = 1 AND TABLENAME = 'CLAIMANT'"),
              1);
  }
  {
    // A later, recorded change of the surname no longer follows its record.
    const db::DatabasePtr d = OpenClaimantDatabase(path_);
    d->Execute("UPDATE CLAIMANT SET SURNAME = 'Harker2' WHERE ID = 1");
  }
  const std::vector<std::string> problems = Problems();
  ASSERT_EQ(problems.size(), 2u) << ::testing::PrintToString(problems);
  EXPECT_NE(problems[0].find("CLAIMANT row 1 SURNAME was \"Harker\" before it, but the record "
                             "before left \"Nobody\""),
            std::string::npos)
      << problems[0];
  EXPECT_NE(problems[1].find("WORKHISTORY row 3 STARTYEAR is \"1900\" but its last recorded "
                             "change left"),
            std::string::npos)
      << problems[1];
  EXPECT_EQ(Tool("check '" + path_ + "'").code, 2);
}

TEST_P(ChangeHistoryTest, TheStructureDeclaresEveryTriggerItMakes) {
  const db::DatabasePtr d = OpenForReading(path_);
  std::vector<std::string> on_file;
  const char* triggers =
      OnServer() ? "SELECT tgname FROM pg_trigger WHERE NOT tgisinternal ORDER BY tgname"
                 : "SELECT name FROM sqlite_master WHERE type = 'trigger' ORDER BY name";
  for (auto r = d->OpenRecordset(triggers, db::RecordsetType::Snapshot); !r->IsEOF(); r->MoveNext())
    on_file.push_back(UpperAscii(r->Field(0).AsText()));  // a server's names are folded
  std::vector<std::string> declared = ChangeHistoryTriggers(OnServer());
  std::sort(declared.begin(), declared.end());
  EXPECT_EQ(on_file, declared);
}

// A history of more records than the tool reads at once (it pages through
// them) comes out whole, each record once, in order.
TEST_P(ChangeHistoryTest, AHistoryOfManyPagesIsWrittenWhole) {
  ASSERT_EQ(Tool("import '" + path_ + "' '" + sample_ + "'").code, 0);
  {
    const db::DatabasePtr d = OpenClaimantDatabase(path_);
    d->BeginTrans();
    for (int i = 0; i < 2600; ++i)
      d->Execute("INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, "
                 "STARTYEAR, ENDYEAR, PITNAME) VALUES (1, 101, 1, 1, ?, ?, ?)",
                 {Value(1900 + i % 50), Value(1901 + i % 50), Value("Pit " + std::to_string(i))});
    d->CommitTrans();
  }
  std::vector<ChangeRecord> records;
  {
    const db::DatabasePtr d = OpenClaimantDatabase(path_);
    records = ReadChanges(*d, std::nullopt, std::nullopt);
  }
  ASSERT_GT(records.size(), 20000u);
  const std::vector<std::vector<std::string>> rows = History();
  ASSERT_EQ(rows.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    ASSERT_GE(rows[i].size(), 10u);
    ASSERT_EQ(rows[i][kRow], std::to_string(records[i].row)) << i;
    ASSERT_EQ(rows[i][kField], records[i].field) << i;
    ASSERT_EQ(rows[i][kNew], records[i].new_value.value_or("")) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ChangeHistoryTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? "Server" : "File";
                         });

}  // namespace
}  // namespace orv::tarnby
