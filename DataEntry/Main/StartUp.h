// The program's start-up (Main): the splash, the settings file named on the
// command line (or the per-user default), the two database checks, the
// claimant database set-up, the main form and the help interface. When the
// claimant database or the engine cannot be set up, the program runs with
// the options screen alone so that the user can correct the settings.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "Dialogs.h"
#include "frmMAIN.h"

namespace orv::tarnby {

// What Main leaves running.
struct Program {
  std::unique_ptr<tarnby::cHelpDlg> help;
  std::unique_ptr<frmMAIN> form;  // shown, when start-up succeeded
  QPointer<QWidget> options;      // the options screen shown alone
  // False when nothing was left running (the settings could not be read,
  // or start-up failed): the program ends.
  bool Running() const { return form || options; }
};

// The start-up sequence; `command_line` is the program's arguments joined
// by blanks (a settings file path, or nothing).
Program Main(const std::string& command_line);

}  // namespace orv::tarnby
