// The recalculation of a whole claimant database (tarnby-calc --all --store)
// with one and with two threads, against its floor measured in the same run:
// reading every history row, making every dust matrix and tortious lookup
// the calculation makes (one per colliery-year per pass, through the same
// prepared queries, the same read transactions) and writing every result
// row, with no calculation around them.
//
// Each measurement runs in a child process of its own on a fresh copy of the
// claimant database, so that its peak memory and CPU time are its own.
// The wall-clock time depends on what else the machine is doing; the CPU
// time (user + system) is the steadier figure on a shared machine.
//
// Usage: tarnby_bulk_bench [claimants] [rounds]
//   claimants  synthetic claimants (default 100000), against the national
//              sample dust data (data/dustdata), seed fixed
//   rounds     floor/one/two rounds, interleaved; the best of each is kept
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "BulkRun.h"
#include "ClaimantCalc.h"
#include "DataLookups.h"
#include "DustDataBuild.h"
#include "DustModel.h"
#include "SyntheticClaimants.h"
#include "modGlobals.h"
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
// claimant reads, the dust lookups the two passes make, the same writes.
void Floor(const std::string& dust_db, const std::string& claimant_db, int batch) {
  orv::dust::DustModel model;  // opens this thread's dust data connection
  model.SetDustDatabase(dust_db);
  const orv::dust::ModelParms& parms = orv::dust::Parms();
  std::map<int32_t, std::string> surface;  // job factor -> surface flag
  {
    orv::dust::JobFactorRow row;
    for (int32_t id = 1; id < 100; ++id)
      if (orv::dust::LookupJobFactor(id, row)) surface[id] = row.Surface;
  }
  const orv::db::DatabasePtr db = orv::db::OpenDatabase(claimant_db);
  ClaimantSource source(db);
  const orv::db::DatabasePtr dust = orv::dust::OpenDataDB();
  std::string marker, descr;
  float value = 0;
  int32_t after = 0;
  const auto when = orv::FormatIsoDateTime(std::chrono::system_clock::now());
  for (std::vector<int32_t> ids; !(ids = source.NextIDs(after, batch)).empty();
       after = ids.back()) {
    std::vector<StoredClaimant> claimants;
    db->BeginTrans();
    for (int32_t id : ids) claimants.push_back(source.Read(id));
    db->CommitTrans();
    for (const StoredClaimant& c : claimants) {
      const int16_t limitation =
          c.Jurisdiction == 0 ? parms.LimitationYear : parms.ScottishLimitationYear;
      dust->BeginTrans();
      for (int pass = 0; pass < 2; ++pass) {
        for (const orv::claimcalc::WorkRow& w : c.work) {
          (void)orv::dust::GetLiabilitySplitType(w.CollieryID, descr);
          const auto s = surface.find(w.JobFactorID);
          const std::string flag = s == surface.end() ? "N" : s->second;
          for (int y = w.StartYear; y <= w.EndYear; ++y) {
            orv::dust::LookupDust(w.CollieryID, static_cast<int16_t>(y), marker, value);
            if (pass == 1 && y >= limitation)
              orv::dust::LookupTortious(w.CollieryID, static_cast<int16_t>(y), flag, value);
          }
        }
      }
      dust->CommitTrans();
    }
    orv::claimcalc::WriteTransaction t(*db);
    for (const StoredClaimant& c : claimants)
      db->Execute(
          "UPDATE CLAIMANT SET CALCDATE = ?, ENGINEVERSION = ?, DUSTDATAVERSION = ?, "
          "RECOVERABLEQUANTUM = ? WHERE ID = ?",
          {orv::Value(when), orv::Value("1.0.0"), orv::Value(parms.Version), orv::Value(1.0f),
           orv::Value(c.ID)});
    t.Commit();
  }
  db->Close();
}

void Bulk(const std::string& dust_db, const std::string& claimant_db, int jobs, int batch) {
  orv::calc::BulkOptions o;
  o.dust_db = dust_db;
  o.claimant_db = claimant_db;
  o.store = true;
  o.jobs = jobs;
  o.batch = batch;
  const orv::calc::BulkSummary s = orv::calc::RunAll(o);
  if (jobs == 1) std::fprintf(stderr, "  (%s)\n", orv::calc::SummaryLine(s).c_str());
}

void Print(const char* name, const Measure& m, const Measure& floor, int64_t n) {
  std::printf("  %-22s wall %7.2f s (%5.2fx)  cpu %7.2f s (%5.2fx)  %6.1f us cpu/claimant  "
              "peak %6.1f MB%s\n",
              name, m.wall, m.wall / floor.wall, m.cpu, m.cpu / floor.cpu, m.cpu / n * 1e6,
              m.peak_kb / 1024.0, m.ok ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t n = argc > 1 ? std::max(1LL, std::atoll(argv[1])) : 100000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const int batch = 250;

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

  Measure floor{1e30, 1e30, 0, true}, one{1e30, 1e30, 0, true}, two{1e30, 1e30, 0, true};
  const auto keep = [](Measure& best, const Measure& m) {
    best.wall = std::min(best.wall, m.wall);
    best.cpu = std::min(best.cpu, m.cpu);
    best.peak_kb = std::max(best.peak_kb, m.peak_kb);
    best.ok = best.ok && m.ok;
  };
  for (int r = 0; r < rounds; ++r) {
    fresh();
    keep(floor, InChild([&] { Floor(dust, work, batch); }));
    fresh();
    keep(one, InChild([&] { Bulk(dust, work, 1, batch); }));
    fresh();
    keep(two, InChild([&] { Bulk(dust, work, 2, batch); }));
  }

  std::printf("tarnby bulk recalculation benchmark: %lld synthetic claimants, --all --store, "
              "batches of %d, best of %d round(s)\n",
              static_cast<long long>(n), batch, rounds);
  Print("floor", floor, floor, n);
  Print("--jobs 1", one, floor, n);
  Print("--jobs 2", two, floor, n);
  double load[1] = {0};
  getloadavg(load, 1);
  const double best_two = two.cpu / 2;  // both cores busy all the time
  std::printf("  load average during the run: %.1f on %u processors (wall times include the "
              "waits for them)\n",
              load[0], std::thread::hardware_concurrency());
  std::printf("  aim 1: --jobs 1 at most 2x the floor: %s (%.2fx cpu, %.2fx wall)\n",
              one.cpu <= 2 * floor.cpu ? "met" : "not met", one.cpu / floor.cpu,
              one.wall / floor.wall);
  std::printf("  aim 2: %lld claimants under %.1f s on two cores: %s here (%.1f s wall); "
              "on two idle cores at best %.1f s (cpu / 2): %s\n",
              static_cast<long long>(n), 10.0 * n / 100000, two.wall < 10.0 * n / 100000 ? "met" : "not met",
              two.wall, best_two, best_two < 10.0 * n / 100000 ? "met" : "not met");

  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
