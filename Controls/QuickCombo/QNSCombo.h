// QNSCombo: the auto-matching combo with its list kept in the order the items were added.
#pragma once

#include "QuickCombo.h"

namespace orv {

class QNSCombo : public QuickCombo {
  Q_OBJECT

 public:
  explicit QNSCombo(QWidget* parent = nullptr);
};

}  // namespace orv
