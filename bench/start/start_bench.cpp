// The desktop program's start on a claimant database, as its user meets it:
// from the beginning of the start-up sequence (splash, settings, the two
// database checks, the claimant database's set-up, the main form with its
// engine, lists and grids) to the first claimant shown, on Qt's offscreen
// platform.
//
// Usage: tarnby_start_bench DUST_DB CLAIMANT_DB [starts]
//   (tarnby_generate_claimants makes a claimant database of any size;
//   CLAIMANT_DB may be a server database's URI)
// Prints the first start and the best of the others, wall and CPU time.
#include <stdlib.h>
#include <sys/resource.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "Database.h"
#include "StartUp.h"
#include "modDataEntry.h"
#include "modTarnbyDatabase.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DUST_DB CLAIMANT_DB [starts]\n", argv[0]);
    return 2;
  }
  const int starts = argc > 3 ? std::max(2, std::atoi(argv[3])) : 4;
  const fs::path dir = fs::temp_directory_path() / ("tarnby_start_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  // Per-user folders of its own: no first-start copy of the samples, no
  // settings of the user's.
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  setenv("TARNBY_SAMPLE_DIR", (dir / "no-sample").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The claimant database may be a server's: its URI as given.
  const bool server = orv::db::IsServerPath(argv[2]);
  const std::string claimants = server ? std::string(argv[2]) : fs::absolute(argv[2]).string();
  const fs::path ini = dir / "site.ini";
  {
    std::ofstream out(ini);
    out << "[DustModel]\nDustDatabase=" << fs::absolute(argv[1]).string()
        << "\n[Data]\nDatabase=" << claimants << "\n";
  }
  QApplication app(argc, argv);

  double first_wall = 0, first_cpu = 0, best_wall = 1e30, best_cpu = 1e30;
  int32_t shown = 0;
  for (int i = 0; i < starts; ++i) {
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    orv::tarnby::Program program = orv::tarnby::Main(ini.string());
    if (!program.form) {
      std::fprintf(stderr, "the program did not start\n");
      return 1;
    }
    QApplication::processEvents();  // the form painted with its first claimant
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    shown = program.form->CurrentClaimantID();
    if (i == 0) {
      first_wall = wall;
      first_cpu = cpu;
    } else {
      best_wall = std::min(best_wall, wall);
      best_cpu = std::min(best_cpu, cpu);
    }
    program.help.reset();
    program.form.reset();
    orv::tarnby::CloseClaimantDatabase();
  }
  double load[1] = {0};
  getloadavg(load, 1);
  std::printf("tarnby desktop start benchmark: %s (%.1f MB), to the first claimant shown (ID %d)\n",
              argv[2], server ? 0.0 : static_cast<double>(fs::file_size(argv[2])) / 1e6, shown);
  std::printf("  first start: wall %.3f s, cpu %.3f s\n", first_wall, first_cpu);
  std::printf("  best of %d more: wall %.3f s, cpu %.3f s\n", starts - 1, best_wall, best_cpu);
  std::printf("  load average at the end: %.1f on %u processors\n", load[0],
              std::thread::hardware_concurrency());
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
