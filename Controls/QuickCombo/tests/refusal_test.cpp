// Refusal means refusal: a button clicked (or reached by its shortcut) while a combo refuses to
// let the focus go does not act; a button marked as not causing validation takes the focus
// without the check and acts.
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "CausesValidation.h"
#include "ComboFixture.h"

namespace orv::test {
namespace {

using RefusalTest = ComboTest;

struct ButtonForm : Form<QCombo> {
  QPushButton* save;
  QPushButton* cancel;
  int saved = 0;
  int cancelled = 0;

  ButtonForm() {
    save = new QPushButton(QStringLiteral("&Save"), &window);
    cancel = new QPushButton(QStringLiteral("&Cancel"), &window);
    window.layout()->addWidget(save);
    window.layout()->addWidget(cancel);
    SetCausesValidation(cancel, false);
    QObject::connect(save, &QPushButton::clicked, [this] { ++saved; });
    QObject::connect(cancel, &QPushButton::clicked, [this] { ++cancelled; });
    AddCollieries(*combo);
    combo->SetNotInListOption(QuickCombo::orvqcMsgKeepFocus);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }

  // A real click through the window system: press and release over the button's middle.
  void Click(QPushButton* button) {
    const QPoint at = button->mapTo(&window, button->rect().center());
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
  }

  void TypeIntoCombo(const QString& text) {
    FocusCombo();
    combo->SetText(text);
  }
};

TEST_F(RefusalTest, ClickedButtonDoesNotActWhileTheComboRefuses) {
  ButtonForm f;
  f.TypeIntoCombo(QStringLiteral("Wistow"));
  f.Click(f.save);
  EXPECT_EQ(f.saved, 0);
  EXPECT_TRUE(f.cbo()->hasFocus());
  EXPECT_FALSE(f.save->isDown());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt, "Wistow is not in the list");

  // Once the text is a list member, the same click saves, and the next one saves again.
  f.combo->SetText(QStringLiteral("Abbey"));
  f.Click(f.save);
  EXPECT_EQ(f.saved, 1);
  f.Click(f.save);
  EXPECT_EQ(f.saved, 2);
}

TEST_F(RefusalTest, ShortcutOfARefusedButtonDoesNotAct) {
  ButtonForm f;
  f.TypeIntoCombo(QStringLiteral("Wistow"));
  QTest::keyClick(f.window.windowHandle(), Qt::Key_S, Qt::AltModifier);
  // A shortcut's click starts by pressing the button down; a refused one never does.
  EXPECT_FALSE(f.save->isDown());
  EXPECT_EQ(f.saved, 0);
  EXPECT_TRUE(f.cbo()->hasFocus());
  ASSERT_EQ(boxes_->shown.size(), 1u);

  // The shortcut of a button that does not cause validation goes through at once.
  QTest::keyClick(f.window.windowHandle(), Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(f.cancel->isDown());
}

TEST_F(RefusalTest, ButtonNotCausingValidationActsWithoutTheCheck) {
  ButtonForm f;
  f.TypeIntoCombo(QStringLiteral("Wistow"));
  f.Click(f.cancel);
  EXPECT_EQ(f.cancelled, 1);
  EXPECT_TRUE(f.cancel->hasFocus());
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_FALSE(f.combo->ValidateFired());
}

TEST_F(RefusalTest, MarkIsADynamicPropertyDefaultingToTrue) {
  QPushButton b;
  EXPECT_TRUE(CausesValidation(&b));
  b.setProperty(kCausesValidationProperty, false);
  EXPECT_FALSE(CausesValidation(&b));
  SetCausesValidation(&b, true);
  EXPECT_TRUE(CausesValidation(&b));
}

}  // namespace
}  // namespace orv::test
