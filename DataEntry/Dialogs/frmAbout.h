// The About box: the program's title, version, description and legal
// notice, where it runs from, the engine's and the dust data's versions, a
// disclaimer, and a button that starts the system information tool.
#pragma once

#include <QDialog>

#include "Dialogs.h"
#include "ui_frmAbout.h"

namespace orv::tarnby {

class frmAbout : public QDialog {
  Q_OBJECT

 public:
  frmAbout(const AboutInfo& info, QWidget* parent = nullptr);
  Ui::frmAbout& Form() { return ui_; }

  // Starts the system information tool, or says it is unavailable.
  void StartSysInfo();

 private:
  Ui::frmAbout ui_;
};

}  // namespace orv::tarnby
