// Leaving the combo: the list check, every not-in-list response, the empty text, the host's
// answers to NotInList and ValidateData, and the bound identifier.
#include <QLineEdit>
#include <QTest>

#include "ComboFixture.h"
#include "OrvError.h"

namespace orv::test {
namespace {

using ValidationTest = ComboTest;
using Q = QuickCombo;

TEST_F(ValidationTest, NotInListOptionsDecideRefusalAndMessage) {
  struct Case {
    Q::orvQCNotInListConstants option;
    bool refused;
    bool message;
  };
  const Case cases[] = {
      {Q::orvqcIgnore, false, false},
      {Q::orvqcKeepFocus, true, false},
      {Q::orvqcMsgKeepFocus, true, true},
      {Q::orvqcMsgContinue, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    boxes_->shown.clear();
    Form<QCombo> f;
    AddCollieries(*f.combo);
    f.combo->SetNotInListOption(c.option);
    f.combo->SetText(QStringLiteral("Wistow"));
    EXPECT_EQ(f.combo->ForceValidate(), c.refused);
    EXPECT_TRUE(f.combo->ValidateFired());
    ASSERT_EQ(boxes_->shown.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(boxes_->shown[0].prompt, "Wistow is not in the list");
      EXPECT_EQ(boxes_->shown[0].title, "Not In List");
      EXPECT_EQ(boxes_->shown[0].style, mb::kCritical);
    }
  }
}

TEST_F(ValidationTest, HostAnswersToNotInList) {
  struct Case {
    int response;
    bool refused;
    bool message;
  };
  const Case cases[] = {
      {Q::orvqcDataErrContinue, false, false},
      {Q::orvqcDataErrDisplay, true, true},
      {Q::orvqcDataErrKeepFocus, true, false},
      {7, true, true},  // an answer outside the list: the message is shown
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.response);
    boxes_->shown.clear();
    Form<QCombo> f;
    AddCollieries(*f.combo);
    f.combo->SetNotInListOption(Q::orvqcRaiseEvent);
    QString seen;
    QObject::connect(f.combo, &Q::NotInList, [&](QString& data, int& response) {
      seen = data;
      EXPECT_EQ(response, Q::orvqcDataErrDisplay);
      response = c.response;
    });
    f.combo->SetText(QStringLiteral("Wistow"));
    EXPECT_EQ(f.combo->ForceValidate(), c.refused);
    EXPECT_EQ(seen, "Wistow");
    EXPECT_EQ(boxes_->shown.size(), c.message ? 1u : 0u);
  }
}

TEST_F(ValidationTest, HostThatAddsTheItemLetsTheFocusGoWithTheItemSelected) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.combo->SetNotInListOption(Q::orvqcRaiseEvent);
  QObject::connect(f.combo, &Q::NotInList, [&f](QString& data, int& response) {
    f.combo->AddItemExtended(data, 99);
    response = Q::orvqcDataErrAdded;
  });
  f.FocusCombo();
  QTest::keyClicks(f.cbo(), "Wistow");
  f.other->setFocus(Qt::TabFocusReason);

  EXPECT_EQ(QApplication::focusWidget(), f.other);
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_EQ(f.combo->List(f.combo->ListIndex()), "Wistow");
  EXPECT_EQ(f.combo->BoundID(), 99);
}

TEST_F(ValidationTest, EmptyTextRefusedWhateverTheOptionWhenNotAllowed) {
  for (int option = Q::orvqcIgnore; option <= Q::orvqcRaiseEvent; ++option) {
    SCOPED_TRACE(option);
    boxes_->shown.clear();
    Form<QCombo> f;
    AddCollieries(*f.combo);
    f.combo->SetAllowEmpty(false);
    f.combo->SetNotInListOption(static_cast<Q::orvQCNotInListConstants>(option));
    EXPECT_TRUE(f.combo->ForceValidate());
    EXPECT_EQ(f.combo->OkayToLeave(), Q::orvEmptyNotAllowed);
    ASSERT_EQ(boxes_->shown.size(), 1u);
    EXPECT_EQ(boxes_->shown[0].prompt, "You must enter something");
    EXPECT_EQ(boxes_->shown[0].title, "Blank not allowed");
    EXPECT_EQ(boxes_->shown[0].style, mb::kCritical);
  }
  Form<QCombo> allowed;
  EXPECT_FALSE(allowed.combo->ForceValidate());
}

TEST_F(ValidationTest, OnlyTheFirstPlaceholderIsReplaced) {
  Form<QCombo> f;
  f.combo->SetNotInListOption(Q::orvqcMsgContinue);
  f.combo->SetNotInListMsg(QStringLiteral("%T: %T is unknown"));
  f.combo->SetText(QStringLiteral("Wistow"));
  EXPECT_FALSE(f.combo->ForceValidate());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt, "Wistow: %T is unknown");
}

TEST_F(ValidationTest, RefusalKeepsTheFocusWithoutANewArrival) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.combo->SetNotInListOption(Q::orvqcMsgKeepFocus);
  f.FocusCombo();
  QTest::keyClicks(f.cbo(), "Wistow");
  f.other->setFocus(Qt::TabFocusReason);

  EXPECT_EQ(QApplication::focusWidget(), f.cbo());
  EXPECT_EQ(boxes_->shown.size(), 1u);
  EXPECT_TRUE(f.combo->ValidateFired());
  EXPECT_EQ(f.combo->OkayToLeave(), Q::orvNotInList);
  EXPECT_EQ(f.cbo()->currentText(), "Wistow");
}

TEST_F(ValidationTest, ValidateDataHasTheLastWord) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.combo->SetNotInListOption(Q::orvqcKeepFocus);
  bool offered = false;
  QObject::connect(f.combo, &Q::ValidateData, [&offered](bool& cancel) {
    offered = cancel;
    cancel = false;
  });
  f.FocusCombo();
  QTest::keyClicks(f.cbo(), "Wistow");
  f.other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(offered);
  EXPECT_EQ(QApplication::focusWidget(), f.other);
}

// A second combo that is handed the focus while the first refuses to let go never saw the
// focus arrive, so it must not validate its own (empty, not allowed) text.
TEST_F(ValidationTest, RefusalDoesNotSetOffTheControlThatWouldHaveTakenTheFocus) {
  Form<QCombo> f;
  auto* second = new QNSCombo(&f.window);
  second->show();
  second->SetAllowEmpty(false);
  f.combo->SetNotInListOption(Q::orvqcKeepFocus);
  f.FocusCombo();
  QTest::keyClicks(f.cbo(), "Wistow");
  second->Combo()->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(QApplication::focusWidget(), f.cbo());
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_FALSE(second->ValidateFired());
}

TEST_F(ValidationTest, BoundIdSelectsByDataValue) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.combo->SetBoundID(20);
  EXPECT_EQ(f.combo->Text(), "Barnsley");
  EXPECT_EQ(f.combo->BoundID(), 20);

  f.combo->SetBoundID(77);  // carried by no item
  EXPECT_EQ(f.combo->ListIndex(), -1);
  EXPECT_EQ(f.combo->BoundID(), 0);
  f.combo->SetBoundID(10);
  f.combo->SetBoundID(0);
  EXPECT_EQ(f.combo->ListIndex(), -1);
}

TEST_F(ValidationTest, BoundIdWrittenWhileDesigningFails) {
  Form<QCombo> f;
  f.combo->SetRunMode(false);
  try {
    f.combo->SetBoundID(1);
    FAIL() << "no error";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), err::kSetNotPermitted);
    EXPECT_EQ(e.Description(), "Set not permitted");
  }
}

TEST_F(ValidationTest, DataBindingMayRefuseAChange) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  QObject::connect(f.combo, &Q::CanPropertyChange,
                   [](const QString& name, bool& allow) { allow = name != "Text"; });
  f.combo->SetText(QStringLiteral("Abbey"));
  EXPECT_EQ(f.cbo()->currentText(), "");
  f.combo->SetBoundID(10);
  EXPECT_EQ(f.cbo()->currentText(), "Abbey");
}

}  // namespace
}  // namespace orv::test
