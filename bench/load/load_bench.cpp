// An office's day on one claimant database on a PostgreSQL server: operators
// editing, saving and calculating random claimants while bulk
// recalculations (tarnby-calc --all --store) run beside them. A benchmark,
// not a test: it measures, and it says whether anything was lost.
//
//   tarnby_load_bench [operators] [seconds] [claimants] [bulk runs]
//                     (default 20 operators, 60 s, 5000 claimants, 2 runs)
//
// The server is the tests' own (scripts/pg-test-server.sh, a Unix socket,
// no TCP port): the one TARNBY_TEST_PGDIR names, else one started in a
// scratch folder for the run and stopped at its end.
//
// Each operator is a thread with a connection of its own, working as the
// desktop does through the same layer and calculation:
//   - opens a random claimant's work history (qdWork, a dynaset; half the
//     time one of ten busy claimants, whom several operators and the bulk
//     runs meet at once), puts a random entry in edit (the operator starts
//     typing), waits as long as typing takes, changes the entry (its pit
//     name becomes a mark of this save, so a history that changes changes
//     the stored result's fingerprint) and saves it (Update), then clears
//     the claimant's stored result as a history save does; a refusal is met as the operator meets
//     it in the "Data Error" box (3197 changed by another user, 3218 locked);
//   - calculates a random claimant and stores the result the way a stored
//     result is written (the claimant read again inside the write
//     transaction; nothing stored from a history that changed meanwhile).
// The bulk runs are the tarnby-calc program itself: round after round until
// the time is up, each round one shared run (--run) that the given number of
// processes work through together, as several machines would.
//
// Afterwards:
//   - lost updates: every save that landed is on a chain: each save read
//     the mark the previous landed save of that entry wrote (or the entry's
//     first), and the entry ends with the last one's. Two landed saves that
//     read the same mark would be one overwriting the other unseen.
//   - stale results: tarnby-calc --verify's own check of every stored
//     result against its claimant's current history.
// Save latency (Update and the clearing of the result) is given as p50 and
// p95; bulk throughput on the server against the same run on a claimant
// file, each alone.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ClaimantCalc.h"
#include "Database.h"
#include "DustDataBuild.h"
#include "DustModel.h"
#include "DustModelTypes.h"
#include "OrvError.h"
#include "SyntheticClaimants.h"
#include "TestServer.h"
#include "VerifyRun.h"
#include "modTarnbyDatabase.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using orv::OrvError;
using orv::Value;
namespace db = orv::db;
namespace claimcalc = orv::claimcalc;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs a program and waits for it; its exit code (-1 when it did not end normally).
int Run(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (std::freopen(out.c_str(), "w", stdout) == nullptr) _exit(127);
    if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(127);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One tarnby-calc --all --store over `claimant_db` in a process of its own
// (on a server, joining the shared run `run`): its wall time, or a negative
// time when it failed.
double BulkRun(const std::string& dust, const std::string& claimant_db, int jobs,
               const std::string& run = {}) {
  const char* bin = std::getenv("TARNBY_BIN_DIR");
  std::vector<std::string> args = {std::string(bin ? bin : TARNBY_BIN_DIR) + "/tarnby-calc",
                                   "--dust-db",
                                   dust,
                                   "--claimant-db",
                                   claimant_db,
                                   "--all",
                                   "--store",
                                   "--jobs",
                                   std::to_string(jobs)};
  if (!run.empty()) args.insert(args.end(), {"--run", run});
  const auto t0 = Clock::now();
  const int code = Run(args);
  const double s = Seconds(Clock::now() - t0);
  return code == 0 ? s : -s;
}

constexpr int32_t kBusyClaimants = 10;

// One landed save of a work history entry: the mark it read when the edit
// began and the mark it wrote.
struct Landed {
  int32_t entry;
  std::string read;
  std::string wrote;
};

struct OperatorTally {
  int64_t saves = 0;
  int64_t changed = 0;             // 3197: changed by another user since the edit began
  int64_t locked = 0;              // 3218: another user's lock outlasted the wait
  int64_t deleted = 0;             // 3167
  std::vector<std::string> other;  // any other failure, as the box would say it
  std::vector<double> latency_ms;
  std::vector<Landed> landed;
  int64_t calculated = 0, stored = 0, not_stored = 0;
};

// Whether a refusal reads as the operator's box shows it: the layer's own
// words for that number, nothing of the server's raw messages alone.
bool AsTheOperatorSeesIt(const OrvError& e) {
  const std::string& d = e.Description();
  switch (e.Number()) {
    case db::dberr::kDataChanged:
      return d.find("changed by another user") != std::string::npos;
    case db::dberr::kCurrentlyLocked:
      return d.find("currently locked by another user") != std::string::npos;
    case db::dberr::kRecordDeleted:
      return d.find("deleted") != std::string::npos;
    default:
      return false;
  }
}

void Operator(int index, const std::string& uri, const std::string& dust, int32_t claimants,
              Clock::time_point end, OperatorTally& t, std::atomic<int>& unseen) {
  std::mt19937 random(static_cast<uint32_t>(1000 + index));
  // Half the work is on a few busy claimants, whom several operators and
  // the bulk runs meet at once; the rest anywhere.
  std::uniform_int_distribution<int32_t> anyone(1, claimants);
  std::uniform_int_distribution<int32_t> busy(1, std::min(claimants, kBusyClaimants));
  std::bernoulli_distribution on_busy(0.5);
  const auto pick = [&](std::mt19937& r) { return on_busy(r) ? busy(r) : anyone(r); };
  std::uniform_int_distribution<int> typing_ms(20, 400);
  const db::DatabasePtr d = orv::tarnby::OpenClaimantDatabase(uri);
  claimcalc::ClaimantSource source(d);
  const db::QueryDefPtr work = d->QueryDefs("qdWork");
  orv::dust::DustModel model;
  model.SetDustDatabase(dust);
  model.SetOutputOption(orv::dust::orvNoOutput);
  model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
  int64_t n = 0;
  while (Clock::now() < end) {
    const int32_t id = pick(random);
    // Editing an entry of the claimant's work history.
    try {
      work->SetParameter("WHATCLAIMANTID", Value(id));
      db::RecordsetPtr rs = work->OpenRecordset(db::RecordsetType::Dynaset);
      if (!rs->IsEOF()) {
        rs->MoveLast();
        const int rows = rs->RecordCount();
        rs->MoveFirst();
        for (int skip = std::uniform_int_distribution<int>(0, rows - 1)(random); skip > 0; --skip)
          rs->MoveNext();
        rs->Edit();
        const int32_t entry = rs->Field("ID").AsInt32();
        const std::string read = rs->Field("PITNAME").TextOrEmpty();
        std::this_thread::sleep_for(std::chrono::milliseconds(typing_ms(random)));
        const std::string mark = "o" + std::to_string(index) + "-" + std::to_string(++n);
        rs->SetField("PITNAME", Value(mark));
        const auto t0 = Clock::now();
        rs->Update();
        ++t.saves;
        t.landed.push_back({entry, read, mark});
        claimcalc::ClearStoredResult(*d, id);
        t.latency_ms.push_back(Seconds(Clock::now() - t0) * 1000);
      }
    } catch (const OrvError& e) {
      if (!AsTheOperatorSeesIt(e)) {
        t.other.push_back(std::to_string(e.Number()) + ": " + e.Description());
        ++unseen;
      } else if (e.Number() == db::dberr::kDataChanged) {
        ++t.changed;
      } else if (e.Number() == db::dberr::kCurrentlyLocked) {
        ++t.locked;
      } else {
        ++t.deleted;
      }
    }
    // Calculating a claimant and storing his result.
    try {
      const int32_t calc_id = pick(random);
      d->BeginTrans(false);
      claimcalc::StoredClaimant c;
      try {
        c = source.Read(calc_id);
        d->CommitTrans();
      } catch (...) {
        d->Rollback();
        throw;
      }
      const claimcalc::ClaimantResult r = claimcalc::CalculateClaimant(model, c);
      ++t.calculated;
      claimcalc::WriteTransaction w(*d);
      const bool stored = claimcalc::StoreResult(source, c, r, std::chrono::system_clock::now());
      w.Commit();
      ++(stored ? t.stored : t.not_stored);
    } catch (const OrvError& e) {
      if (!AsTheOperatorSeesIt(e)) {
        t.other.push_back(std::to_string(e.Number()) + ": " + e.Description());
        ++unseen;
      } else {
        ++(e.Number() == db::dberr::kDataChanged ? t.changed : t.locked);
      }
    }
  }
  d->Close();
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// Every landed save of an entry read the mark the one before it wrote (the
// first, the entry's mark before the run): the number of landed saves that
// break the chain, each one that overwrote another unseen.
int64_t LostUpdates(const std::vector<Landed>& landed, const std::map<int32_t, std::string>& before,
                    const std::map<int32_t, std::string>& after) {
  std::map<int32_t, std::map<std::string, int>> reads;  // entry -> mark read -> saves
  std::map<int32_t, std::map<std::string, std::string>> next;
  for (const Landed& l : landed) {
    ++reads[l.entry][l.read];
    next[l.entry][l.read] = l.wrote;
  }
  int64_t lost = 0;
  for (const auto& [entry, by_read] : reads) {
    int64_t saves = 0;
    for (const auto& [read, count] : by_read) {
      saves += count;
      lost += count - 1;  // two saves from one reading: one overwrote the other
    }
    // From the mark before the run, the chain passes every save and ends at
    // the mark the entry holds now.
    std::string mark = before.count(entry) ? before.at(entry) : std::string();
    int64_t steps = 0;
    const auto& chain = next[entry];
    for (auto it = chain.find(mark); it != chain.end() && steps <= saves; it = chain.find(mark)) {
      mark = it->second;
      ++steps;
    }
    const auto now = after.find(entry);
    if (steps < saves || now == after.end() || now->second != mark) {
      lost += std::max<int64_t>(1, saves - steps);
    }
  }
  return lost;
}

// The pit name of every work history entry: the operators' marks.
std::map<int32_t, std::string> Marks(const std::string& uri) {
  std::map<int32_t, std::string> marks;
  const db::DatabasePtr d = db::OpenDatabase(uri);
  for (db::RecordsetPtr rs =
           d->OpenRecordset("SELECT ID, PITNAME FROM WORKHISTORY", db::RecordsetType::Snapshot);
       !rs->IsEOF(); rs->MoveNext()) {
    marks[rs->Field(0).AsInt32()] = rs->Field(1).TextOrEmpty();
  }
  d->Close();
  return marks;
}

}  // namespace

int main(int argc, char** argv) {
  const int operators = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
  const int32_t claimants = argc > 3 ? std::max(10, std::atoi(argv[3])) : 5000;
  const int bulk_runs = argc > 4 ? std::max(0, std::atoi(argv[4])) : 2;

  const fs::path dir =
      fs::temp_directory_path() / ("tarnby_load_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  bool own_server = false;
  const std::string script = std::string(TARNBY_SOURCE_DIR) + "/scripts/pg-test-server.sh";
  if (orv::testing::TestServerSocket().empty()) {
    const std::string pg = (dir / "pg").string();
    if (Run({"/bin/bash", script, "start", pg}) != 0) {
      std::fprintf(stderr, "the test server did not start (%s)\n", script.c_str());
      return 1;
    }
    setenv("TARNBY_TEST_PGDIR", pg.c_str(), 1);
    own_server = true;
  }
  const auto stop_server = [&] {
    if (own_server) Run({"/bin/bash", script, "stop", (dir / "pg").string()});
    fs::remove_all(dir);
  };

  const std::string dust = (dir / "DUSTDATA.db").string();
  const std::string file = (dir / "TARNBY.db").string();
  std::string uri;
  try {
    std::fprintf(stderr,
                 "building the sample dust data and %d claimants on a file and a server...\n",
                 claimants);
    orv::dustdata::BuildFromCsv(TARNBY_SAMPLE_DIR, dust, true);
    orv::dustdata::ExpandDatabase(dust);
    claimcalc::SyntheticOptions o;
    o.claimants = claimants;
    orv::tarnby::CreateClaimantDatabase(file);
    claimcalc::GenerateClaimants(file, dust, o);
    uri = orv::testing::NewServerDatabase("load_bench");
    orv::tarnby::CreateClaimantDatabase(uri);
    claimcalc::GenerateClaimants(uri, dust, o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "setup failed: %s\n", e.what());
    stop_server();
    return 1;
  }

  // Bulk throughput, each alone, two threads as on the two processors.
  const double on_file = BulkRun(dust, file, 2);
  const double on_server = BulkRun(dust, uri, 2, "alone");
  std::printf(
      "bulk --all --store --jobs 2 alone, %d claimants: file %.2f s (%.0f a second), "
      "server %.2f s (%.0f a second)%s\n",
      claimants, on_file, claimants / std::abs(on_file), on_server, claimants / std::abs(on_server),
      on_file < 0 || on_server < 0 ? " FAILED" : "");

  std::map<int32_t, std::string> before;
  try {
    before = Marks(uri);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "reading the marks failed: %s\n", e.what());
  }

  // The office's minute.
  std::fprintf(stderr, "%d operators and %d bulk runs for %d s...\n", operators, bulk_runs,
               seconds);
  const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
  std::atomic<int> unseen{0};
  // The bulk runs: round after round, `bulk_runs` processes sharing one
  // recalculation of every claimant (one named run a round).
  std::atomic<int> bulk_done{0}, bulk_failed{0};
  std::thread bulk([&] {
    for (int round = 1; bulk_runs > 0 && Clock::now() < end; ++round) {
      std::vector<std::thread> runs;
      for (int b = 0; b < bulk_runs; ++b) {
        runs.emplace_back([&, round] {
          ++(BulkRun(dust, uri, 1, "load-" + std::to_string(round)) >= 0 ? bulk_done : bulk_failed);
        });
      }
      for (std::thread& t : runs) t.join();
    }
  });
  std::vector<OperatorTally> tallies(static_cast<size_t>(operators));
  std::vector<std::thread> office;
  for (int i = 0; i < operators; ++i) {
    office.emplace_back([&, i] {
      try {
        Operator(i, uri, dust, claimants, end, tallies[size_t(i)], unseen);
      } catch (const std::exception& e) {
        tallies[size_t(i)].other.push_back(std::string("operator stopped: ") + e.what());
        ++unseen;
      }
    });
  }
  for (std::thread& t : office) t.join();
  bulk.join();

  OperatorTally all;
  for (const OperatorTally& t : tallies) {
    all.saves += t.saves;
    all.changed += t.changed;
    all.locked += t.locked;
    all.deleted += t.deleted;
    all.other.insert(all.other.end(), t.other.begin(), t.other.end());
    all.latency_ms.insert(all.latency_ms.end(), t.latency_ms.begin(), t.latency_ms.end());
    all.landed.insert(all.landed.end(), t.landed.begin(), t.landed.end());
    all.calculated += t.calculated;
    all.stored += t.stored;
    all.not_stored += t.not_stored;
  }

  int64_t lost = -1, stale = -1, no_print = -1, defects = -1, standing = 0, without = 0;
  try {
    lost = LostUpdates(all.landed, before, Marks(uri));
    orv::calcrun::VerifyOptions v;
    v.dust_db = dust;
    v.claimant_db = uri;
    v.jobs = 2;
    const orv::calcrun::VerifySummary s = orv::calcrun::RunVerify(v);
    stale = no_print = defects = 0;
    for (const orv::calcrun::VerifyRow& r : s.rows) {
      if (r.reason == orv::calcrun::kReasonHistoryChanged)
        ++stale;
      else if (r.reason == orv::calcrun::kReasonNoFingerprint)
        ++no_print;
      else
        ++defects;
    }
    standing = s.standing;
    without = s.without_result;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "checking failed: %s\n", e.what());
  }

  std::printf("%d operators, %d s, %d claimants on the server, %d bulk runs beside them\n",
              operators, seconds, claimants, bulk_runs);
  std::printf(
      "saves landed %lld; refused: changed by another user (3197) %lld, locked (3218) "
      "%lld, deleted (3167) %lld; any other failure %d\n",
      static_cast<long long>(all.saves), static_cast<long long>(all.changed),
      static_cast<long long>(all.locked), static_cast<long long>(all.deleted), unseen.load());
  for (size_t i = 0; i < all.other.size() && i < 10; ++i)
    std::printf("  %s\n", all.other[i].c_str());
  std::printf("save latency: p50 %.1f ms, p95 %.1f ms\n", Percentile(all.latency_ms, 0.50),
              Percentile(all.latency_ms, 0.95));
  std::printf(
      "operator calculations %lld: stored %lld, not stored (history changed meanwhile) "
      "%lld\n",
      static_cast<long long>(all.calculated), static_cast<long long>(all.stored),
      static_cast<long long>(all.not_stored));
  std::printf("bulk processes completed beside them: %d, %d to a recalculation (failed %d)\n",
              bulk_done.load(), bulk_runs, bulk_failed.load());
  std::printf("lost updates: %lld\n", static_cast<long long>(lost));
  std::printf(
      "stored results: %lld standing, %lld cleared; stale (history changed) %lld, "
      "without fingerprint %lld, other defects %lld\n",
      static_cast<long long>(standing), static_cast<long long>(without),
      static_cast<long long>(stale), static_cast<long long>(no_print),
      static_cast<long long>(defects));
  stop_server();
  return lost == 0 && stale == 0 && no_print == 0 && defects == 0 && unseen == 0 && bulk_failed == 0
             ? 0
             : 1;
}
