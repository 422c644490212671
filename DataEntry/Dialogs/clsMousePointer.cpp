// The mouse pointer keeper: the pointer is set through the application's
// override cursor, which the keeper puts back when it is released.
#include <QGuiApplication>

#include "Dialogs.h"

namespace orv::tarnby {

clsMousePointer::clsMousePointer() {
  if (const QCursor* c = QGuiApplication::overrideCursor()) shape_ = c->shape();
}

clsMousePointer::~clsMousePointer() {
  if (pushed_ > 0) QGuiApplication::restoreOverrideCursor();
}

void clsMousePointer::SetMousePointer(Qt::CursorShape shape) {
  shape_ = shape;
  if (pushed_ > 0) {
    QGuiApplication::changeOverrideCursor(QCursor(shape));
  } else {
    QGuiApplication::setOverrideCursor(QCursor(shape));
    pushed_ = 1;
  }
}

}  // namespace orv::tarnby
