#include "InnerCombo.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

#include "QuickCombo.h"

namespace orv::detail {

namespace {

// Keys with which a combo box steps through or opens its list.
bool IsListKey(const QKeyEvent& e) {
  switch (e.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_F4:
      return true;
    default:
      return false;
  }
}

}  // namespace

InnerCombo::InnerCombo(QuickCombo& owner) : QComboBox(&owner), owner_(owner) {
  setObjectName(QStringLiteral("cboCombo"));
  setEditable(true);
  // The owner completes the text itself and never adds what was typed to the list.
  setCompleter(nullptr);
  setInsertPolicy(QComboBox::NoInsert);
  lineEdit()->installEventFilter(this);
}

void InnerCombo::showPopup() {
  if (owner_.Locked()) return;
  owner_.OnDropDown();
  QComboBox::showPopup();
}

void InnerCombo::focusInEvent(QFocusEvent* event) {
  QComboBox::focusInEvent(event);
  owner_.OnFocusIn(event->reason());
}

void InnerCombo::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  owner_.OnFocusOut(event->reason());
}

void InnerCombo::keyPressEvent(QKeyEvent* event) {
  const QuickCombo::KeyAnswer answer = owner_.OnKeyDown(*event);
  if (answer.eat || (owner_.Locked() && IsListKey(*event))) {
    event->accept();
    return;
  }
  if (answer.replacement) {
    QKeyEvent substitute(QEvent::KeyPress, event->key(), event->modifiers(), *answer.replacement,
                         event->isAutoRepeat(), static_cast<quint16>(event->count()));
    QComboBox::keyPressEvent(&substitute);
    return;
  }
  QComboBox::keyPressEvent(event);
}

void InnerCombo::keyReleaseEvent(QKeyEvent* event) {
  QComboBox::keyReleaseEvent(event);
  owner_.OnKeyUp(*event);
}

void InnerCombo::wheelEvent(QWheelEvent* event) {
  if (owner_.Locked()) {
    event->accept();
    return;
  }
  QComboBox::wheelEvent(event);
}

void InnerCombo::changeEvent(QEvent* event) {
  QComboBox::changeEvent(event);
  // The combo's height follows its font, and the control's height follows the combo.
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) owner_.Layout();
}

bool InnerCombo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lineEdit() && event->type() == QEvent::MouseButtonDblClick) emit owner_.DblClick();
  return QComboBox::eventFilter(watched, event);
}

}  // namespace orv::detail
