// Tab 3, "Calculation": the "&Do Calculation" button and the output box
// rtfBox that shows the report lines the engine sends to the screen.
#pragma once

#include <QWidget>

#include "ui_CalcTab.h"

namespace orv::tarnby {

class CalcTab : public QWidget {
  Q_OBJECT

 public:
  explicit CalcTab(QWidget* parent = nullptr);

  Ui::CalcTab& Form() { return ui_; }

  void ClearOutput();
  // Appends a line and a line break at the end of the output box.
  void AppendLine(const QString& line);
  QString Output() const;
  // Shows the output box (screen output) or hides it, saying where the
  // report goes instead.
  void ShowOutputBox(bool show, const QString& where);

 private:
  Ui::CalcTab ui_;
};

}  // namespace orv::tarnby
