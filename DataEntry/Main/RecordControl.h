// The record control of a bound recordset: first, previous, next and last
// buttons around a caption ("Record: 3 of 12"). The owner moves the
// recordset when a button asks for it and sets the caption afterwards.
#pragma once

#include <QLabel>
#include <QToolButton>
#include <QWidget>

namespace orv::tarnby {

class RecordControl : public QWidget {
  Q_OBJECT

 public:
  enum class Move { kFirst, kPrevious, kNext, kLast };

  explicit RecordControl(QWidget* parent = nullptr);

  QString Caption() const { return caption_->text(); }
  void SetCaption(const QString& text);
  // Disables the buttons that cannot move: |< and < on the first record,
  // > and >| on the last.
  void SetEnds(bool at_first, bool at_last);

 signals:
  void MoveRequested(RecordControl::Move move);

 private:
  QToolButton* AddButton(const QString& text, const QString& name, Move move);

  QLabel* caption_;
  QToolButton* first_ = nullptr;
  QToolButton* previous_ = nullptr;
  QToolButton* next_ = nullptr;
  QToolButton* last_ = nullptr;
};

}  // namespace orv::tarnby
