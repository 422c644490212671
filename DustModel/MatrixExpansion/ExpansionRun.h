// The state of one expansion run: the five run values taken from the
// caller's arguments, the dust data database opened for writing, the error
// reporter shared by every class of the run, and the progress display.
// Created by each call of the expansion and dropped when it returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "Database.h"
#include "ErrorHandler.h"
#include "Progress.h"
#include "RunValues.h"

namespace orv::dustm {

class ExpansionRun {
 public:
  // `progress` may be null (nothing is shown); it must outlive the run.
  explicit ExpansionRun(RunValues values, ProgressSink* progress = nullptr);
  ExpansionRun(const ExpansionRun&) = delete;
  ExpansionRun& operator=(const ExpansionRun&) = delete;

  RunValues values;
  orv::db::DatabasePtr db;  // set by the driver once the file is open

  ErrorHandler& Errors() { return errors_; }
  ProgressSink& Progress() { return *progress_; }
  // Shows the rest of the run on `progress` (null: nothing shown).
  void SetProgress(ProgressSink* progress) { progress_ = progress ? progress : &silent_; }

  // The part of the overall bar that the stage now running fills, from
  // `from` to `to` (shares of the whole run).
  void BeginStage(double from, double to);
  // Shows `text` (empty: keep it) with the step bar at `share` of its width;
  // the overall bar moves through the running stage in step with it.
  void Show(std::string_view text, double share);
  // The same with the share given as done of total (total 0: empty bar).
  void ShowCount(std::string_view text, int64_t done, int64_t total);

 private:
  ErrorHandler errors_;
  SilentProgress silent_;
  ProgressSink* progress_;
  double stage_from_ = 0;
  double stage_to_ = 0;
};

}  // namespace orv::dustm
