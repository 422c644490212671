// A form laid out in Qt Designer with a plain widget promoted to QCombo: the design-time
// settings, given as dynamic properties, reach the control.
#include <gtest/gtest.h>

#include "QCombo.h"
#include "ui_promoted_form.h"

namespace orv::test {
namespace {

TEST(DesignerTest, PromotedWidgetTakesItsDesignTimeSettings) {
  QWidget form;
  Ui::PromotedForm ui;
  ui.setupUi(&form);
  QCombo* combo = ui.qcboColliery;
  EXPECT_EQ(combo->NotInListOption(), QuickCombo::orvqcRaiseEvent);
  EXPECT_EQ(combo->BoundPropertyName(), "BoundID");
  EXPECT_FALSE(combo->AllowEmpty());
  EXPECT_EQ(combo->NotInListMsg(), "%T is not a colliery");
  EXPECT_EQ(combo->Combo()->objectName(), "cboCombo");
}

}  // namespace
}  // namespace orv::test
