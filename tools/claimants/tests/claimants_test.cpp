// tarnby-claimants: the CSV import and export, the check, and the tool's
// exit codes and messages.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "ChangeHistory.h"
#include "ClaimantsCsv.h"
#include "Database.h"
#include "InputError.h"
#include "OrvError.h"
#include "SpoiltFiles.h"
#include "TempDir.h"
#include "TestServer.h"
#include "ToolRun.h"
#include "modTarnbyDatabase.h"

namespace orv::claimants {
namespace {

namespace fs = std::filesystem;

using orv::test::ReadAll;

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// TEST_P tests run on a file and on the test server (the parameter: on the
// server), where NewDb makes a new database of the server.
class ClaimantsTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    on_server_ = info->value_param() && std::string(info->value_param()) == "true";
    test_name_ = info->name();
    for (char& c : test_name_) c = c == '/' ? '_' : c;
    const char* src = std::getenv("TARNBY_SOURCE_DIR");
    sample_ = fs::path(src ? src : "../../..") / "data" / "claimants";
  }

  // A new claimant database at the latest level.
  std::string NewDb(const std::string& name) {
    const std::string path = NewPlace(name);
    tarnby::CreateClaimantDatabase(path);
    return path;
  }
  // Where a new database goes: a file not there yet, or an empty database
  // of the test server.
  std::string NewPlace(const std::string& name, bool server) {
    if (server) return orv::testing::NewServerDatabase("c_" + test_name_ + "_" + name);
    fs::remove(dir_ / name);
    return (dir_ / name).string();
  }
  std::string NewPlace(const std::string& name) { return NewPlace(name, on_server_); }

  // A copy of the sample folder to spoil.
  fs::path SampleCopy() {
    const fs::path copy = dir_ / "source";
    fs::create_directories(copy);
    for (const auto& e : fs::directory_iterator(sample_)) {
      if (e.path().extension() == ".csv") fs::copy_file(e.path(), copy / e.path().filename());
    }
    return copy;
  }

  static int64_t Count(const std::string& db_path, const char* table) {
    auto d = db::OpenDatabase(db_path);
    return d->OpenRecordset(table, db::RecordsetType::Snapshot)->RecordCount();
  }

  using Ran = orv::test::ToolRun;
  Ran Tool(const std::string& args) {
    return orv::test::RunTool("tarnby-claimants", args, dir_.string());
  }

  orv::test::TempDir tmp_;
  const fs::path dir_ = tmp_.path();
  fs::path sample_;
  bool on_server_ = false;
  std::string test_name_;
};

TEST_P(ClaimantsTest, SampleImportsAndExportsBackToTheSameFiles) {
  const std::string first = NewDb("first.db");
  const ImportCounts n = ImportFolder(first, sample_.string());
  EXPECT_EQ(n.claimants, 14);
  EXPECT_EQ(n.work, 36);
  EXPECT_EQ(n.smoking, 14);
  EXPECT_EQ(n.user_factors, 1);
  ExportFolder(first, (dir_ / "out1").string());

  const std::string second = NewDb("second.db");
  ImportFolder(second, (dir_ / "out1").string());
  ExportFolder(second, (dir_ / "out2").string());
  for (const char* f :
       {"claimants.csv", "work_history.csv", "smoke_history.csv", "user_factors.csv"}) {
    const std::string text = ReadAll(dir_ / "out1" / f);
    EXPECT_FALSE(text.empty()) << f;
    EXPECT_EQ(text, ReadAll(dir_ / "out2" / f)) << f;
  }
  EXPECT_NE(ReadAll(dir_ / "out1" / "work_history.csv").find(",Hob Lane Drift"), std::string::npos);
  EXPECT_TRUE(CheckDatabase(first).ok());
}

// The sample keeps its numbers; a row entered afterwards with none takes
// the next free one (on a server the counters are moved on past the import).
TEST_P(ClaimantsTest, RowsEnteredAfterAnImportTakeNewNumbers) {
  const std::string db_path = NewDb("after.db");
  ImportFolder(db_path, sample_.string());
  const db::DatabasePtr d = tarnby::OpenClaimantDatabase(db_path);
  const auto highest = [&](const char* table) {
    return d->OpenRecordset(std::string("SELECT MAX(ID) FROM ") + table, db::RecordsetType::Snapshot)
        ->Field(0)
        .AsInt64();
  };
  for (const auto& [table, insert] : std::vector<std::pair<const char*, const char*>>{
           {"CLAIMANT", "INSERT INTO CLAIMANT (SURNAME) VALUES ('Entered')"},
           {"WORKHISTORY", "INSERT INTO WORKHISTORY (CLAIMANTID, STARTYEAR, ENDYEAR) VALUES (1, "
                           "1950, 1951)"},
           {"SMOKEHISTORY", "INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES "
                            "(1, 2, 5)"}}) {
    const int64_t before = highest(table);
    EXPECT_NO_THROW(d->Execute(insert)) << table;
    EXPECT_EQ(highest(table), before + 1) << table;
  }
  d->Close();
}

TEST_P(ClaimantsTest, ABadRowRejectsTheWholeImportNamingFileLineAndField) {
  struct Case {
    const char* file;
    const char* find;
    const char* replace;
    int64_t line;
    const char* field;
  } cases[] = {
      {"work_history.csv", "3,1,1010,2,1,1964,1974,", "3,1,1010,2,1,19x4,1974,", 4, "STARTYEAR"},
      {"work_history.csv", "13,3,1052,1,1,1971,1985,", "13,99,1052,1,1,1971,1985,", 14,
       "CLAIMANTID"},
      {"work_history.csv", "17,5,1107,10000,10000", "17,5,1107,10001,10000", 18, "JOBFACTORID"},
      {"user_factors.csv", "10000,BPT", "42,BPT", 2, "ID"},
      {"claimants.csv", "2,Mr,Arthur", "1,Mr,Arthur", 3, "ID"},
      {"claimants.csv", "Harker,HKR", "HarkerHarkerHarkerHarkerHarkerHarkerHarkerHarkerHarker,HKR",
       2, "SURNAME"},
      {"smoke_history.csv", "ID,CLAIMANTID", "ID,CLAIMANT", 1, "CLAIMANT"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_ / "source");
    const fs::path src = SampleCopy();
    std::string text = ReadAll(src / c.file);
    const size_t at = text.find(c.find);
    ASSERT_NE(at, std::string::npos) << c.find;
    text.replace(at, std::string(c.find).size(), c.replace);
    WriteFile(src / c.file, text);
    const std::string db = NewDb("bad.db");
    try {
      ImportFolder(db, src.string());
      ADD_FAILURE() << "accepted: " << c.replace;
    } catch (const orv::InputError& e) {
      EXPECT_EQ(fs::path(e.File()).filename(), c.file) << e.what();
      EXPECT_EQ(e.Line(), c.line) << e.what();
      EXPECT_EQ(e.Field(), c.field) << e.what();
    }
    EXPECT_EQ(Count(db, "CLAIMANT"), 0) << c.replace;
    EXPECT_EQ(Count(db, "WORKHISTORY"), 0) << c.replace;
  }
}

TEST_P(ClaimantsTest, CheckFindsOrphanHistoriesAndLowUserFactorIds) {
  const std::string path = NewDb("c.db");
  {
    auto d = db::OpenDatabase(path);
    d->Execute("INSERT INTO CLAIMANT (ID, SURNAME) VALUES (1, 'A')");
    d->Execute(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID) VALUES (1, 1001, 10005)");
    d->Execute("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID) VALUES (7, 2)");
    d->Execute("INSERT INTO USERFACTOR (ID, CODE, DESCR) VALUES (12, 'X', 'Low')");
    d->Close();
  }
  const CheckReport r = CheckDatabase(path);
  EXPECT_EQ(r.level, tarnby::kLatestStructureLevel);
  EXPECT_EQ(r.problems, (std::vector<std::string>{
                            "SMOKEHISTORY entry 1: claimant 7 does not exist",
                            "USERFACTOR 12: a user-defined factor ID below 10000",
                            "WORKHISTORY entry 1: user-defined factor 10005 does not exist"}));
  const Ran ran = Tool("check " + path);
  EXPECT_EQ(ran.code, 2);
  EXPECT_NE(ran.out.find("3 inconsistencies:"), std::string::npos) << ran.out;
}

TEST_F(ClaimantsTest, ToolExitCodesAndMessages) {
  const std::string path = (dir_ / "t.db").string();
  EXPECT_EQ(Tool("create " + path + " --level 12").code, 0);
  EXPECT_EQ(Tool("create " + path).code, 2);  // exists
  EXPECT_EQ(Tool("create " + (dir_ / "u.db").string() + " --level 13x").code, 2);

  {
    auto other = db::OpenDatabase(path);  // another user's program, idle
    const Ran refused = Tool("upgrade " + path + " --no-backup");
    EXPECT_EQ(refused.code, 3);
    EXPECT_NE(refused.err.find("Another program has " + path + " open"), std::string::npos)
        << refused.err;
    other->Close();
  }
  const std::string backup = (dir_ / "before.db").string();
  const Ran up = Tool("upgrade " + path + " --backup " + backup);
  EXPECT_EQ(up.code, 0) << up.err;
  EXPECT_NE(up.out.find("from structure level 12 to 21"), std::string::npos) << up.out;
  auto copy = db::OpenDatabase(backup);
  EXPECT_EQ(tarnby::StructureLevel(*copy), 12);
  copy->Close();
  EXPECT_EQ(Tool("upgrade " + path).code, 0);  // nothing to do, no backup needed

  const fs::path src = SampleCopy();
  // A jurisdiction other than 0 and 1 would be calculated as Scotland.
  {
    std::string text = ReadAll((src / "claimants.csv").string());
    const size_t end = text.find('\n', text.find('\n') + 1);
    text[end - 1] = '2';  // the first claimant's JURISDICTION, the last column
    WriteFile(src / "claimants.csv", text);
    const Ran j = Tool("import " + path + " " + src.string());
    EXPECT_EQ(j.code, 2);
    EXPECT_NE(j.err.find("claimants.csv, line 2, field JURISDICTION"), std::string::npos) << j.err;
    fs::copy_file(sample_ / "claimants.csv", src / "claimants.csv",
                  fs::copy_options::overwrite_existing);
  }
  WriteFile(src / "smoke_history.csv", "ID,CLAIMANTID,SMOKECATEGORYID,YEARS\n1,1,2,lots\n");
  const Ran bad = Tool("import " + path + " " + src.string());
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("smoke_history.csv, line 2, field YEARS"), std::string::npos) << bad.err;
}

// The upgrade of a file with hundreds of thousands of pension rows, killed
// by SIGKILL once a random number of levels has gone by and a random moment
// more: the file is sound, at a complete level, and a second run completes
// it with every row kept.
TEST_P(ClaimantsTest, UpgradeKilledAtAnyMomentLeavesASoundFileThatASecondRunCompletes) {
  // Fewer rows on the server, whose levels are slower to make: enough for a
  // kill to land inside a level.
  const int kRows = on_server_ ? 20000 : 200000;
  const std::string path = NewPlace("big.db");
  tarnby::CreateClaimantDatabase(path, 1);
  {
    auto d = db::OpenDatabase(path);
    d->Execute("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
               std::to_string(kRows) +
               ") INSERT INTO PENSIONDATA (CLAIMANTID, STRIKE, MARRIED, GRADE) "
               "SELECT x, x % 2, CASE WHEN x % 3 = 0 THEN 1 ELSE 0 END, 'G' || x FROM n");
    d->Close();
  }
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const int lines_before_kill = std::uniform_int_distribution<int>(0, 10)(random);
  const int extra_us = std::uniform_int_distribution<int>(0, 300000)(random);

  const char* bin_dir = std::getenv("TARNBY_BIN_DIR");
  const std::string tool = std::string(bin_dir ? bin_dir : ".") + "/tarnby-claimants";
  int err_pipe[2];
  ASSERT_EQ(pipe(err_pipe), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(err_pipe[1], 2);
    close(err_pipe[0]);
    close(err_pipe[1]);
    execl(tool.c_str(), tool.c_str(), "upgrade", path.c_str(), "--no-backup",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(err_pipe[1]);
  int newlines = 0;
  char c;
  while (newlines < lines_before_kill && read(err_pipe[0], &c, 1) == 1) newlines += c == '\n';
  usleep(static_cast<useconds_t>(extra_us));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(err_pipe[0]);

  if (on_server_) {
    // The server undoes the killed program's level once it notices it gone.
    for (int i = 0; i < 100; ++i) {
      if (orv::testing::ServerAdmin("SELECT count(*) FROM pg_stat_activity WHERE datname = '" +
                                    path.substr(14, path.find('?') - 14) + "'") == "0")
        break;
      usleep(100000);
    }
  }
  const CheckReport after_kill = CheckDatabase(path);
  EXPECT_TRUE(after_kill.ok()) << after_kill.problems.front();
  EXPECT_GE(after_kill.level, 1);
  const Ran second = Tool("upgrade " + path + " --no-backup");
  EXPECT_EQ(second.code, 0) << second.err;
  auto d = db::OpenDatabase(path);
  EXPECT_EQ(tarnby::StructureLevel(*d), tarnby::kLatestStructureLevel);
  auto rs = d->OpenRecordset(
      "SELECT COUNT(*), SUM(CLAIMANTID), SUM(STRIKE), SUM(CASE WHEN MARRIED = 1 THEN 1 ELSE 0 "
      "END), SUM(CASE WHEN GRADE = 'G' || CLAIMANTID THEN 1 ELSE 0 END) FROM PENSIONDATA",
      db::RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsInt64(), kRows);
  EXPECT_EQ(rs->Field(1).AsInt64(), int64_t{kRows} * (kRows + 1) / 2);
  EXPECT_EQ(rs->Field(2).AsInt64(), kRows / 2);
  EXPECT_EQ(rs->Field(3).AsInt64(), kRows / 3);
  EXPECT_EQ(rs->Field(4).AsInt64(), kRows);
  d->Close();
}

// A bad claimant database is bad input for every subcommand: exit 2 and one
// line naming the file; a changed stored query is the check's finding, naming
// it. The file is left as it was (no upgrade, no backup of a foreign file).
TEST_F(ClaimantsTest, SpoiltDatabasesExitTwoNamingThem) {
  const std::string good = NewDb("good.db");
  ImportFolder(good, sample_.string());
  const std::string dust = (dir_ / "dust.db").string();
  {
    auto d = db::CreateDatabase(dust, ";pwd=elsewhere");
    db::FieldDef id;
    id.name = "COLLIERYID";
    id.type = db::FieldType::Long;
    d->CreateTable("DUSTMATRIX", {id});
  }
  const fs::path folder = dir_ / "spoilt";
  fs::create_directories(folder);
  const orv::test::Spoiling spoiling{good, "", dust, "qdWork", "WORKHISTORY"};
  for (const orv::test::SpoiltFile& f : orv::test::SpoilCopies(spoiling, folder.string())) {
    const std::string before = orv::test::FileBytes(f.path);
    if (f.tampered) {
      SCOPED_TRACE(f.kind);
      const Ran check = Tool("check " + f.path);
      EXPECT_EQ(check.code, 2);
      EXPECT_NE(check.out.find("The stored query 'qdWork' of the read-only database '" + f.path),
                std::string::npos)
          << check.out;
    } else {
      for (const std::string& command :
           {"check " + f.path, "export " + f.path + " " + (dir_ / "out").string(),
            "import " + f.path + " " + sample_.string(), "upgrade " + f.path}) {
        SCOPED_TRACE(f.kind + ", " + command);
        const Ran r = Tool(command);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("'" + f.path + "'"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      }
    }
    EXPECT_EQ(orv::test::FileBytes(f.path), before);
    if (!f.attached.empty()) {
      EXPECT_FALSE(fs::exists(f.attached));
    }
  }
  // A sound file another program holds exclusively is not bad input.
  {
    db::OpenOptions exclusive;
    exclusive.exclusive = true;
    auto holder = db::OpenDatabase(good, exclusive);
    const Ran held = Tool("check " + good);
    EXPECT_EQ(held.code, 3) << held.err;
    EXPECT_NE(held.err.find("Error 3051"), std::string::npos) << held.err;
  }
  // Nothing was backed up beside them.
  for (const auto& e : fs::directory_iterator(folder)) {
    EXPECT_EQ(e.path().filename().string().find("Backup"), std::string::npos) << e.path();
  }
}

// A file copied to a server and back exports as the original does; a
// destination holding claimants is refused unless told to replace them.
// The server knows the copied rows' statistics straight away.
TEST_F(ClaimantsTest, CopyFileToServerToFileKeepsEveryRow) {
  const std::string original = NewPlace("original.db", false);
  tarnby::CreateClaimantDatabase(original);
  ImportFolder(original, sample_.string());
  const std::string server = NewPlace("server", true);
  const Ran there = Tool("copy " + original + " " + server);
  ASSERT_EQ(there.code, 0) << there.err;
  EXPECT_NE(there.out.find("the copy is identical"), std::string::npos) << there.out;
  // The file's change records write a Single's 0.6 as 0.600000023841858, the
  // server 0.6: the same value, so check finds the history sound, also once
  // the server has recorded a change after the copied records, and back in
  // a file.
  {
    auto d = tarnby::OpenClaimantDatabase(server);
    d->Execute("UPDATE USERFACTOR SET JOBFACTOR = 0.7 WHERE ID = 10000");
    d->Close();
  }
  const Ran check_there = Tool("check " + server);
  EXPECT_EQ(check_there.code, 0) << check_there.out;
  const std::string back = NewPlace("back.db", false);
  const Ran again = Tool("copy " + server + " " + back);
  ASSERT_EQ(again.code, 0) << again.err;
  const Ran check_back = Tool("check " + back);
  EXPECT_EQ(check_back.code, 0) << check_back.out;
  {
    // A value that is not the same is still found.
    auto d = db::OpenDatabase(back);
    d->Execute("DROP TRIGGER CHANGEHISTORY_USERFACTOR_UPDATE");
    d->Execute("UPDATE USERFACTOR SET JOBFACTOR = 0.70001 WHERE ID = 10000");
    d->Close();
  }
  const Ran check_changed = Tool("check " + back);
  EXPECT_EQ(check_changed.code, 2);
  EXPECT_NE(check_changed.out.find("USERFACTOR row 10000 JOBFACTOR is \"0.70001"),
            std::string::npos)
      << check_changed.out;
  {
    // The rest of the comparison runs on the copy as it was.
    auto d = db::OpenDatabase(back);
    d->Execute("UPDATE USERFACTOR SET JOBFACTOR = 0.55 WHERE ID = 10000");
    d->Close();
  }
  ExportFolder(original, (dir_ / "out1").string());
  ExportFolder(back, (dir_ / "out2").string());
  for (const char* f :
       {"claimants.csv", "work_history.csv", "smoke_history.csv", "user_factors.csv"}) {
    EXPECT_EQ(ReadAll(dir_ / "out1" / f), ReadAll(dir_ / "out2" / f)) << f;
  }
  // The server has its statistics of the copied rows at once (its own
  // vacuum would come later): an empty table's count is unknown (-1).
  auto d = db::OpenDatabase(server);
  EXPECT_EQ(d->OpenRecordset("SELECT reltuples FROM pg_class WHERE relname = 'claimant'",
                             db::RecordsetType::Snapshot)
                ->Field(0)
                .AsInt64(),
            Count(original, "CLAIMANT"));
  // New claimants on the server continue after the copied numbers.
  d->Execute("INSERT INTO CLAIMANT (SURNAME) VALUES ('New')");
  EXPECT_EQ(d->OpenRecordset("SELECT MAX(ID) FROM CLAIMANT", db::RecordsetType::Snapshot)
                ->Field(0)
                .AsInt64(),
            Count(original, "CLAIMANT") + 1);
  d->Close();

  const Ran refused = Tool("copy " + original + " " + server);
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("--replace"), std::string::npos) << refused.err;
  EXPECT_EQ(Tool("copy " + original + " " + server + " --replace").code, 0);
  EXPECT_EQ(Count(server, "CLAIMANT"), Count(original, "CLAIMANT"));
}

// On a server the change history is kept by the server's own triggers: each
// write names the login and the program, the records cannot be altered or
// emptied, check finds the history sound, and a copy to a file and back
// brings the same records along without adding its own.
TEST_F(ClaimantsTest, ServerChangeHistoryRecordsWritersAndTravelsWithACopy) {
  const std::string server = NewPlace("hist", true);
  tarnby::CreateClaimantDatabase(server);
  ASSERT_EQ(Tool("import " + server + " " + sample_.string()).code, 0);
  {
    auto d = tarnby::OpenClaimantDatabase(server);
    d->Execute("UPDATE CLAIMANT SET SURNAME = 'Renamed' WHERE ID = 1");
    const auto changes = tarnby::ReadChanges(*d, 1, std::nullopt);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.front().action, "insert");
    EXPECT_EQ(changes.front().program, "tarnby-claimants");
    EXPECT_FALSE(changes.front().user.empty());
    const tarnby::ChangeRecord& last = changes.back();
    EXPECT_EQ(last.action, "update");
    EXPECT_EQ(last.table, "CLAIMANT");
    EXPECT_EQ(last.field, "SURNAME");
    EXPECT_EQ(last.new_value, std::optional<std::string>("Renamed"));
    EXPECT_NE(last.old_value, last.new_value);
    EXPECT_EQ(last.program, tarnby::ProgramName());
    // One record per changed field: the unchanged ones leave none.
    EXPECT_EQ(std::count_if(changes.begin(), changes.end(),
                            [](const tarnby::ChangeRecord& c) { return c.action == "update"; }),
              1);
    for (const char* rewrite : {"UPDATE CHANGEHISTORY SET NEWVALUE = 'forged' WHERE ID = 1",
                                "UPDATE CHANGEHISTORY SET USERNAME = 'someone' WHERE ID = 1",
                                "DELETE FROM CHANGEHISTORY", "TRUNCATE CHANGEHISTORY"})
      EXPECT_THROW(d->Execute(rewrite), OrvError) << rewrite;
    d->Close();
  }
  const Ran check = Tool("check " + server);
  EXPECT_EQ(check.code, 0) << check.out << check.err;
  const Ran history = Tool("history " + server + " --claimant 1");
  ASSERT_EQ(history.code, 0) << history.err;
  EXPECT_NE(history.out.find("Renamed"), std::string::npos) << history.out;

  {
    // A record another program left, naming no one, stays so in the copies.
    auto d = db::OpenDatabase(server);
    d->Execute("INSERT INTO CHANGEHISTORY (TABLENAME, ROWKEY, ACTION, FIELD) VALUES "
               "('USERFACTOR', 99, 'delete', 'ID')");
    d->Close();
  }
  const int64_t records = Count(server, "CHANGEHISTORY");
  const std::string file = NewPlace("hist.db", false);
  ASSERT_EQ(Tool("copy " + server + " " + file).code, 0);
  EXPECT_EQ(Count(file, "CHANGEHISTORY"), records);
  const std::string back = NewPlace("back", true);
  ASSERT_EQ(Tool("copy " + file + " " + back).code, 0);
  EXPECT_EQ(Count(back, "CHANGEHISTORY"), records);
  const Ran check_back = Tool("check " + back);
  EXPECT_EQ(check_back.code, 0) << check_back.out << check_back.err;
  // Recording goes on in the copy after the copied records.
  {
    auto d = tarnby::OpenClaimantDatabase(back);
    d->Execute("DELETE FROM SMOKEHISTORY WHERE CLAIMANTID = 1");
    d->Close();
  }
  EXPECT_GT(Count(back, "CHANGEHISTORY"), records);
}

// On a server: the upgrade is refused while another program is connected,
// backs up to a pg_dump archive, and an operator's login (which may change
// rows, not the structure) gets a clear refusal with no level half done.
TEST_F(ClaimantsTest, ServerUpgradeRefusalsBackupAndTheOperatorRole) {
  const std::string uri = NewPlace("up", true);
  tarnby::CreateClaimantDatabase(uri, 12);
  const std::string name = uri.substr(14, uri.find('?') - 14);
  {
    auto other = db::OpenDatabase(uri);  // another user's program, idle
    const Ran refused = Tool("upgrade " + uri + " --no-backup");
    EXPECT_EQ(refused.code, 3);
    EXPECT_NE(refused.err.find("Another program has " + uri + " open"), std::string::npos)
        << refused.err;
    other->Close();
  }
  // The office's roles, as the README sets them up.
  orv::testing::ServerAdmin(
      "DROP ROLE IF EXISTS tarnby_test_operator; CREATE ROLE tarnby_test_operator LOGIN");
  orv::testing::ServerAdmin(
      "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO "
      "tarnby_test_operator; GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO "
      "tarnby_test_operator",
      name);
  const std::string as_operator = uri + "&user=tarnby_test_operator";
  const Ran op = Tool("upgrade '" + as_operator + "' --no-backup");
  EXPECT_EQ(op.code, 3);
  EXPECT_NE(op.err.find("administrator's login"), std::string::npos) << op.err;
  {
    auto d = db::OpenDatabase(as_operator);
    EXPECT_EQ(tarnby::StructureLevel(*d), 12);  // nothing of level 14 was kept
    d->Execute("INSERT INTO CLAIMANT (SURNAME) VALUES ('Entered by an operator')");
    d->Close();
  }
  const std::string backup = (dir_ / "before.dump").string();
  const Ran up = Tool("upgrade " + uri + " --backup " + backup);
  EXPECT_EQ(up.code, 0) << up.err;
  EXPECT_NE(up.out.find("from structure level 12 to 21"), std::string::npos) << up.out;
  EXPECT_GT(fs::file_size(backup), 0u);
  orv::testing::ServerAdmin("DROP DATABASE " + name + " WITH (FORCE)");
  orv::testing::ServerAdmin("DROP ROLE tarnby_test_operator");
}

INSTANTIATE_TEST_SUITE_P(Engines, ClaimantsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? "Server" : "File";
                         });

// A claimant file with an object its structure does not define is refused
// by every command that uses it, naming the object; the check lists it.
TEST_F(ClaimantsTest, AnObjectAnotherProgramAddedIsRefusedNamingIt) {
  const std::string path = NewDb("planted.db");
  ImportFolder(path, sample_.string());
  {
    auto d = db::OpenDatabase(path);
    d->Execute("CREATE TRIGGER forget AFTER UPDATE ON CLAIMANT BEGIN DELETE FROM SMOKEHISTORY; END");
    d->Close();
  }
  const std::string before = orv::test::FileBytes(path);
  for (const std::string& command :
       {"export " + path + " " + (dir_ / "out").string(), "import " + path + " " + sample_.string(),
        "upgrade " + path}) {
    SCOPED_TRACE(command);
    const Ran r = Tool(command);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("the trigger 'forget' on the table 'CLAIMANT'"), std::string::npos)
        << r.err;
  }
  EXPECT_EQ(orv::test::FileBytes(path), before);
  EXPECT_FALSE(fs::exists(dir_ / "out" / "claimants.csv"));
  const Ran check = Tool("check " + path);
  EXPECT_EQ(check.code, 2);
  EXPECT_NE(check.out.find("the trigger 'forget' on the table 'CLAIMANT': not part of the claimant "
                           "database's structure"),
            std::string::npos)
      << check.out;
}

// The check runs every stored query the program reads with once, under
// the budget of a query from the database: on a file its steps, on a server
// its time (there a query that only waits, so that the test costs no work).
TEST_P(ClaimantsTest, CheckStopsAQueryThatNeverEndsNamingIt) {
  const std::string path = NewDb("endless.db");
  {
    auto d = db::OpenDatabase(path);
    d->Execute("UPDATE StoredQueries SET SQL = ? WHERE Name = 'qdClaimantPension'",
               {Value(on_server_ ? "SELECT pg_sleep(3600)"
                                 : "WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                   "FROM r) SELECT count(*) FROM r")});
    d->Close();
  }
  const Ran check = Tool("check " + path);
  EXPECT_EQ(check.code, 2);
  const std::string named =
      on_server_ ? "The stored query 'qdClaimantPension' of the database '" +
                       path.substr(14, path.find('?') - 14) + "' on the server"
                 : "The stored query 'qdClaimantPension' of the read-only database '" + path + "'";
  EXPECT_NE(check.out.find(named), std::string::npos) << check.out;
  EXPECT_NE(check.out.find(on_server_ ? "was stopped: it ran for more than 10 s" : "was stopped"),
            std::string::npos)
      << check.out;
}

// On a file, a stored query of the structure's own text that goes over the
// budget is only large (a search with no filter, on a national database):
// not a problem. The same query changed by another program is.
TEST_F(ClaimantsTest, CheckCountsOnlyAChangedQueryOverItsBudget) {
  const std::string path = NewDb("large.db");
  ImportFolder(path, sample_.string());
  db::QueryBudget small;
  small.memory_bytes = 64;  // less than any claimant's row
  const CheckReport sound = CheckDatabase(path, small);
  EXPECT_TRUE(sound.ok()) << ::testing::PrintToString(sound.problems);
  {
    auto d = db::OpenDatabase(path);
    d->Execute("UPDATE StoredQueries SET SQL = ? WHERE Name = 'qdClaimantPension2'",
               {Value("SELECT a.*, b.SURNAME AS OTHER FROM CLAIMANT a, CLAIMANT b")});
    d->Close();
  }
  const CheckReport changed = CheckDatabase(path, small);
  ASSERT_EQ(changed.problems.size(), 1u) << ::testing::PrintToString(changed.problems);
  EXPECT_NE(changed.problems[0].find("The stored query 'qdClaimantPension2'"), std::string::npos)
      << changed.problems[0];
  EXPECT_NE(changed.problems[0].find("returned rows of more than"), std::string::npos)
      << changed.problems[0];
  EXPECT_TRUE(CheckDatabase(path).ok());  // small enough for the budget of every day
}

// Text a spreadsheet would evaluate is exported with an apostrophe before
// it and imported without; numbers are written as they are.
TEST_F(ClaimantsTest, FormulasAreExportedAsTextAndComeBackExactly) {
  const std::string path = NewDb("formulas.db");
  const std::vector<std::string> names = {"=cmd|' /C calc'!A0", "+44 1234", "-Smith", "@SUM(A1)",
                                          "\tTab", "'=quoted", "O'Neil"};
  {
    auto d = db::OpenDatabase(path);
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string& name = names[i];
      d->Execute("INSERT INTO CLAIMANT (ID, SURNAME, RECOVERABLEQUANTUM) VALUES (?, ?, ?)",
                 {Value(int32_t(i + 1)), Value(name), Value(-1.5f)});
    }
    d->Close();
  }
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Tool("export " + path + " " + out.string()).code, 0);
  const std::string csv = ReadAll((out / "claimants.csv").string());
  EXPECT_NE(csv.find(",'=cmd|' /C calc'!A0,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",'-Smith,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",''=quoted,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",O'Neil,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",-1.5"), std::string::npos) << csv;
  EXPECT_EQ(csv.find(",'-1.5"), std::string::npos) << csv;

  const std::string again = NewDb("again.db");
  ImportFolder(again, out.string());
  auto d = db::OpenDatabase(again);
  auto rs = d->OpenRecordset("SELECT SURNAME, RECOVERABLEQUANTUM FROM CLAIMANT ORDER BY ID",
                             db::RecordsetType::Snapshot);
  for (const std::string& name : names) {
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(rs->Field(0).AsText(), name);
    EXPECT_EQ(rs->Field(1).AsSingle(), -1.5f);
    rs->MoveNext();
  }
}

// Every numeric field of every table comes back from an export exactly,
// with values that need all the digits their type has.
TEST_F(ClaimantsTest, ExportKeepsEveryNumberExactly) {
  const std::string path = NewDb("numbers.db");
  const char* tables[] = {"USERFACTOR", "CLAIMANT", "WORKHISTORY", "SMOKEHISTORY"};
  auto value_for = [](const db::FieldDef& f, int row) -> Value {
    switch (f.type) {
      case db::FieldType::Single:
        return Value(row == 0 ? 123456.789f : 1.0f / 3.0f);
      case db::FieldType::Double:
      case db::FieldType::Currency:
        return Value(row == 0 ? 0.1 + 0.2 : 123456789.12345678);
      default:
        return Value();
    }
  };
  int numeric = 0;
  {
    auto d = db::OpenDatabase(path);
    for (const char* t : tables) {
      for (int row = 0; row < 2; ++row) {
        std::string columns = "ID", slots = "?";
        std::vector<Value> values = {Value(int32_t(row == 0 ? 10001 : 10002))};
        for (const db::FieldDef& f : d->Fields(t)) {
          const Value v = value_for(f, row);
          if (v.IsNull()) continue;
          columns += ", \"" + f.name + "\"";
          slots += ", ?";
          values.push_back(v);
          numeric += row == 0 ? 1 : 0;
        }
        if (std::string(t) == "USERFACTOR") {
          columns += ", CODE, DESCR";
          slots += ", ?, ?";
          values.push_back(Value(row == 0 ? "U1" : "U2"));
          values.push_back(Value("Fitter"));
        }
        if (std::string(t) != "CLAIMANT" && std::string(t) != "USERFACTOR") {
          columns += ", CLAIMANTID";
          slots += ", ?";
          values.push_back(Value(int32_t(10001)));
        }
        d->Execute(std::string("INSERT INTO ") + t + " (" + columns + ") VALUES (" + slots + ")",
                   values);
      }
    }
    d->Close();
  }
  EXPECT_GT(numeric, 5);
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Tool("export " + path + " " + out.string()).code, 0);
  const std::string again = NewDb("again.db");
  ImportFolder(again, out.string());
  auto a = db::OpenDatabase(path);
  auto b = db::OpenDatabase(again);
  for (const char* t : tables) {
    auto ra = a->OpenRecordset(std::string("SELECT * FROM ") + t + " ORDER BY ID",
                               db::RecordsetType::Snapshot);
    auto rb = b->OpenRecordset(std::string("SELECT * FROM ") + t + " ORDER BY ID",
                               db::RecordsetType::Snapshot);
    ASSERT_EQ(ra->RecordCount(), rb->RecordCount()) << t;
    for (; !ra->IsEOF(); ra->MoveNext(), rb->MoveNext()) {
      for (const db::FieldDef& f : a->Fields(t)) {
        if (value_for(f, 0).IsNull()) continue;
        SCOPED_TRACE(std::string(t) + "." + f.name);
        if (f.type == db::FieldType::Single) {
          EXPECT_EQ(ra->Field(f.name).AsSingle(), rb->Field(f.name).AsSingle());
        } else {
          EXPECT_EQ(ra->Field(f.name).AsDouble(), rb->Field(f.name).AsDouble());
        }
      }
    }
  }
}

// Each failure names its true cause and the file: a value that does not fit
// its field, a database that cannot be written, a stored query that does
// not compile.
TEST_F(ClaimantsTest, MessagesNameTheTrueCauseAndTheFile) {
  const std::string path = NewDb("m.db");
  ImportFolder(path, sample_.string());
  {
    auto d = db::OpenDatabase(path);
    d->Execute("UPDATE CLAIMANT SET RECOVERABLEQUANTUM = 'lots' WHERE ID = 3");
    d->Execute("UPDATE StoredQueries SET SQL = 'SELECT * FROM WORKHISTORY WHERE NOWHERE = 1' "
               "WHERE Name = 'qdWork'");
    d->Close();
  }
  const Ran exported = Tool("export " + path + " " + (dir_ / "out").string());
  EXPECT_EQ(exported.code, 2);
  EXPECT_NE(exported.err.find("field CLAIMANT.RECOVERABLEQUANTUM"), std::string::npos)
      << exported.err;
  EXPECT_NE(exported.err.find("the row with ID 3"), std::string::npos) << exported.err;
  EXPECT_NE(exported.err.find(path), std::string::npos) << exported.err;

  const Ran check = Tool("check " + path);
  EXPECT_EQ(check.code, 2);
  EXPECT_NE(check.out.find("CLAIMANT entry 3: RECOVERABLEQUANTUM holds the text 'lots'"),
            std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("The stored query 'qdWork' of the read-only database '" + path +
                           "' cannot be run"),
            std::string::npos)
      << check.out;

  // A database that cannot be written is not a bad CSV line.
  const std::string locked = NewDb("locked.db");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  const Ran imported = Tool("import " + locked + " " + sample_.string());
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_write);
  if (::geteuid() != 0) {  // the superuser writes whatever the mode
    EXPECT_EQ(imported.code, 3) << imported.err;
    EXPECT_NE(imported.err.find(locked), std::string::npos) << imported.err;
    EXPECT_EQ(imported.err.find("line"), std::string::npos) << imported.err;
  }
}

// A backup never replaces a file and is never the database itself; it keeps
// the database's mode.
TEST_F(ClaimantsTest, ABackupNeverOverwritesAFile) {
  const std::string path = (dir_ / "claims.sqlite").string();
  ASSERT_EQ(Tool("create " + path + " --level 12").code, 0);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  const std::string precious = (dir_ / "precious.txt").string();
  WriteFile(precious, "keep me");
  const Ran refused = Tool("upgrade " + path + " --backup " + precious);
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find(precious), std::string::npos) << refused.err;
  EXPECT_EQ(ReadAll(precious), "keep me");

  const Ran up = Tool("upgrade " + path);
  ASSERT_EQ(up.code, 0) << up.err;
  const std::string first = up.out.substr(up.out.find(" to ") + 4, up.out.find('\n') - up.out.find(" to ") - 4);
  EXPECT_NE(first, path);
  EXPECT_NE(first.find("Backup"), std::string::npos) << first;
  EXPECT_EQ(fs::status(first).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // A second backup of the same day takes the next free name.
  tarnby::CreateClaimantDatabase((dir_ / "second.sqlite").string(), 12);
  fs::remove(path);
  fs::rename(dir_ / "second.sqlite", path);
  const Ran again = Tool("upgrade " + path);
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_NE(again.out.find("-2.sqlite"), std::string::npos) << again.out;
  EXPECT_TRUE(fs::exists(first));
}

}  // namespace
}  // namespace orv::claimants
