// The CausesValidation mark and the swallowing of a refused button's click.
//
// Qt moves the focus to a clicked button before it delivers the mouse press
// to it. A combo that refuses the focus change learns of it first, inside
// that move, and so can arm a one-shot filter on the button that drops what
// is still to come: the press and the matching release.
//
// A button's shortcut clicks it without moving the focus at all, so no leave
// check would run. One application-wide filter therefore stops a shortcut
// on its way to a button that causes validation while a combo has the focus:
// the combo runs its leave check first, and a refusal drops the shortcut.
#include "CausesValidation.h"

#include "QuickCombo.h"

#include <QAbstractButton>
#include <QEvent>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWidget>

namespace orv {

void SetCausesValidation(QWidget* control, bool causes) {
  if (control) control->setProperty(kCausesValidationProperty, causes);
}

bool CausesValidation(const QWidget* control) {
  if (!control) return true;
  const QVariant v = control->property(kCausesValidationProperty);
  return !v.isValid() || v.toBool();
}

namespace detail {
namespace {

class ClickSwallower : public QObject {
 public:
  enum class State { kAwaitPress, kAwaitRelease, kDone };

  explicit ClickSwallower(QAbstractButton* button) : QObject(button), button_(button) {
    button->installEventFilter(this);
    // The press belongs to the input that moved the focus and arrives in the same delivery;
    // when none came (the focus was moved by code), stand down.
    QTimer::singleShot(0, this, [this] {
      if (state_ == State::kAwaitPress) Finish();
    });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != button_ || state_ == State::kDone) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        // A message box shown while the combo refused may already have taken the release.
        if (!(QGuiApplication::mouseButtons() & Qt::LeftButton))
          Finish();
        else
          state_ = State::kAwaitRelease;
        return true;
      case QEvent::MouseButtonRelease:
        if (state_ != State::kAwaitRelease) return false;
        Finish();
        return true;
      case QEvent::MouseMove:
        return state_ == State::kAwaitRelease;
      default:
        return false;
    }
  }

 private:
  void Finish() {
    if (state_ == State::kDone) return;
    state_ = State::kDone;
    if (button_) {
      button_->removeEventFilter(this);
      button_->setDown(false);
    }
    deleteLater();
  }

  QPointer<QAbstractButton> button_;
  State state_ = State::kAwaitPress;
};

// Stops a shortcut bound for a button that causes validation while a combo that refuses to
// let the focus go has it.
class ShortcutGate : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Shortcut) return false;
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (!button || !CausesValidation(button)) return false;
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
      if (auto* combo = qobject_cast<QuickCombo*>(w)) return combo->ForceValidate();
      if (w->isWindow()) break;
    }
    return false;
  }
};

}  // namespace

void SwallowPendingClick(QAbstractButton* button, Qt::FocusReason reason) {
  if (button && reason == Qt::MouseFocusReason) new ClickSwallower(button);
}

void InstallShortcutGate() {
  static QPointer<QObject> gate;
  if (gate || !QCoreApplication::instance()) return;
  gate = new ShortcutGate;
  gate->setParent(QCoreApplication::instance());
  QCoreApplication::instance()->installEventFilter(gate);
}

}  // namespace detail
}  // namespace orv
