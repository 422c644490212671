#include "frmMakeMatrix.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

namespace orv::dustm {
namespace {

constexpr const char* kExplanation =
    "The system is creating tables of interpolated and extrapolated PXR data - this only needs "
    "to be done on first run - please be patient. The time this will take depends on the speed "
    "of your computer but should not be more than a few minutes - watch the progress bars below "
    "to gauge progress";

constexpr int kBarHeight = 18;

// A sunken frame with a filled frame inside it, as wide as its share.
QFrame* MakeBar(QWidget* parent, QFrame** inner) {
  auto* outer = new QFrame(parent);
  outer->setFrameShape(QFrame::Panel);
  outer->setFrameShadow(QFrame::Sunken);
  outer->setFixedHeight(kBarHeight);
  *inner = new QFrame(outer);
  (*inner)->setAutoFillBackground(true);
  QPalette p = (*inner)->palette();
  p.setColor(QPalette::Window, p.color(QPalette::Highlight));
  (*inner)->setPalette(p);
  (*inner)->setGeometry(0, 0, 0, kBarHeight);
  return outer;
}

}  // namespace

frmMakeMatrix::frmMakeMatrix(QWidget* parent) : QWidget(parent, Qt::Dialog) {
  setWindowTitle(QStringLiteral("Creating dust matrix"));
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  lblProg_ = new QLabel(QStringLiteral("Progress"), this);
  auto* explanation = new QLabel(QString::fromLatin1(kExplanation), this);
  explanation->setWordWrap(true);
  prgOuter2_ = MakeBar(this, &prgInner2_);
  auto* overall = new QLabel(QStringLiteral("Overall Progress"), this);
  prgOuter1_ = MakeBar(this, &prgInner1_);
  layout->addWidget(explanation);
  layout->addWidget(lblProg_);
  layout->addWidget(prgOuter2_);
  layout->addWidget(overall);
  layout->addWidget(prgOuter1_);
  resize(480, 220);
}

QString frmMakeMatrix::StepText() const { return lblProg_->text(); }

void frmMakeMatrix::Reset() {
  lblProg_->setText(QStringLiteral("Progress"));
  step_share_ = 0;
  overall_share_ = 0;
  LayOutBars();
  repaint();
}

void frmMakeMatrix::Report(std::string_view text, double step, double overall) {
  if (!text.empty()) {
    lblProg_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
  if (step >= 0) step_share_ = std::min(step, 1.0);
  if (overall >= 0) overall_share_ = std::min(overall, 1.0);
  LayOutBars();
  repaint();
  // Lets the window system draw and keeps the program answering while the
  // run holds the thread; the window is modal, so no input reaches the rest.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmMakeMatrix::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutBars();
}

void frmMakeMatrix::LayOutBars() {
  const auto fill = [](QFrame* outer, QFrame* inner, double share) {
    inner->setGeometry(0, 0, static_cast<int>(outer->width() * share), outer->height());
  };
  fill(prgOuter2_, prgInner2_, step_share_);
  fill(prgOuter1_, prgInner1_, overall_share_);
}

}  // namespace orv::dustm
