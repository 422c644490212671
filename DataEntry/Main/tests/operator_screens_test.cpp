// For a person to look at, not for the test run: an operator's round on a
// real display with a window manager, driven by keys, with a picture of the
// whole screen at each step (title bars and window placement included).
// Runs only when TARNBY_SCREENSHOT_DIR names a folder and the program has a
// display of its own (the xcb platform), for example:
//   xvfb-run -s '-screen 0 1280x1024x24' sh -c
//     'openbox & sleep 1; TARNBY_SCREENSHOT_DIR=build/shots
//      build/bin/tarnby_main_tests --gtest_filter=OperatorScreens*'
// (one shell command, on one line).
#include "MainFormFixture.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <cstdlib>

#include "frmAbout.h"
#include "frmFactorOverride.h"
#include "frmOptions.h"
#include "frmSearch.h"

namespace orv::tarnby::test {
namespace {

class OperatorScreens : public MainFormTest {
 protected:
  void SetUp() override {
    dir_ = std::getenv("TARNBY_SCREENSHOT_DIR");
    if (!dir_ || QGuiApplication::platformName() != QStringLiteral("xcb")) {
      GTEST_SKIP() << "needs TARNBY_SCREENSHOT_DIR and a display with a window manager";
    }
    MainFormTest::SetUp();
  }

  // The whole screen once the window manager has placed and drawn things.
  void Shot(const char* name) {
    QTest::qWait(400);
    QApplication::processEvents();
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    EXPECT_TRUE(screen.save(QString::fromUtf8(dir_) + "/" + name + ".png")) << name;
  }

  // Keys as the operator presses them, to whatever has the focus.
  static void Keys(const QString& text) {
    QTest::keyClicks(QApplication::focusWidget(), text);
  }
  static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QApplication::processEvents();
  }

  const char* dir_ = nullptr;
};

TEST_F(OperatorScreens, ARoundOfEntryByKeyboard) {
  frmMAIN& f = LoadForm();
  Shot("01-first-start");
  // Centred frame and all: the window manager's title bar and borders count.
  const QRect frame = f.frameGeometry();
  const QRect area = f.screen()->availableGeometry();
  EXPECT_NE(frame, f.geometry()) << "no frame: is a window manager running?";
  EXPECT_LE(std::abs((frame.left() - area.left()) - (area.right() - frame.right())), 1);
  EXPECT_LE(std::abs((frame.top() - area.top()) - (area.bottom() - frame.bottom())), 1);

  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  OpenTab(frmMAIN::kClaimantTab);
  Shot("02-claimant");

  OpenTab(frmMAIN::kWorkTab);
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  // A small mine typed and left with Tab.
  Ui::WorkTab& w = f.Tab1().Form();
  w.cmdWorkAdd->click();
  Keys(QStringLiteral("Small"));
  Key(Qt::Key_Tab);
  Shot("03-small-mine-typed");
  Keys(QStringLiteral("Hob Drift"));
  boxes_->answers = {mb::kYes};  // yes, cancel adding it
  w.cmdWorkCancel->click();
  QApplication::processEvents();

  // An overlapping job: the warning at save (the scripted box records it;
  // the screen shows the entry the operator goes back to).
  boxes_->default_answer = mb::kNo;
  AddJob(QStringLiteral("Bexley"), QStringLiteral("1960"), QStringLiteral("1968"),
         QStringLiteral("Haul"), QStringLiteral("No resp"));
  Shot("04-overlap-back-to-entry");
  boxes_->answers = {mb::kYes};
  w.cmdWorkSave->click();
  boxes_->default_answer = mb::kOk;
  f.resize(1200, 700);
  w.fgWork->setFocus(Qt::TabFocusReason);
  Shot("05-work-grid-wide");

  OpenTab(frmMAIN::kSmokeTab);
  Ui::SmokeTab& s = f.Tab2().Form();
  s.cmdSmokeAdd->click();
  Keys(QStringLiteral("L"));
  s.optSmokeYears->click();
  s.meSmokeStart->setFocus(Qt::TabFocusReason);
  Keys(QStringLiteral("1950"));
  s.meSmokeEnd->setFocus(Qt::TabFocusReason);
  Keys(QStringLiteral("1980"));
  s.cmdSmokeSave->click();
  f.Tab2().SelectRow(0);
  Shot("06-smoking-years");

  Key(Qt::Key_PageDown, Qt::ControlModifier);
  f.Tab3().Form().cmdCalc->click();
  Shot("07-refused-calculation");

  f.SetOutputOption(2);
  Shot("08-calculation-no-screen-output");
  f.SetOutputOption(0);

  QMenu* view = f.Form().mnuView;
  view->popup(f.mapToGlobal(QPoint(60, 30)));
  Shot("09-view-menu");
  view->close();

  {
    tarnby::frmSearch search(&f);
    search.show();
    Shot("10-search");
  }
  {
    tarnby::frmAbout about(tarnby::AboutInfo{"1.0", "48"}, &f);
    about.show();
    Shot("11-about");
  }
  {
    tarnby::frmOptions options(&f);
    options.show();
    Shot("12-options");
  }
  {
    tarnby::frmFactorOverride factors(ClaimantDatabase, &f);
    factors.show();
    Shot("13-factors-browsing");
    factors.Form().cmdNew->click();
    Shot("14-factors-entering");
    factors.Form().cmdCancel->click();
  }
  f.Form().sstabCoal->setCurrentIndex(frmMAIN::kClaimantTab);
  Shot("15-claimant-after-calculation");
}

}  // namespace
}  // namespace orv::tarnby::test
