// Message boxes shown with Qt's QMessageBox, for the desktop program to
// install with SetMessageBoxService. Styles and answers keep the classic
// numbers of MessageBox.h.
#pragma once

#include <QMessageBox>
#include <cstdint>

#include "MessageBox.h"

namespace orv {

class QtMessageBoxService : public MessageBoxService {
 public:
  // Shows the box modally, owned by the active window when there is one.
  int32_t Show(const MessageBoxRequest& request) override;
};

// The buttons of a style (its lowest three bits: 0 OK, 1 OK and Cancel,
// 2 Abort, Retry and Ignore, 3 Yes, No and Cancel, 4 Yes and No, 5 Retry
// and Cancel).
QMessageBox::StandardButtons ButtonsForStyle(int32_t style);
// The icon of a style (16 critical, 32 question, 48 exclamation,
// 64 information, else none).
QMessageBox::Icon IconForStyle(int32_t style);
// The default button of a style: the first, or the second (256) or third
// (512) of its buttons.
QMessageBox::StandardButton DefaultButtonForStyle(int32_t style);
// The classic answer number of a button (OK 1, Cancel 2, Abort 3, Retry 4,
// Ignore 5, Yes 6, No 7); a box closed without a button answers Cancel, or
// OK when it has no Cancel button.
int32_t AnswerForButton(QMessageBox::StandardButton button, int32_t style);

}  // namespace orv
