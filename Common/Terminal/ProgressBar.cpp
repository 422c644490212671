#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>

namespace orv {
namespace {

constexpr int kWidth = 78;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressBar::ProgressBar(std::chrono::milliseconds delay, std::FILE* out)
    : out_(out != nullptr ? out : stderr),
      enabled_(out != nullptr || isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      delay_(delay) {}

ProgressBar::~ProgressBar() { Finish(); }

std::string ProgressBar::Render(std::string_view step, int64_t done, int64_t total, int width) {
  std::string tail;
  int bar = 0;
  if (total > 0) {
    const int64_t d = std::clamp<int64_t>(done, 0, total);
    const int percent = static_cast<int>(d * 100 / total);
    tail = " " + std::to_string(percent) + "%";
    bar = 20;
    const int filled = static_cast<int>(d * bar / total);
    tail = " [" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(bar - filled), '.') + "]" + tail;
  } else if (done > 0) {
    tail = " " + std::to_string(done);
  }
  const int room = std::max(0, width - static_cast<int>(tail.size()));
  std::string label(step.substr(0, static_cast<size_t>(room)));
  return label + tail;
}

void ProgressBar::Update(std::string_view step, int64_t done, int64_t total) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < delay_) return;
  const bool finished = total > 0 && done >= total;
  if (drawn_ && step == last_step_ && !finished && now - last_draw_ < kRedrawInterval) return;
  const std::string line = Render(step, done, total, kWidth);
  std::fprintf(out_, "\r%-*s", kWidth, line.c_str());
  std::fflush(out_);
  drawn_ = true;
  last_draw_ = now;
  last_step_ = std::string(step);
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  std::fprintf(out_, "\r%*s\r", kWidth, "");
  std::fflush(out_);
  drawn_ = false;
}

}  // namespace orv
