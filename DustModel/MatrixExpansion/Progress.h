// How the expansion reports its progress: a step text and two bars, the
// current step's and the whole run's. The core knows only this interface;
// the library gives it a progress window inside the desktop program, a bar
// on standard error for the command-line tools, or nothing at all.
#pragma once

#include <string_view>

namespace orv::dustm {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // Back to the start: "Progress" and both bars empty.
  virtual void Reset() {}
  // `text` is the step in hand (empty: keep the text shown); `step` and
  // `overall` are the fillings of the two bars as shares of their full width
  // (0 to 1; a negative share leaves that bar as it is).
  virtual void Report(std::string_view text, double step, double overall) = 0;
};

// A sink that shows nothing.
class SilentProgress : public ProgressSink {
 public:
  void Report(std::string_view, double, double) override {}
};

}  // namespace orv::dustm
