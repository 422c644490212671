// A message box with no service installed (a headless tool) answers the
// box's default button, as a person pressing Enter would.
#include <gtest/gtest.h>

#include "MessageBox.h"

namespace orv {
namespace {

TEST(HeadlessMessageBox, AnswersTheDefaultButton) {
  struct Case {
    int32_t style;
    int32_t answer;
  };
  const Case cases[] = {
      {mb::kOkOnly, mb::kOk},
      {mb::kOkCancel | mb::kDefaultButton2, mb::kCancel},
      {mb::kYesNo, mb::kYes},
      {mb::kQuestion | mb::kYesNo | mb::kDefaultButton2, mb::kNo},
      {mb::kYesNoCancel | mb::kDefaultButton3, mb::kCancel},
      {2 | mb::kDefaultButton3, 5},            // Abort, Retry, Ignore: Ignore
      {5 | mb::kDefaultButton2, mb::kCancel},  // Retry, Cancel: Cancel
      {mb::kOkOnly | mb::kDefaultButton3, mb::kOk},  // no third button: the first
  };
  const auto previous = SetMessageBoxService(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    EXPECT_EQ(MsgBox("Go on?", c.style, "Question"), c.answer);
  }
  SetMessageBoxService(previous);
}

}  // namespace
}  // namespace orv
