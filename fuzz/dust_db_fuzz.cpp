// Fuzz target: a damaged dust data database file. The input is written as
// the file, which is then checked as `tarnby-dustdata check` does and used
// for a calculation as `tarnby-calc` does: the engine opens it, reads the
// model parameters and runs its lookups for a short history. Failures must
// come as InputError or OrvError (the calculation keeps its own); anything
// else ends the run. A stored query that never ends is stopped by the
// budget (see FuzzSupport.h).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "CalcRun.h"
#include "DustDataBuild.h"
#include "FuzzSupport.h"
#include "InputError.h"
#include "MessageBox.h"
#include "OrvError.h"

namespace {

namespace fs = std::filesystem;

// Boxes are answered silently: a warning about compaction is no finding.
class SilentBoxes : public orv::MessageBoxService {
 public:
  int32_t Show(const orv::MessageBoxRequest&) override { return orv::mb::kOk; }
};

// Jobs at collieries of the test source folder, a user-defined factor and
// smoking entries, so that every stored lookup runs.
constexpr const char* kHistory = R"({
  "claimant": {"name": "A Claimant"},
  "jobs": [
    {"colliery_id": 101, "start_year": 1955, "end_year": 1970, "job_factor_id": 1,
     "resp_factor_id": 1},
    {"colliery_id": 103, "start_year": 1971, "end_year": 1990, "job_factor_code": "FW",
     "resp_factor_id": 2},
    {"colliery_id": 104, "start_year": 1991, "end_year": 1994,
     "user_factor": {"id": 10000, "code": "U1", "descr": "Fitter", "job_factor": 0.8,
                     "dusty_time_factor": 0.5, "resp_factor": 20, "start_year": 1975,
                     "end_year": 1990, "start_year_val": 1, "end_year_val": 0.5,
                     "years_past_closure": 0}}
  ],
  "smoking": [
    {"category_id": 2, "start_year": 1960, "end_year": 1980},
    {"category_code": "H", "years": 12}
  ]
})";

void RemoveSideFiles(const std::string& db) {
  std::error_code ec;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) fs::remove(db + suffix, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool setup = [] {
    orv::SetMessageBoxService(std::make_shared<SilentBoxes>());
    return true;
  }();
  (void)setup;
  static const orv::calcrun::HistoryFile history = orv::calcrun::ParseHistory(kHistory, "history");

  const std::string db = (orv::fuzz::ScratchFolder() / "DUSTDATA.db").string();
  RemoveSideFiles(db);
  orv::fuzz::WriteBytes(db, data, size);

  orv::fuzz::BudgetStop().clear();
  try {
    const orv::dustdata::CheckReport report = orv::dustdata::CheckDatabase(db);
    (void)orv::dustdata::FormatCheckReport(report);
    for (const std::string& p : report.problems) orv::fuzz::NoteBudgetStop(p);
  } catch (const orv::OrvError& e) {
    orv::fuzz::NoteBudgetStop(e.Description());
  } catch (const orv::InputError&) {
  }

  // The engine keeps one connection per thread: a thread of its own per
  // input closes it when the thread ends.
  std::thread calculation([&db] {
    orv::calcrun::CalcOptions options;
    options.dust_db = db;
    options.detail = true;
    options.format = orv::calcrun::Format::kJson;
    const orv::calcrun::CalcOutcome out = orv::calcrun::RunCalculation(options, history);
    if (out.error) orv::fuzz::NoteBudgetStop(out.error->Description());
  });
  calculation.join();
  RemoveSideFiles(db);
  return 0;
}
