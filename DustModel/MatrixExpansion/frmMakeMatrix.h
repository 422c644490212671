// The progress window of the expansion inside the desktop program: the step
// in hand, a fixed explanation, a bar for the current step and one for the
// whole run. Every report repaints it at once, since the run holds the
// thread until it is done.
#pragma once

#include <QWidget>

#include "Progress.h"

class QFrame;
class QLabel;

namespace orv::dustm {

class frmMakeMatrix : public QWidget, public ProgressSink {
  Q_OBJECT

 public:
  explicit frmMakeMatrix(QWidget* parent = nullptr);

  void Reset() override;
  void Report(std::string_view text, double step, double overall) override;

  // For tests: what the window shows.
  QString StepText() const;
  double StepShare() const { return step_share_; }
  double OverallShare() const { return overall_share_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOutBars();

  QLabel* lblProg_;
  QFrame* prgOuter2_;
  QFrame* prgInner2_;
  QFrame* prgOuter1_;
  QFrame* prgInner1_;
  double step_share_ = 0;
  double overall_share_ = 0;
};

}  // namespace orv::dustm
