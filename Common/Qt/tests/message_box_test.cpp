#include <gtest/gtest.h>

#include "QtMessageBox.h"

namespace orv {
namespace {

TEST(QtMessageBox, StylesMapOntoButtonsIconsAndAnswers) {
  using B = QMessageBox;
  struct Case {
    int32_t style;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton default_button;
  } cases[] = {
      {0, B::Ok, B::NoIcon, B::Ok},
      {16, B::Ok, B::Critical, B::Ok},
      {1 + 32, B::Ok | B::Cancel, B::Question, B::Ok},
      {2 + 48 + 512, B::Abort | B::Retry | B::Ignore, B::Warning, B::Ignore},
      {3 + 32 + 256, B::Yes | B::No | B::Cancel, B::Question, B::No},
      {4 + 64, B::Yes | B::No, B::Information, B::Yes},
      {5, B::Retry | B::Cancel, B::NoIcon, B::Retry},
      {4 + 512, B::Yes | B::No, B::NoIcon, B::Yes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    EXPECT_EQ(ButtonsForStyle(c.style), c.buttons);
    EXPECT_EQ(IconForStyle(c.style), c.icon);
    EXPECT_EQ(DefaultButtonForStyle(c.style), c.default_button);
  }
  EXPECT_EQ(AnswerForButton(B::Ok, 0), mb::kOk);
  EXPECT_EQ(AnswerForButton(B::Yes, 4), mb::kYes);
  EXPECT_EQ(AnswerForButton(B::No, 4), mb::kNo);
  EXPECT_EQ(AnswerForButton(B::Retry, 5), 4);
  EXPECT_EQ(AnswerForButton(B::NoButton, 3), mb::kCancel);
  EXPECT_EQ(AnswerForButton(B::NoButton, 0), mb::kOk);
}

}  // namespace
}  // namespace orv
