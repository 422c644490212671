#include "GuiApplication.h"

#include <QApplication>
#include <cstdlib>

namespace orv {

namespace {

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

bool EnsureWidgetApplication() {
  if (QCoreApplication::instance())
    return qobject_cast<QApplication*>(QCoreApplication::instance());
  // The argument list must outlive the application object.
  static int argc = 1;
  static char name[] = "orvdusto";
  static char platform_flag[] = "-platform";
  static char offscreen[] = "offscreen";
  static char* argv[] = {name, platform_flag, offscreen, nullptr};
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  if (!HasDisplay() && !(chosen && *chosen)) argc = 3;
  // Made once and kept for the life of the process: the host never made one
  // and destroying it while component objects still hold widgets would be
  // worse than leaving it to process exit.
  new QApplication(argc, argv);
  return true;
}

}  // namespace orv
