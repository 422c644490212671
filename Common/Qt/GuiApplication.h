// Windows need an application object. A host without one (a command-line
// tool that asks for a PDF) gets one created on demand.
#pragma once

namespace orv {

// Makes sure the process has a QApplication, creating one when it has no
// application object at all; with neither DISPLAY nor WAYLAND_DISPLAY set
// (and no QT_QPA_PLATFORM chosen) it runs on the "offscreen" platform.
// Returns false when the process already has an application object that is
// not a QApplication (widgets cannot be made then).
[[nodiscard]] bool EnsureWidgetApplication();

}  // namespace orv
