// The cost of one Calculate of a 40-year history with the detailed report,
// and of the dust data lookups that calculation makes, measured side by side
// in the same run (interleaved rounds, best round kept, so that other work
// on the machine disturbs both alike).
//
// Usage: tarnby_calc_bench [rounds] [iterations per round]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
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

using Clock = std::chrono::steady_clock;
using orv::dust::DustModel;

// Mean microseconds per call of `body` over `n` calls.
double MeanMicros(int n, const std::function<void()>& body) {
  const auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) body();
  const std::chrono::duration<double, std::micro> d = Clock::now() - t0;
  return d.count() / n;
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
// limitation year the tortious dust; inside one read transaction, as
// Calculate holds one.
int Lookups(int16_t limitation_year) {
  const orv::db::DatabasePtr database = orv::dust::OpenDataDB();
  database->BeginTrans();
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
  database->CommitTrans();
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const int iterations = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;

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
  double best_detail = 1e30, best_normal = 1e30, best_lookups = 1e30;
  for (int r = 0; r < rounds; ++r) {
    best_detail = std::min(best_detail, MeanMicros(iterations, calc_detail));
    best_lookups = std::min(best_lookups, MeanMicros(iterations, lookup));
    best_normal = std::min(best_normal, MeanMicros(iterations, calc_normal));
  }

  std::printf("tarnby calculation benchmark: %d-year history (%zu jobs), best of %d rounds of %d\n",
              job_years, std::size(kHistory), rounds, iterations);
  std::printf("  Calculate, detailed report (%zu lines): %8.1f us, %6.2f us per job-year\n",
              detail_lines, best_detail, best_detail / job_years);
  std::printf("  Calculate, normal report:                %8.1f us, %6.2f us per job-year\n",
              best_normal, best_normal / job_years);
  std::printf("  its dust data lookups alone (%d):       %8.1f us\n", lookups, best_lookups);
  std::printf("  detailed calculation / lookups:          %8.2fx (aim: at most 2x)\n",
              best_detail / best_lookups);
  std::printf("  under a millisecond:                     %s\n", best_detail < 1000 ? "yes" : "no");

  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
