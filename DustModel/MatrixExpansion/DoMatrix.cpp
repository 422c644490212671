#include "DoMatrix.h"

#include "ExpansionSchema.h"
#include "detail/AreaAverages.h"
#include "detail/ExpansionError.h"
#include "detail/MatrixFill.h"
#include "detail/OpenRange.h"
#include "detail/TortiousAverages.h"

namespace orv::dustm {

// The expansion's private pieces.
using namespace detail;
namespace {

constexpr const char* kFailedSource =
    "Failed to expand dust data matrix - this requires read/write access to the dust data "
    "database: ";

void SetMatrixReady(orv::db::Database& db, const char* flag) {
  auto q = db.QueryDefs("qSetMatrixReady");
  q->SetParameter("MatrixReady", Value(flag));
  q->Execute();
}

// Closes the database however the run ends; work not committed is undone.
class OpenDatabase {
 public:
  explicit OpenDatabase(ExpansionRun& run) : run_(run) {}
  ~OpenDatabase() { Close(); }
  OpenDatabase(const OpenDatabase&) = delete;
  OpenDatabase& operator=(const OpenDatabase&) = delete;

  void Begin() {
    run_.db->BeginTrans();
    in_transaction_ = true;
  }
  void Commit() {
    run_.db->CommitTrans();
    in_transaction_ = false;
  }
  void Close() noexcept {
    if (!run_.db) return;
    try {
      if (in_transaction_) run_.db->Rollback();
    } catch (...) {
    }
    in_transaction_ = false;
    try {
      run_.db->Close();
    } catch (...) {
    }
    run_.db.reset();
  }

 private:
  ExpansionRun& run_;
  bool in_transaction_ = false;
};

}  // namespace

bool DoMatrix(ExpansionRun& run, const std::string& DBName, const std::string& DBPass) {
  std::string step;
  OpenDatabase open(run);
  run.Progress().Reset();
  try {
    step = "Opening database " + DBName + " with read/write access to expand dust matrix";
    run.Show(step, 0.0);
    orv::db::OpenOptions options;
    options.exclusive = false;
    options.read_only = false;
    options.connect = ";pwd=" + DBPass;
    options.kind = orv::db::DatabaseKind::DustData;
    run.db = orv::db::OpenDatabase(DBName, options);
    step = "Checking the expansion's stored queries";
    orv::dustdata::RequireOwnActionQueries(*run.db);

    // The open ranges and the "not expanded" mark are kept on their own, so
    // that a run that stops later leaves the database marked not expanded.
    open.Begin();
    run.BeginStage(0.0, 0.05);
    OpenRanges ranges(run);
    if (!ranges.PrepareOpenRange()) return false;
    step = "Setting up Matrix ready query";
    SetMatrixReady(*run.db, "0");
    open.Commit();

    // Everything else is one piece of work: the new matrix and the
    // "expanded" mark, or neither.
    open.Begin();
    step = "Making area averages";
    run.BeginStage(0.05, 0.15);
    AreaAverages averages(run);
    if (!averages.MakeAreaAverages()) return false;

    step = "Expanding dust matrix";
    MatrixFill fill(run, ranges, averages);
    if (!fill.FillMatrix()) return false;

    step = "Preparing tortious averages";
    run.BeginStage(0.9, 1.0);
    if (!PrepareTortiousAvg(run)) return false;

    step = "Marking database as expanded with full matrix";
    run.Show(step, 1.0);
    SetMatrixReady(*run.db, "1");
    open.Commit();
    open.Close();
    return true;
  } catch (...) {
    open.Close();
    PassOnExpansionError(run, kFailedSource + step);
  }
}

bool RunExpansion(const RunValues& values, const std::string& DBName, const std::string& DBPass,
                  ProgressSink* progress) {
  ExpansionRun run(values, progress);
  return DoMatrix(run, DBName, DBPass);
}

}  // namespace orv::dustm
