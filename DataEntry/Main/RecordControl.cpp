#include "RecordControl.h"

#include <QHBoxLayout>

namespace orv::tarnby {

RecordControl::RecordControl(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  first_ = AddButton(QStringLiteral("|<"), tr("First record"), Move::kFirst);
  previous_ = AddButton(QStringLiteral("<"), tr("Previous record"), Move::kPrevious);
  layout->addWidget(first_);
  layout->addWidget(previous_);
  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("lblRecordCaption"));
  caption_->setFrameShape(QFrame::StyledPanel);
  caption_->setFrameShadow(QFrame::Sunken);
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setMinimumWidth(220);
  caption_->setAccessibleName(tr("Claimant record"));
  layout->addWidget(caption_, 1);
  next_ = AddButton(QStringLiteral(">"), tr("Next record"), Move::kNext);
  last_ = AddButton(QStringLiteral(">|"), tr("Last record"), Move::kLast);
  layout->addWidget(next_);
  layout->addWidget(last_);
}

QToolButton* RecordControl::AddButton(const QString& text, const QString& name, Move move) {
  auto* b = new QToolButton(this);
  b->setText(text);
  b->setToolTip(name);
  b->setAccessibleName(name);
  b->setAutoRaise(false);
  b->setFocusPolicy(Qt::TabFocus);
  connect(b, &QToolButton::clicked, this, [this, move] { emit MoveRequested(move); });
  return b;
}

void RecordControl::SetCaption(const QString& text) {
  caption_->setText(text);
  caption_->setAccessibleDescription(text);
}

void RecordControl::SetEnds(bool at_first, bool at_last) {
  first_->setEnabled(!at_first);
  previous_->setEnabled(!at_first);
  next_->setEnabled(!at_last);
  last_->setEnabled(!at_last);
}

}  // namespace orv::tarnby
