// The recalculation of a whole claimant database (tarnby-calc --all --store)
// with one and with two threads, against its floor measured in the same run:
// the same first open with its whole-file check, then reading every
// claimant and history row and writing every result through
// the same statements as the run (ClaimantSource::Read in the same batches
// and read transactions, StoreResult in the same write transactions), with
// no calculation. Also the runs with every dust data lookup asking the file
// (remembering switched off), the opening of the claimant database as the
// program and the workers open it and as the check and the run's first open
// do, and one claimant calculated and stored as tarnby-calc --claimant does.
//
// Each run over the database is a child process of its own on a fresh copy
// of the claimant database, so that its peak memory and CPU time are its
// own. The wall-clock time depends on what else the machine is doing; the
// CPU time (user + system) is the steadier figure on a shared machine.
//
// Usage: tarnby_bulk_bench [claimants] [rounds] [runs]
//   claimants  synthetic claimants (default 100000), against the national
//              sample dust data (data/dustdata), seed fixed
//   rounds     rounds of the runs, interleaved; the best of each is kept
//   runs       which runs, as letters (default "fg12abm"): f the floor, g the
//              floor without the first open's whole-file check, 1 and
//              2 the run with one and two threads, a and b the same asking
//              the file for every lookup, m the memory of remembered answers
//              on one thread and the cost of sharing it
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "BulkRun.h"
#include "ChangeHistory.h"
#include "ClaimantCalc.h"
#include "ClaimantRun.h"
#include "DustDataBuild.h"
#include "DustModel.h"
#include "SyntheticClaimants.h"
#include "modGlobals.h"
#include "modDataEntry.h"
#include "modTarnbyDatabase.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using orv::claimcalc::ClaimantSource;
using orv::claimcalc::StoredClaimant;

struct Measure {
  double wall = 0;  // seconds
  double cpu = 0;   // user + system seconds
  long peak_kb = 0;
  bool ok = false;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Runs `body` in a child process and measures it from outside.
Measure InChild(const std::function<void()>& body) {
  std::fflush(nullptr);
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    try {
      body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "failed: %s\n", e.what());
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  Measure m;
  m.wall = std::chrono::duration<double>(Clock::now() - t0).count();
  m.cpu = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
  m.peak_kb = ru.ru_maxrss;
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

// The floor: the same batches and transactions as the run, the same
// claimant reads and the same stores, with a result made up in place of the
// calculation.
void Floor(const std::string& claimant_db, int batch, bool whole_file_check) {
  // Opened as the run opens it: its first open checks the whole file (but
  // the change history's records against their sizes), as the run's does.
  // That check reads every page, so it is reading, not calculation, and the
  // run pays it too. (Without it, for comparison.)
  orv::db::OpenOptions first_open;
  first_open.check = whole_file_check ? orv::db::OpenCheck::WholeFile : orv::db::OpenCheck::Structure;
  first_open.append_only_tables = {orv::tarnby::kChangeHistoryTable};
  const orv::db::DatabasePtr reader_db =
      orv::tarnby::OpenClaimantDatabase(claimant_db, first_open);
  ClaimantSource reader(reader_db);
  const orv::db::DatabasePtr writer_db = orv::tarnby::OpenClaimantDatabase(claimant_db);
  ClaimantSource writer(writer_db);
  orv::claimcalc::ClaimantResult result;
  result.outcome = orv::claimcalc::Outcome::kCalculated;
  result.RecoverableQuantum = 1.0f;
  result.EngineVersion = "1.0.0";
  result.DustDataVersion = "48";
  int32_t after = 0;
  for (std::vector<int32_t> ids; !(ids = reader.NextIDs(after, batch)).empty();
       after = ids.back()) {
    std::vector<StoredClaimant> claimants;
    reader_db->BeginTrans();
    const std::optional<orv::claimcalc::ChangeMark> mark = reader.Mark();
    for (int32_t id : ids) claimants.push_back(reader.Read(id));
    reader_db->CommitTrans();
    // Worked out before the write lock is taken, as the run does.
    std::vector<std::string> digests;
    for (const StoredClaimant& c : claimants)
      digests.push_back(orv::claimcalc::InputsDigest(c, c.Jurisdiction));
    const auto when = std::chrono::system_clock::now();
    orv::claimcalc::WriteTransaction t(*writer_db);
    // As the run stores: without reading again when no record names them.
    std::optional<std::vector<int32_t>> changed;
    if (mark) changed = writer.ChangedSince(*mark, ids.front(), ids.back());
    for (size_t i = 0; i < claimants.size(); ++i) {
      const StoredClaimant& c = claimants[i];
      result.ID = c.ID;
      result.inputs_digest = digests[i];
      if (changed && changed->empty())
        orv::claimcalc::WriteResult(writer, c, result, when);
      else if (!orv::claimcalc::StoreResult(writer, c, result, when))
        std::abort();
    }
    t.Commit();
  }
  writer_db->Close();
  reader_db->Close();
}

void Bulk(const std::string& dust_db, const std::string& claimant_db, int jobs, int batch,
          bool remember) {
  orv::dust::SetRememberLookups(remember);
  orv::calcrun::BulkOptions o;
  o.dust_db = dust_db;
  o.claimant_db = claimant_db;
  o.store = true;
  o.jobs = jobs;
  o.batch = batch;
  const orv::calcrun::BulkSummary s = orv::calcrun::RunAll(o);
  if (jobs == 1 && remember)
    std::fprintf(stderr, "  (%s)\n", orv::calcrun::SummaryLine(s).c_str());
}

// One claimant calculated with the detailed text report and stored, as
// tarnby-calc --claimant does, after the structure level check it makes.
void OneClaimant(const std::string& dust_db, const std::string& claimant_db, int32_t id,
                 const std::string& report) {
  orv::tarnby::StructureLevel(*orv::tarnby::OpenClaimantDatabase(claimant_db));
  orv::calcrun::CalcOptions options;
  options.dust_db = dust_db;
  options.detail = true;
  options.output = report;
  orv::calcrun::ClaimantRunOptions run;
  run.claimant_db = claimant_db;
  run.claimant_id = id;
  run.store = true;
  if (!orv::calcrun::RunStoredClaimant(options, run).stored) std::abort();
}

// The memory of remembered answers on one thread over every claimant: how
// many distinct answers, how much heap they take, and what filling it costs
// (the first pass over the claimants against a second with every answer
// remembered). Then what sharing one memory between two threads would add
// to every lookup: two threads taking and dropping one shared lock as often
// as their lookups would.
void RememberedAnswers(const std::string& dust_db, const std::string& claimant_db, int batch) {
  orv::dust::DustModel model;
  model.SetDustDatabase(dust_db);
  model.SetOutputOption(orv::dust::orvNoOutput);
  model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
  const orv::db::DatabasePtr db = orv::tarnby::OpenForReading(claimant_db);
  ClaimantSource source(db);
  const size_t heap_before = mallinfo2().uordblks;
  double pass_seconds[2] = {0, 0};
  int64_t claimants = 0;
  for (int pass = 0; pass < 2; ++pass) {
    int32_t after = 0;
    for (std::vector<int32_t> ids; !(ids = source.NextIDs(after, batch)).empty();
         after = ids.back()) {
      std::vector<StoredClaimant> read;
      db->BeginTrans();
      for (int32_t id : ids) read.push_back(source.Read(id));
      db->CommitTrans();
      const auto t = Clock::now();
      for (const StoredClaimant& c : read) (void)orv::claimcalc::CalculateClaimant(model, c);
      pass_seconds[pass] += std::chrono::duration<double>(Clock::now() - t).count();
      claimants += pass == 0 ? static_cast<int64_t>(read.size()) : 0;
    }
  }
  const size_t heap_after = mallinfo2().uordblks;
  std::printf("  remembered answers on one thread: %zu distinct, about %.1f MB of heap; "
              "calculating every claimant %.2f s with the memory filling, %.2f s with it full "
              "(filling costs %.2f s a thread)\n",
              orv::dust::RememberedLookups(),
              (static_cast<double>(heap_after) - static_cast<double>(heap_before)) / 1e6,
              pass_seconds[0], pass_seconds[1], pass_seconds[0] - pass_seconds[1]);

  // About 122 lookups a claimant (a 40-year history: both passes).
  const int64_t lookups = claimants * 122;
  std::shared_mutex shared;
  std::atomic<int64_t> sink{0};
  const auto t = Clock::now();
  std::vector<std::thread> threads;
  for (int i = 0; i < 2; ++i)
    threads.emplace_back([&] {
      int64_t local = 0;
      for (int64_t k = 0; k < lookups / 2; ++k) {
        std::shared_lock lock(shared);
        local += k & 1;
      }
      sink += local;
    });
  for (std::thread& th : threads) th.join();
  std::printf("  one memory shared by two threads: %lld shared-lock takings (as many as the "
              "lookups of every claimant) cost %.2f s of wall time on two threads\n",
              static_cast<long long>(lookups),
              std::chrono::duration<double>(Clock::now() - t).count());
  std::fflush(stdout);
}

// The desktop program's start on the claimant database (SetupDatabase: the
// open, the structure level, the stored queries and the claimant dynaset),
// best of three, in ms.
double DesktopStartMillis(const std::string& claimant_db) {
  orv::tarnby::Settings.Database = claimant_db;
  double best = 1e30;
  for (int i = 0; i < 3; ++i) {
    const auto t = Clock::now();
    if (!orv::tarnby::SetupDatabase()) std::abort();
    orv::tarnby::CloseClaimantDatabase();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t).count());
  }
  return best;
}

// The best time of opening and closing the claimant database, in ms.
double OpenMillis(const std::string& claimant_db, orv::db::OpenCheck check,
                  std::vector<std::string> append_only = {}) {
  orv::db::OpenOptions o;
  o.check = check;
  o.append_only_tables = std::move(append_only);
  double best = 1e30;
  for (int i = 0; i < 5; ++i) {
    const auto t = Clock::now();
    orv::tarnby::OpenClaimantDatabase(claimant_db, o)->Close();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t).count());
  }
  return best;
}

void Print(const char* name, const Measure& m, const Measure& floor, int64_t n) {
  std::printf("  %-24s wall %7.2f s (%5.2fx)  cpu %7.2f s (%5.2fx)  %6.1f us cpu/claimant  "
              "peak %6.1f MB%s\n",
              name, m.wall, m.wall / floor.wall, m.cpu, m.cpu / floor.cpu, m.cpu / n * 1e6,
              m.peak_kb / 1024.0, m.ok ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t n = argc > 1 ? std::max(1LL, std::atoll(argv[1])) : 100000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const int batch = 1000;

  const fs::path dir = fs::temp_directory_path() / ("tarnby_bulk_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string dust = (dir / "DUSTDATA.db").string();
  const std::string claimants = (dir / "TARNBY.db").string();
  const std::string work = (dir / "work.db").string();
  try {
    std::fprintf(stderr, "building the sample dust data and %lld claimants...\n",
                 static_cast<long long>(n));
    orv::dustdata::BuildFromCsv(TARNBY_SAMPLE_DIR, dust, true);
    orv::dustdata::ExpandDatabase(dust);
    orv::tarnby::CreateClaimantDatabase(claimants);
    orv::claimcalc::SyntheticOptions o;
    o.claimants = n;
    orv::claimcalc::GenerateClaimants(claimants, dust, o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "setup failed: %s\n", e.what());
    return 1;
  }
  const auto fresh = [&] { fs::copy_file(claimants, work, fs::copy_options::overwrite_existing); };

  const std::string runs = argc > 3 ? argv[3] : "fg12abm";
  struct Run {
    char letter;
    const char* name;
    std::function<void()> body;
    Measure best{1e30, 1e30, 0, true};
  };
  std::vector<Run> all = {
      {'f', "floor", [&] { Floor(work, batch, true); }},
      {'g', "floor, structure check", [&] { Floor(work, batch, false); }},
      {'1', "--jobs 1", [&] { Bulk(dust, work, 1, batch, true); }},
      {'2', "--jobs 2", [&] { Bulk(dust, work, 2, batch, true); }},
      {'a', "--jobs 1, asking file", [&] { Bulk(dust, work, 1, batch, false); }},
      {'b', "--jobs 2, asking file", [&] { Bulk(dust, work, 2, batch, false); }},
  };
  for (int r = 0; r < rounds; ++r) {
    for (Run& run : all) {
      if (runs.find(run.letter) == std::string::npos) continue;
      fresh();
      const Measure m = InChild(run.body);
      run.best.wall = std::min(run.best.wall, m.wall);
      run.best.cpu = std::min(run.best.cpu, m.cpu);
      run.best.peak_kb = std::max(run.best.peak_kb, m.peak_kb);
      run.best.ok = run.best.ok && m.ok;
    }
  }

  if (runs.find('m') != std::string::npos) {
    fresh();
    (void)InChild([&] { RememberedAnswers(dust, work, batch); });
  }
  fresh();
  const double open_structure = OpenMillis(work, orv::db::OpenCheck::Structure);
  const double open_whole = OpenMillis(work, orv::db::OpenCheck::WholeFile);
  const double open_run = OpenMillis(work, orv::db::OpenCheck::WholeFile,
                                     {orv::tarnby::kChangeHistoryTable});
  const double desktop_start = DesktopStartMillis(work);
  Measure one_claimant{1e30, 1e30, 0, true};
  for (int i = 0; i < 3; ++i) {
    const Measure m = InChild(
        [&] { OneClaimant(dust, work, static_cast<int32_t>(n / 2), (dir / "report.txt").string()); });
    one_claimant.wall = std::min(one_claimant.wall, m.wall);
    one_claimant.cpu = std::min(one_claimant.cpu, m.cpu);
    one_claimant.ok = one_claimant.ok && m.ok;
  }

  std::printf("tarnby bulk recalculation benchmark: %lld synthetic claimants (%.1f MB), "
              "--all --store, batches of %d, best of %d round(s)\n",
              static_cast<long long>(n), static_cast<double>(fs::file_size(claimants)) / 1e6,
              batch, rounds);
  const Run& floor = all[0];
  const bool have_floor = runs.find('f') != std::string::npos;
  for (const Run& run : all) {
    if (runs.find(run.letter) == std::string::npos) continue;
    Print(run.name, run.best, have_floor ? floor.best : run.best, n);
  }
  std::printf("  open the claimant database: structure check %.1f ms, whole-file check %.1f ms, "
              "the bulk run's (change records' sizes unchecked) %.1f ms\n",
              open_structure, open_whole, open_run);
  std::printf("  the desktop's start on it (SetupDatabase): %.1f ms\n", desktop_start);
  std::printf("  one claimant as --claimant N --store --detail: wall %.3f s, cpu %.3f s%s\n",
              one_claimant.wall, one_claimant.cpu, one_claimant.ok ? "" : "  FAILED");
  double load[1] = {0};
  getloadavg(load, 1);
  std::printf("  load average at the end: %.1f on %u processors (wall times include the waits "
              "for them)\n",
              load[0], std::thread::hardware_concurrency());
  const auto ran = [&](char letter) -> const Run* {
    if (runs.find(letter) == std::string::npos) return nullptr;
    for (const Run& run : all)
      if (run.letter == letter) return &run;
    return nullptr;
  };
  const Run* one = ran('1');
  if (have_floor && one)
    std::printf("  aim: --jobs 1 within 1.5x the floor: %s (%.2fx cpu, %.2fx wall)\n",
                one->best.cpu <= 1.5 * floor.best.cpu ? "met" : "not met",
                one->best.cpu / floor.best.cpu, one->best.wall / floor.best.wall);
  if (const Run* bare = ran('g'); bare && one)
    std::printf("  --jobs 1 against the floor without the whole-file check: %.2fx cpu, %.2fx wall\n",
                one->best.cpu / bare->best.cpu, one->best.wall / bare->best.wall);

  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
