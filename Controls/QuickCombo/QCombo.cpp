#include "QCombo.h"

namespace orv {

QCombo::QCombo(QWidget* parent) : QuickCombo(true, "QCombo", parent) {}

}  // namespace orv
