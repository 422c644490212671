// Shared set-up of the combo tests: a shown, active form holding the combo and one other
// control to move the focus to, and a scripted message box that records every box shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

#include "MessageBox.h"
#include "QCombo.h"
#include "QNSCombo.h"

namespace orv::test {

template <typename Combo = QCombo>
struct Form {
  QWidget window;
  Combo* combo;
  QLineEdit* other;

  Form() {
    auto* layout = new QVBoxLayout(&window);
    combo = new Combo(&window);
    combo->setObjectName(QStringLiteral("qcboColliery"));
    other = new QLineEdit(&window);
    layout->addWidget(combo);
    layout->addWidget(other);
    window.show();
    QApplication::setActiveWindow(&window);
    other->setFocus(Qt::OtherFocusReason);
  }
  QComboBox* cbo() const { return combo->Combo(); }
  // Gives the combo the focus as the user would, by tabbing into it.
  void FocusCombo() { cbo()->setFocus(Qt::TabFocusReason); }
};

class ComboTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetMessageBoxService(boxes_); }
  void TearDown() override { SetMessageBoxService(previous_); }

  std::shared_ptr<ScriptedMessageBox> boxes_ = std::make_shared<ScriptedMessageBox>();

 private:
  std::shared_ptr<MessageBoxService> previous_;
};

// Fills a combo with the collieries the matching cases use, in this order.
template <typename Combo>
void AddCollieries(Combo& combo) {
  combo.AddItemExtended(QStringLiteral("Bentley"), 30);
  combo.AddItemExtended(QStringLiteral("Barnsley"), 20);
  combo.AddItemExtended(QStringLiteral("Abbey"), 10);
}

}  // namespace orv::test
