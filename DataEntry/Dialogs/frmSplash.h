// The splash window: product name, version, notice, licensee and logo. A
// click or a key pressed on it asks for it to be unloaded.
#pragma once

#include <QWidget>

#include "ui_frmSplash.h"

namespace orv::tarnby {

class frmSplash : public QWidget {
  Q_OBJECT

 public:
  explicit frmSplash(QWidget* parent = nullptr);
  Ui::frmSplash& Form() { return ui_; }

 signals:
  void UnloadRequested();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Ui::frmSplash ui_;
};

}  // namespace orv::tarnby
