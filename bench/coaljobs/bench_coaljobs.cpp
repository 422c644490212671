// The job collection at scale. Adds JOBS (100,000 by default) keyed jobs
// with factors supplied (no database) in three orders, chronological,
// reversed and shuffled, and times each fill, the first read after it
// (where the jobs take their places), a Sort, and the Clear that starts the
// next claimant's load.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "colCoalJobs.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

void Run(const char* name, const std::vector<int>& order) {
  orv::dust::colCoalJobs jobs;
  const auto start = Clock::now();
  for (int i : order) {
    const auto year = static_cast<int16_t>(1900 + i / 1000);
    jobs.AddWithFactorsPastClosure(10000, "U1", 0.8f, "Fitter", "N", 1, 0.5f, false, false, 1, 0,
                                   "None", "N", 0, 0, 0, 0, "ID" + std::to_string(i), 0, year,
                                   static_cast<int16_t>(year + i % 3), "");
  }
  const double fill = Seconds(start);
  const auto read_start = Clock::now();
  const int16_t first = jobs.Item(1)->StartYear();
  const double read = Seconds(read_start);
  const auto sort_start = Clock::now();
  jobs.Sort();
  const double sort = Seconds(sort_start);
  const auto clear_start = Clock::now();
  jobs.Clear();
  const double clear = Seconds(clear_start);
  std::printf("%-14s %8zu jobs  add %8.3f s  first read %8.3f s  sort %8.3f s  clear %8.3f s"
              "  (first %d)\n",
              name, order.size(), fill, read, sort, clear, first);
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
  std::vector<int> order(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
  Run("chronological", order);
  std::reverse(order.begin(), order.end());
  Run("reversed", order);
  std::shuffle(order.begin(), order.end(), std::mt19937(19));
  Run("shuffled", order);
  return 0;
}
