// The progress display of one call: chosen by where the expansion runs.
#pragma once

#include <memory>

#include "Progress.h"

namespace orv::dustm::detail {

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual ProgressSink& Sink() = 0;
  // Takes the display down.
  virtual void Unload() = 0;
};

// The progress window when the program has a QApplication, else the
// terminal bar.
std::unique_ptr<ProgressDisplay> LoadProgressDisplay();

}  // namespace orv::dustm::detail
