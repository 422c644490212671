// QCombo: the auto-matching combo with its list kept in alphabetical order (ignoring case).
#pragma once

#include "QuickCombo.h"

namespace orv {

class QCombo : public QuickCombo {
  Q_OBJECT

 public:
  explicit QCombo(QWidget* parent = nullptr);
};

}  // namespace orv
