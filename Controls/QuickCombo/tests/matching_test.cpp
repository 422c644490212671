// Typing into the combo: completion against the list, keys that never complete, and the list
// check that finds a text typed in another letter case.
#include <QLineEdit>
#include <QTest>

#include "ComboFixture.h"

namespace orv::test {
namespace {

using MatchingTest = ComboTest;

TEST_F(MatchingTest, CompletesToFirstItemAndSelectsTheRemainder) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.FocusCombo();

  QTest::keyClicks(f.cbo(), "b");
  EXPECT_EQ(f.cbo()->currentText(), "Barnsley");
  EXPECT_EQ(f.combo->SelText(), "arnsley");
  EXPECT_EQ(f.combo->SelStart(), 1);
  EXPECT_EQ(f.combo->ListIndex(), 1);

  // The next letter replaces the selected remainder.
  QTest::keyClicks(f.cbo(), "e");
  EXPECT_EQ(f.cbo()->currentText(), "Bentley");
  EXPECT_EQ(f.combo->SelText(), "ntley");
  EXPECT_EQ(f.combo->BoundID(), 30);
}

TEST_F(MatchingTest, FirstMatchFollowsTheOrderOfEachList) {
  Form<QCombo> sorted;
  Form<QNSCombo> unsorted;
  AddCollieries(*sorted.combo);
  AddCollieries(*unsorted.combo);

  EXPECT_EQ(sorted.combo->List(0), "Abbey");
  EXPECT_EQ(unsorted.combo->List(0), "Bentley");
  sorted.FocusCombo();
  QTest::keyClicks(sorted.cbo(), "B");
  EXPECT_EQ(sorted.cbo()->currentText(), "Barnsley");
  unsorted.FocusCombo();
  QTest::keyClicks(unsorted.cbo(), "B");
  EXPECT_EQ(unsorted.cbo()->currentText(), "Bentley");
  EXPECT_EQ(unsorted.combo->SelText(), "entley");
}

TEST_F(MatchingTest, LetterNoItemStartsWithStaysAsTypedAndDeselects) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.FocusCombo();
  f.combo->SetBoundID(20);
  f.combo->Combo()->lineEdit()->selectAll();

  QTest::keyClicks(f.cbo(), "x");
  EXPECT_EQ(f.cbo()->currentText(), "x");
  EXPECT_EQ(f.combo->SelStart(), 1);
  EXPECT_EQ(f.combo->SelLength(), 0);
  EXPECT_EQ(f.combo->ListIndex(), -1);

  EXPECT_FALSE(f.combo->ForceValidate());  // orvqcIgnore lets it go
  EXPECT_EQ(f.combo->OkayToLeave(), QuickCombo::orvNotInList);
  EXPECT_EQ(f.combo->BoundID(), 0);
}

// Each key, pressed with "Ba" in the box and the caret at its end, would complete the text to
// Barnsley if it were allowed to.
TEST_F(MatchingTest, EditingAndShiftKeysNeverComplete) {
  struct Case {
    Qt::Key key;
    const char* text_after;
  };
  const Case cases[] = {
      {Qt::Key_Backspace, "B"}, {Qt::Key_Delete, "Ba"}, {Qt::Key_Left, "Ba"},
      {Qt::Key_Right, "Ba"},    {Qt::Key_Home, "Ba"},   {Qt::Key_Shift, "Ba"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    Form<QCombo> f;
    AddCollieries(*f.combo);
    f.FocusCombo();
    f.cbo()->lineEdit()->setText(QStringLiteral("Ba"));
    QTest::keyClick(f.cbo(), c.key);
    EXPECT_EQ(f.cbo()->currentText(), c.text_after);
    EXPECT_EQ(f.combo->SelLength(), 0);
  }
}

// Typing over the text of a selected item leaves no item selected, even by a key that does
// not complete, so the bound identifier cannot outlive its text.
TEST_F(MatchingTest, ErasingTheTextOfASelectedItemDeselectsIt) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.combo->SetBoundID(20);
  f.FocusCombo();  // selects the whole text
  QTest::keyClick(f.cbo(), Qt::Key_Backspace);
  EXPECT_EQ(f.cbo()->currentText(), "");
  EXPECT_EQ(f.combo->ListIndex(), -1);
  EXPECT_EQ(f.combo->BoundID(), 0);
}

TEST_F(MatchingTest, FullNameInAnotherCaseIsFoundOnLeaving) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.FocusCombo();
  f.cbo()->lineEdit()->setText(QStringLiteral("barnsley"));  // pasted, not typed

  f.other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(QApplication::focusWidget(), f.other);
  EXPECT_EQ(f.combo->OkayToLeave(), QuickCombo::orvOkay);
  EXPECT_EQ(f.combo->ListIndex(), 1);
  EXPECT_EQ(f.combo->Text(), "Barnsley");
  EXPECT_EQ(f.combo->BoundID(), 20);
}

TEST_F(MatchingTest, HostCanCancelOrReplaceATypedCharacter) {
  Form<QNSCombo> f;
  AddCollieries(*f.combo);
  QObject::connect(f.combo, &QuickCombo::KeyPress, [](int& key_ascii) {
    if (key_ascii == 'q') key_ascii = 0;
    if (key_ascii == 'a') key_ascii = 'B';
  });
  f.FocusCombo();
  QTest::keyClicks(f.cbo(), "qa");
  EXPECT_EQ(f.cbo()->currentText(), "Bentley");
  EXPECT_EQ(f.combo->SelText(), "entley");
}

TEST_F(MatchingTest, FocusArrivingSelectsTheWholeText) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  f.combo->SetBoundID(10);
  f.FocusCombo();
  EXPECT_EQ(f.combo->SelText(), "Abbey");
  EXPECT_FALSE(f.combo->ValidateFired());
}

TEST_F(MatchingTest, KeyUpReportsTheBoundPropertyAsChanged) {
  Form<QCombo> f;
  AddCollieries(*f.combo);
  QStringList changed;
  QObject::connect(f.combo, &QuickCombo::PropertyChanged,
                   [&changed](const QString& name) { changed << name; });
  f.combo->SetBindMode(QuickCombo::orvBindID);
  EXPECT_EQ(f.combo->BoundPropertyName(), "BoundID");
  f.FocusCombo();
  QTest::keyClick(f.cbo(), Qt::Key_A);
  EXPECT_EQ(changed, QStringList({"BindMode", "BoundID"}));
}

}  // namespace
}  // namespace orv::test
