// Times the expansion of the national sample dust data set and, in the same
// run, the time to bulk-insert as many matrix rows through the same
// database layer (one prepared insert, one transaction): the floor that the
// expansion's own writing cannot beat. The expansion aims to stay within
// three times that floor.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Database.h"
#include "DoMatrix.h"
#include "DustDataBuild.h"
#include "DustDataPassword.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using orv::Value;

constexpr int kRepeats = 5;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

orv::db::DatabasePtr Open(const std::string& path) {
  orv::db::OpenOptions o;
  o.connect = orv::DustDataConnect();
  return orv::db::OpenDatabase(path, o);
}

int64_t MatrixRows(const std::string& path) {
  auto db = Open(path);
  auto rs = db->OpenRecordset("SELECT COUNT(*) FROM DUSTMATRIX", orv::db::RecordsetType::Snapshot);
  return rs->Field(0).AsInt64();
}

// Inserts `rows` matrix rows of plausible shape into an empty matrix.
double BulkInsert(const std::string& path, int64_t rows) {
  auto db = Open(path);
  db->Execute("DELETE FROM DUSTMATRIX");
  const auto start = Clock::now();
  auto add = db->QueryDefs("qAddDustMatrix");
  db->BeginTrans();
  for (int64_t i = 0; i < rows; ++i) {
    const int year = 1947 + static_cast<int>(i % 48);
    add->SetParameter("CollieryID", Value(static_cast<int>(1000 + i / 48)));
    add->SetParameter("StartYear", Value(year));
    add->SetParameter("EndYear", Value(year));
    add->SetParameter("DustVal", Value(2.5f));
    add->SetParameter("Marker", Value());
    add->SetParameter("Source", Value("Interpolated"));
    add->Execute();
  }
  db->CommitTrans();
  db->Close();
  return Seconds(start);
}

// Records how long each step text stayed on the display.
class StepTimer : public orv::dustm::ProgressSink {
 public:
  void Report(std::string_view text, double, double) override {
    if (text.empty() || text == current_) return;
    Close();
    current_ = std::string(text);
    since_ = Clock::now();
  }
  void Close() {
    if (current_.empty()) return;
    std::string label = current_.substr(0, current_.find(" ("));
    auto it =
        std::find_if(steps_.begin(), steps_.end(), [&](const auto& s) { return s.first == label; });
    if (it == steps_.end()) it = steps_.insert(steps_.end(), {label, 0.0});
    it->second += Seconds(since_);
    current_.clear();
  }
  // Ends one run: each step keeps its best time over the runs.
  void EndRun() {
    Close();
    for (const auto& [label, secs] : steps_) {
      auto it =
          std::find_if(best_.begin(), best_.end(), [&](const auto& s) { return s.first == label; });
      if (it == best_.end()) {
        best_.emplace_back(label, secs);
      } else {
        it->second = std::min(it->second, secs);
      }
    }
    steps_.clear();
  }
  // The last step's time includes the commit and closing of the database.
  void Print() const {
    for (const auto& [label, secs] : best_) std::printf("  %-72s %.3f s\n", label.c_str(), secs);
  }

 private:
  std::string current_;
  Clock::time_point since_;
  std::vector<std::pair<std::string, double>> steps_;
  std::vector<std::pair<std::string, double>> best_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string data = argc > 1 ? argv[1] : TARNBY_SAMPLE_DIR;
  const fs::path dir = fs::temp_directory_path() / ("bench_matrix-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string source = (dir / "SOURCE.db").string();
  const std::string work = (dir / "WORK.db").string();
  orv::dustdata::BuildFromCsv(data, source, true);

  // The engine's run values for the sample: base year to the current year
  // plus a century, area averages to the sample's last year.
  const orv::dustm::RunValues values{1947, 2126, 1947, 1994, 5};
  double expand = 1e9;
  double insert = 1e9;
  int64_t rows = 0;
  for (int i = 0; i < kRepeats; ++i) {
    fs::copy_file(source, work, fs::copy_options::overwrite_existing);
    const auto start = Clock::now();
    if (!orv::dustm::RunExpansion(values, work, orv::kDustDataPassword)) {
      std::fprintf(stderr, "the expansion failed\n");
      return 1;
    }
    expand = std::min(expand, Seconds(start));
    rows = MatrixRows(work);
    insert = std::min(insert, BulkInsert(work, rows));
  }
  // More runs with the time of each step shown (the best of each).
  StepTimer timer;
  for (int i = 0; i < kRepeats; ++i) {
    fs::copy_file(source, work, fs::copy_options::overwrite_existing);
    if (!orv::dustm::RunExpansion(values, work, orv::kDustDataPassword, &timer)) return 1;
    timer.EndRun();
  }
  fs::remove_all(dir);

  std::printf("national sample: %lld matrix rows\n", static_cast<long long>(rows));
  std::printf("expansion:   %.3f s (best of %d)\n", expand, kRepeats);
  std::printf("bulk insert: %.3f s (best of %d)\n", insert, kRepeats);
  std::printf("ratio:       %.2f (aim: 3 or less)\n", expand / insert);
  std::printf("steps (best of %d runs each):\n", kRepeats);
  timer.Print();
  return 0;
}
