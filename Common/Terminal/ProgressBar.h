// A progress bar on standard error for long work: drawn only when standard
// error is a terminal and only once the work has lasted a moment, redrawn
// at most a few times a second, and wiped when the work is done.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace orv {

class ProgressBar {
 public:
  // `out` null: standard error, shown only when it is a terminal. Given a
  // stream, the bar is always drawn there (for tests) once `delay` passed.
  explicit ProgressBar(std::chrono::milliseconds delay = std::chrono::milliseconds(400),
                       std::FILE* out = nullptr);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Work in hand: `done` of `total` (total 0 or less: unknown).
  void Update(std::string_view step, int64_t done, int64_t total);
  // Wipes the bar if it was drawn.
  void Finish();

  // The line drawn for a state, `width` characters wide at most.
  static std::string Render(std::string_view step, int64_t done, int64_t total, int width);

 private:
  std::FILE* out_;
  bool enabled_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  std::chrono::milliseconds delay_;
  bool drawn_ = false;
  std::string last_step_;
};

}  // namespace orv
