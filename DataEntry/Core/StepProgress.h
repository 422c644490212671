// How the claimant database's long tasks (check, copy, import, export, the
// change history's CSV) tell their ProgressFn how far a step has come.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "ProgressFn.h"

namespace orv::tarnby {

// One step over `total` units (rows, bytes): told at its start, every
// kEvery units and at its end, never for each unit. Nothing without a
// progress callback.
class StepProgress {
 public:
  static constexpr int64_t kEvery = 4096;

  StepProgress(const ProgressFn& progress, std::string step, int64_t total)
      : progress_(progress), step_(std::move(step)), total_(std::max<int64_t>(total, 0)) {
    if (progress_) progress_(step_, 0, total_);
  }

  // One unit more.
  void Add() {
    if (++done_ % kEvery == 0 && progress_) progress_(step_, std::min(done_, total_), total_);
  }
  // How far it has come, in units that do not go one by one (bytes of a
  // file read a row at a time): the caller tells it now and then.
  void Tell(int64_t done) {
    done_ = done;
    if (progress_) progress_(step_, std::min(done_, total_), total_);
  }
  // The step is done: done is total (more when more came than counted).
  void End() {
    const int64_t total = std::max(done_, total_);
    if (progress_) progress_(step_, total, total);
  }

 private:
  const ProgressFn& progress_;
  std::string step_;
  int64_t total_;
  int64_t done_ = 0;
};

// The whole-file check of an open (db::OpenOptions::check_progress) as the
// step "Checking the whole file" of `progress`, which must outlive the
// open; empty without a callback.
inline std::function<void(int64_t, int64_t)> WholeFileCheckProgress(const ProgressFn& progress) {
  if (!progress) return {};
  return [&progress](int64_t done, int64_t total) {
    progress("Checking the whole file", done, total);
  };
}

}  // namespace orv::tarnby
