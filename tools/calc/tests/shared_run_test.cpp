// tarnby-calc against a claimant database on the test server: bad
// connections and databases given to every mode, and --all runs of separate
// processes sharing one recalculation (two at once; one killed part-way and
// completed by the next).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "BulkResults.h"
#include "BulkRun.h"
#include "ClaimantCalc.h"
#include "Database.h"
#include "DustDataBuild.h"
#include "DustModel.h"
#include "DustModelTypes.h"
#include "SyntheticClaimants.h"
#include "TempDir.h"
#include "TestServer.h"
#include "ToolRun.h"
#include "modTarnbyDatabase.h"

namespace orv::calcrun {
namespace {

namespace fs = std::filesystem;
using orv::db::RecordsetType;
using orv::test::ReadAll;

using orv::calcrun::test::ResultRows;
using orv::calcrun::test::StoredResults;

// Waits for `condition`, looking again every few milliseconds; fails after
// a minute, which only a stuck program takes.
bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 3000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

class SharedRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(orv::testing::TestServerSocket().empty()) << "no test server";
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    name_ = info->name();
    tmp_.emplace();
    dir_ = tmp_->path();
    dust_ = dir_ + "/DUSTDATA.db";
    orv::dustdata::BuildFromCsv(TARNBY_DUSTDATA_FIXTURE, dust_, true);
  }
  void TearDown() override { tmp_.reset(); }

  // A server database of the test's own with `n` synthetic claimants.
  std::string Claimants(const std::string& name, int64_t n) {
    const std::string uri = orv::testing::NewServerDatabase("shared_" + name_ + "_" + name);
    orv::tarnby::CreateClaimantDatabase(uri);
    orv::claimcalc::SyntheticOptions o;
    o.claimants = n;
    orv::claimcalc::GenerateClaimants(uri, dust_, o);
    return uri;
  }
  static std::string DbName(const std::string& uri) {
    return uri.substr(14, uri.find('?') - 14);
  }

  // A tarnby-calc process, and its exit code once it has ended (-1 when it
  // did not exit by itself).
  struct Process {
    pid_t pid = -1;
    std::optional<int> code;
  };

  // Starts tarnby-calc with `args` as a process of its own; its standard
  // error goes to `tag`.err in the scratch folder.
  static int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
  Process Start(const std::string& args, const std::string& tag) {
    const char* bin = std::getenv("TARNBY_BIN_DIR");
    const std::string cmd = "exec '" + std::string(bin ? bin : ".") + "/tarnby-calc' --dust-db '" +
                            dust_ + "' " + args + " >'" + dir_ + "/" + tag + ".out' 2>'" + dir_ +
                            "/" + tag + ".err'";
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return {pid, std::nullopt};
  }
  static int Wait(Process& p) {
    int status = 0;
    while (!p.code && waitpid(p.pid, &status, 0) == p.pid) p.code = ExitCode(status);
    return p.code.value_or(-1);
  }
  static bool Running(Process& p) {
    int status = 0;
    if (!p.code && waitpid(p.pid, &status, WNOHANG) == p.pid) p.code = ExitCode(status);
    return !p.code;
  }
  std::string Err(const std::string& tag) const { return ReadAll(dir_ + "/" + tag + ".err"); }
  std::string File(const std::string& name) const { return dir_ + "/" + name; }

  // One run of this process over a database of the same claimants: what
  // the shared runs together must give.
  std::pair<std::map<int32_t, std::string>, std::map<int32_t, std::string>> Reference(int64_t n) {
    const std::string uri = Claimants("reference", n);
    BulkOptions o;
    o.dust_db = dust_;
    o.claimant_db = uri;
    o.store = true;
    o.jobs = 2;
    o.results = File("reference.csv");
    (void)RunAll(o);
    return {ResultRows(o.results), StoredResults(uri)};
  }

  std::string name_;
  std::optional<orv::test::TempDir> tmp_;  // a private folder per test
  std::string dir_;
  std::string dust_;
};

// Every mode that takes a claimant database refuses a bad connection or a
// database it cannot use with exit 2 and one line naming what was given,
// never the password; nothing is made on the server.
TEST_F(SharedRunTest, BadConnectionsAndDatabasesAreBadInputForEveryMode) {
  const std::string empty = orv::testing::NewServerDatabase("shared_empty");
  const std::string newer = Claimants("newer", 3);
  orv::testing::ServerAdmin("UPDATE parms SET value = '22' WHERE parm = 'PCVERSION'",
                            DbName(newer));
  std::vector<orv::testing::RefusedUri> cases = orv::testing::RefusedServerUris();
  cases.push_back({empty, "not a database of this system"});
  cases.push_back({newer, "structure level 22, beyond the 21"});
  cases.push_back({File("missing.db"), "File does not exist"});
  for (const orv::testing::RefusedUri& c : cases) {
    for (const char* mode : {"--claimant 1", "--claimant 1 --store", "--all --store",
                             "--all --changed-only", "--verify --all"}) {
      SCOPED_TRACE(c.uri + " " + mode);
      const orv::test::ToolRun r =
          orv::test::RunTool("tarnby-calc", "--dust-db '" + dust_ + "' --claimant-db '" + c.uri +
                                                "' " + mode,
                             dir_);
      EXPECT_EQ(r.code, 2) << r.err;
      EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("Hunter22"), std::string::npos) << r.err;
      // (A missing file is a usage error, told with the line pointing to --help.)
      if (!c.uri.ends_with("missing.db")) {
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      }
    }
  }
  EXPECT_EQ(orv::testing::ServerAdmin(
                "SELECT count(*) FROM pg_class WHERE relnamespace = 'public'::regnamespace",
                DbName(empty)),
            "0");
}

// A named run is one recalculation: once finished it has nothing left, and
// a process of another mode is refused it. A name given for a file is
// refused: a file's run is one machine's.
TEST_F(SharedRunTest, ANamedRunIsOneRecalculation) {
  const std::string uri = Claimants("named", 30);
  const std::string tool = "--dust-db '" + dust_ + "' --claimant-db '" + uri + "' --all ";
  const orv::test::ToolRun first = orv::test::RunTool("tarnby-calc", tool + "--store --run nov", dir_);
  EXPECT_EQ(first.code, 0) << first.err;
  EXPECT_NE(first.err.find("began the shared run 'nov'"), std::string::npos) << first.err;
  const orv::test::ToolRun again = orv::test::RunTool("tarnby-calc", tool + "--store --run nov", dir_);
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_NE(again.err.find("nothing was left to calculate in it"), std::string::npos) << again.err;
  EXPECT_EQ(again.out, "0 calculated, 0 refused, 0 failed\n");
  const orv::test::ToolRun other = orv::test::RunTool("tarnby-calc", tool + "--run nov", dir_);
  EXPECT_EQ(other.code, 2);
  EXPECT_NE(other.err.find("the run 'nov' was begun with another choice of --store"),
            std::string::npos)
      << other.err;
  const std::string file = File("named.db");
  orv::tarnby::CreateClaimantDatabase(file);
  const orv::test::ToolRun on_file = orv::test::RunTool(
      "tarnby-calc", "--dust-db '" + dust_ + "' --claimant-db '" + file + "' --all --run nov", dir_);
  EXPECT_EQ(on_file.code, 2);
  EXPECT_NE(on_file.err.find("only on a server"), std::string::npos) << on_file.err;
}

// Two processes started for the same recalculation share it: every claimant
// is calculated, stored and listed by exactly one of them, and together
// their results are one run's.
TEST_F(SharedRunTest, TwoRunsAtOnceStoreEveryClaimantExactlyOnce) {
  constexpr int64_t kClaimants = 300;
  const auto [reference_rows, reference_stored] = Reference(kClaimants);
  const std::string uri = Claimants("shared", kClaimants);

  // Both are held at the laying out of the run until both have come to it,
  // so that the second joins the run the first begins.
  const auto gate = orv::db::OpenDatabase(uri);
  gate->Execute("SELECT pg_advisory_lock(1414681170, 1)");
  const std::string args = "--claimant-db '" + uri + "' --all --store --jobs 2 --batch 20 ";
  Process a = Start(args + "--results '" + File("a.csv") + "'", "a");
  Process b = Start(args + "--results '" + File("b.csv") + "'", "b");
  const bool both_waiting = WaitFor([&] {
    return !Running(a) || !Running(b) ||
           orv::testing::ServerAdmin("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' "
                                     "AND NOT granted AND classid = 1414681170") == "2";
  });
  gate->Execute("SELECT pg_advisory_unlock(1414681170, 1)");
  gate->Close();
  EXPECT_TRUE(both_waiting);
  EXPECT_EQ(Wait(a), 0) << Err("a");
  EXPECT_EQ(Wait(b), 0) << Err("b");

  const auto rows_a = ResultRows(File("a.csv")), rows_b = ResultRows(File("b.csv"));
  EXPECT_FALSE(rows_a.empty());
  EXPECT_FALSE(rows_b.empty());
  std::map<int32_t, std::string> together = rows_a;
  for (const auto& [id, row] : rows_b) {
    EXPECT_EQ(rows_a.count(id), 0u) << "claimant " << id << " calculated by both";
    together[id] = row;
  }
  EXPECT_EQ(together, reference_rows);
  EXPECT_EQ(StoredResults(uri), reference_stored);
  const std::string said = Err("a") + Err("b");
  EXPECT_NE(said.find("began the shared run"), std::string::npos) << said;
  EXPECT_NE(said.find("joined the shared run"), std::string::npos) << said;
  // Each stored result was written once: one change record each.
  const auto db = orv::db::OpenDatabase(uri);
  EXPECT_EQ(db->OpenRecordset("SELECT COUNT(*) FROM CHANGEHISTORY WHERE FIELD = "
                              "'RECOVERABLEQUANTUM' AND PROGRAM = 'tarnby-calc'",
                              RecordsetType::Snapshot)
                ->Field(0)
                .AsInt64(),
            db->OpenRecordset("SELECT COUNT(*) FROM CLAIMANT WHERE RECOVERABLEQUANTUM IS NOT NULL",
                              RecordsetType::Snapshot)
                ->Field(0)
                .AsInt64());
}

// A process killed while it stores a batch leaves that batch to the next
// process of the run, which takes it once its lease has run out: nothing is
// missed and nothing done twice.
TEST_F(SharedRunTest, AKilledRunIsCompletedByTheNext) {
  constexpr int64_t kClaimants = 300;
  const auto [reference_rows, reference_stored] = Reference(kClaimants);
  const std::string uri = Claimants("killed", kClaimants);

  // The first claimant of the fifth batch of 20 is held by another
  // connection, so that the run stops there, inside the batch's store.
  const auto holder = orv::db::OpenDatabase(uri);
  const int32_t held = holder
                           ->OpenRecordset("SELECT ID FROM CLAIMANT ORDER BY ID LIMIT 1 OFFSET 80",
                                           RecordsetType::Snapshot)
                           ->Field(0)
                           .AsInt32();
  holder->BeginTrans();
  (void)holder->OpenRecordset("SELECT ID FROM CLAIMANT WHERE ID = ? FOR UPDATE",
                              RecordsetType::Snapshot, {Value(held)});
  const std::string args =
      "--claimant-db '" + uri + "' --all --store --jobs 1 --batch 20 --lease 1 ";
  Process first = Start(args + "--results '" + File("first.csv") + "'", "first");
  const std::string name = DbName(uri);
  const auto done_batches = [&name] {
    try {
      return orv::testing::ServerAdmin(
          "SELECT count(*) FROM bulkrunbatch WHERE doneat IS NOT NULL", name);
    } catch (const std::runtime_error&) {
      return std::string("none");  // the run has not made its tables yet
    }
  };
  const bool stopped = WaitFor([&] {
    return !Running(first) ||
           (done_batches() == "4" &&
            orv::testing::ServerAdmin("SELECT count(*) FROM pg_stat_activity WHERE datname = '" +
                                      name + "' AND wait_event_type = 'Lock'") == "1");
  });
  if (Running(first)) kill(first.pid, SIGKILL);
  EXPECT_EQ(Wait(first), -1) << Err("first");
  ASSERT_TRUE(stopped);
  holder->Rollback();
  holder->Close();
  EXPECT_FALSE(fs::exists(File("first.csv")));

  Process next = Start(args + "--results '" + File("next.csv") + "'", "next");
  EXPECT_EQ(Wait(next), 0) << Err("next");
  EXPECT_NE(Err("next").find("joined the shared run"), std::string::npos) << Err("next");
  const auto rows = ResultRows(File("next.csv"));
  EXPECT_EQ(rows.size(), static_cast<size_t>(kClaimants - 80));
  EXPECT_EQ(rows.count(held), 1u);
  for (const auto& [id, row] : rows) EXPECT_EQ(row, reference_rows.at(id)) << id;
  EXPECT_EQ(StoredResults(uri), reference_stored);
}

// An operator's save that has cleared a claimant's stored result and not
// yet committed (his history change comes after): a store of that claimant
// waits for it, then sees the new history and writes nothing, so the
// clearing stands. (A server shows each statement the rows committed at
// its start: reading first and writing after would write the old
// history's result once the save committed.)
TEST_F(SharedRunTest, AStoreWaitsForASaveInProgressAndLeavesItsClearing) {
  using namespace orv::claimcalc;
  const std::string uri = Claimants("save", 10);
  orv::dust::DustModel model;
  model.SetDustDatabase(dust_);
  model.SetOutputOption(orv::dust::orvNoOutput);
  model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
  const auto run_db = orv::db::OpenDatabase(uri);
  ClaimantSource source(run_db);
  StoredClaimant c;
  ClaimantResult r;
  for (int32_t id = 1; id <= 10 && r.outcome != Outcome::kCalculated; ++id) {
    c = source.Read(id);
    r = CalculateClaimant(model, c);
  }
  ASSERT_EQ(r.outcome, Outcome::kCalculated);

  const auto op = orv::db::OpenDatabase(uri);
  WriteTransaction save(*op);
  ClearStoredResult(*op, c.ID);
  std::atomic<int> stored = -1;
  std::thread store([&] {
    try {
      WriteTransaction t(*run_db);
      stored = StoreResult(source, c, r, std::chrono::system_clock::now()) ? 1 : 0;
      t.Commit();
    } catch (...) {
      stored = 2;
    }
  });
  const std::string name = DbName(uri);
  const bool waiting = WaitFor([&] {
    return stored != -1 ||
           orv::testing::ServerAdmin("SELECT count(*) FROM pg_stat_activity WHERE datname = '" +
                                     name + "' AND wait_event_type = 'Lock'") == "1";
  });
  op->Execute("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (?, 3, 5)",
              {Value(c.ID)});
  save.Commit();
  store.join();
  EXPECT_TRUE(waiting);
  EXPECT_EQ(stored, 0);
  EXPECT_TRUE(op->OpenRecordset("SELECT RECOVERABLEQUANTUM FROM CLAIMANT WHERE ID = ?",
                                RecordsetType::Snapshot, {Value(c.ID)})
                  ->Field(0)
                  .IsNull());
}

// The operators' role may not make tables: its shared run on a database
// without the work tables is refused saying what to do, and once the
// administrator's upgrade has made them (the role's rights coming with them,
// as the README's default privileges give) the same run works.
TEST_F(SharedRunTest, AnOperatorsRunUsesTheWorkTablesTheAdministratorMakes) {
  const std::string uri = Claimants("roles", 40);
  const std::string name = DbName(uri);
  orv::testing::ServerAdmin(
      "DROP ROLE IF EXISTS tarnby_calc_operator; CREATE ROLE tarnby_calc_operator LOGIN");
  orv::testing::ServerAdmin(
      "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO "
      "tarnby_calc_operator; GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO "
      "tarnby_calc_operator; ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT, INSERT, "
      "UPDATE, DELETE ON TABLES TO tarnby_calc_operator",
      name);
  const std::string run = "--dust-db '" + dust_ + "' --claimant-db '" + uri +
                          "&user=tarnby_calc_operator' --all --store --jobs 1";
  const orv::test::ToolRun refused = orv::test::RunTool("tarnby-calc", run, dir_);
  EXPECT_EQ(refused.code, 3);
  EXPECT_NE(refused.err.find("run tarnby-claimants upgrade on it once with the administrator's "
                             "login"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(orv::testing::ServerAdmin("SELECT count(*) FROM pg_class WHERE relname = 'bulkrun'",
                                      name),
            "0");

  const orv::test::ToolRun up =
      orv::test::RunTool("tarnby-claimants", "upgrade '" + uri + "' --no-backup", dir_);
  EXPECT_EQ(up.code, 0) << up.err;
  const orv::test::ToolRun works = orv::test::RunTool("tarnby-calc", run, dir_);
  EXPECT_EQ(works.code, 0) << works.err;
  EXPECT_NE(works.err.find("began the shared run"), std::string::npos) << works.err;
  orv::testing::ServerAdmin("DROP DATABASE " + name + " WITH (FORCE)");
  orv::testing::ServerAdmin("DROP ROLE tarnby_calc_operator");
}

}  // namespace
}  // namespace orv::calcrun
