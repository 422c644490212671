// Which controls make a combo check its text when they take the focus.
//
// Every control causes validation unless the host marks it otherwise: when
// the focus moves from a combo to such a control, the combo runs its leave
// check, and a refusal keeps the focus in the combo and also keeps the
// control from acting on the click or shortcut that tried to take the focus
// (a Save clicked beside a refused colliery does not save). A control marked
// as not causing validation (a Cancel button) takes the focus without the
// check and acts as usual.
//
// The mark is the widget's dynamic property "CausesValidation", so a form
// can also set it in Qt Designer (a bool dynamic property, false).
#pragma once

#include <QFocusEvent>

class QAbstractButton;
class QWidget;

namespace orv {

inline constexpr const char* kCausesValidationProperty = "CausesValidation";

void SetCausesValidation(QWidget* control, bool causes);
// True unless the control is marked as not causing validation.
bool CausesValidation(const QWidget* control);

namespace detail {
// Keeps `button`, which was about to take the focus when a combo refused to
// let it go, from running its action for the input that moved the focus:
// the mouse press and release of a click.
void SwallowPendingClick(QAbstractButton* button, Qt::FocusReason reason);
// Puts the application-wide filter in place that lets a combo check its text before a
// shortcut clicks a button that causes validation. Once per application; every combo calls it.
void InstallShortcutGate();
}  // namespace detail

}  // namespace orv
