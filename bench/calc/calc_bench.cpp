// The cost of one Calculate of a 40-year history with the detailed and with
// the normal report, and of the dust data lookups that calculation makes,
// measured side by side in the same run (interleaved rounds, best round
// kept, so that other work on the machine disturbs all alike): with the
// lookups' answers remembered (as the engine runs) and with every lookup
// asking the file.
//
// Usage: tarnby_calc_bench [rounds] [iterations per round] [remembered]
//   remembered  measure only with the answers remembered (for a profiler)
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DataLookups.h"
#include "DustDataBuild.h"
#include "DustModel.h"
#include "HistoryLoader.h"
#include "modGlobals.h"

namespace {

using orv::dust::DustModel;

// This thread's CPU time in microseconds: on a shared machine the time
// other programs take the processor from it is not counted.
double ThreadMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Mean microseconds of CPU time per call of `body` over `n` calls.
double MeanMicros(int n, const std::function<void()>& body) {
  const double t0 = ThreadMicros();
  for (int i = 0; i < n; ++i) body();
  return (ThreadMicros() - t0) / n;
}

struct Job {
  int32_t colliery;
  int start, end;
  int32_t job_factor;
  int16_t resp_factor;
};

// 1950-1989 at three collieries of the fixture, with respirators.
const Job kHistory[] = {
    {101, 1950, 1962, 1, 1},
    {102, 1963, 1975, 2, 2},
    {104, 1976, 1989, 1, 3},
};

// Every lookup one Calculate makes: per pass and job the liability split
// type, per pass and year the dust matrix, and in the second pass from the
// limitation year the tortious dust; inside one read span, as Calculate
// holds one.
int Lookups(int16_t limitation_year) {
  const orv::dust::DataReadSpan span;
  int count = 0;
  std::string marker, descr;
  float value = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (const Job& j : kHistory) {
      (void)orv::dust::GetLiabilitySplitType(j.colliery, descr);
      ++count;
      for (int y = j.start; y <= j.end; ++y) {
        (void)orv::dust::LookupDust(j.colliery, static_cast<int16_t>(y), marker, value);
        ++count;
        if (pass == 1 && y >= limitation_year) {
          (void)orv::dust::LookupTortious(j.colliery, static_cast<int16_t>(y), "N", value);
          ++count;
        }
      }
    }
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const int iterations = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  const int modes = argc > 3 && std::string(argv[3]) == "remembered" ? 1 : 2;

  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("tarnby_calc_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string db = (dir / "DUSTDATA.db").string();
  orv::dustdata::BuildFromCsv(TARNBY_DUSTDATA_FIXTURE, db, true);

  DustModel model;
  model.SetDustDatabase(db);
  model.SetJurisdiction(orv::dust::orvEnglandWales);
  auto jobs = std::make_shared<orv::dust::colCoalJobs>();
  std::vector<orv::dust::HistoryJob> history;
  int job_years = 0;
  for (const Job& j : kHistory) {
    orv::dust::HistoryJob h;
    h.CollieryID = j.colliery;
    h.StartYear = static_cast<int16_t>(j.start);
    h.EndYear = static_cast<int16_t>(j.end);
    h.JobFactorID = j.job_factor;
    h.RespFactorID = j.resp_factor;
    history.push_back(h);
    job_years += j.end - j.start + 1;
  }
  orv::dust::LoadJobs(*jobs, history);
  auto smoking = std::make_shared<orv::dust::colSmokeEntry>();
  smoking->Add({}, 0, "M", 0, 1955, 1985);
  model.SetCoalJobCollection(jobs);
  model.SetSmokeHistoryCollection(smoking);
  model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
  std::vector<std::string> lines;
  lines.reserve(1024);
  model.SetOutputLineHandler([&lines](const std::string& l) { lines.push_back(l); });

  const int16_t limitation = orv::dust::Parms().LimitationYear;
  const auto calc = [&](bool detail) {
    return [&model, &lines, detail] {
      lines.clear();
      model.SetPrintDetail(detail);
      if (!model.Calculate()) std::abort();
    };
  };
  const auto calc_detail = calc(true);
  const auto calc_normal = calc(false);
  int lookups = 0;
  const auto lookup = [&] { lookups = Lookups(limitation); };

  calc_detail();  // warm the caches once
  const size_t detail_lines = lines.size();
  // [0] remembered, [1] asking the file every time.
  double best_detail[2] = {1e30, 1e30}, best_normal[2] = {1e30, 1e30},
         best_lookups[2] = {1e30, 1e30};
  for (int r = 0; r < rounds; ++r) {
    for (int off = 0; off < modes; ++off) {
      orv::dust::SetRememberLookups(off == 0);
      best_detail[off] = std::min(best_detail[off], MeanMicros(iterations, calc_detail));
      best_lookups[off] = std::min(best_lookups[off], MeanMicros(iterations, lookup));
      best_normal[off] = std::min(best_normal[off], MeanMicros(iterations, calc_normal));
    }
  }
  orv::dust::SetRememberLookups(true);

  double load[1] = {0};
  getloadavg(load, 1);
  std::printf("tarnby calculation benchmark: %d-year history (%zu jobs), CPU time per call, best "
              "of %d rounds of %d (load average %.1f)\n",
              job_years, std::size(kHistory), rounds, iterations, load[0]);
  std::printf("  %-44s %12s %12s %8s\n", "", "remembered", "asking file", "ratio");
  const auto row = [](const std::string& what, double on, double off) {
    std::printf("  %-44s %9.1f us %9.1f us %7.2fx\n", what.c_str(), on, off, off / on);
  };
  row("Calculate, detailed report (" + std::to_string(detail_lines) + " lines)", best_detail[0],
      best_detail[1]);
  row("Calculate, normal report", best_normal[0], best_normal[1]);
  row("its dust data lookups alone (" + std::to_string(lookups) + ")", best_lookups[0],
      best_lookups[1]);
  std::printf("  per job-year, remembered: detailed %.2f us, normal %.2f us\n",
              best_detail[0] / job_years, best_normal[0] / job_years);
  std::printf("  aims: detailed at most 80 us: %s; normal at most 30 us: %s\n",
              best_detail[0] <= 80 ? "met" : "not met", best_normal[0] <= 30 ? "met" : "not met");

  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
