#include "QNSCombo.h"

namespace orv {

QNSCombo::QNSCombo(QWidget* parent) : QuickCombo(false, "QNSCombo", parent) {}

}  // namespace orv
