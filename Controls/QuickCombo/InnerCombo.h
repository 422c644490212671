// cboCombo: the standard combo box inside the auto-matching combo. It passes its focus, key and
// drop-down moments to the control that owns it, after (or, for key presses, before) doing its
// own work with them.
#pragma once

#include <QComboBox>

namespace orv {

class QuickCombo;

namespace detail {

class InnerCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit InnerCombo(QuickCombo& owner);

  void showPopup() override;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QuickCombo& owner_;
};

}  // namespace detail
}  // namespace orv
