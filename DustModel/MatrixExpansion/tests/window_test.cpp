// The expansion run inside a program with a QApplication: the progress
// window comes up, follows the run and goes again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdlib>
#include <string>

#include "Component.h"
#include "DustDataPassword.h"
#include "IMakeMatrix.h"
#include "Registry.h"
#include "TestDb.h"

namespace orv::dustm {
namespace {

const std::string kCollieries = test::BaseWith("collieries.csv", "101,Ashgrove,1,1950,1970,,\n");
const char* const kSurveys =
    "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n101,SURVEY,1960,1960,2\n";

TEST(ProgressWindowTest, TheRunShowsItsWindowAndTakesItDownAgain) {
  if (const char* bin = std::getenv("TARNBY_BIN_DIR")) setenv("ORV_COMPONENT_PATH", bin, 1);
  int argc = 1;
  char name[] = "orvdustm_window_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  test::TempDir dir;
  const std::string path =
      test::BuildDb(dir, {{"collieries.csv", kCollieries}, {"surveys.csv", kSurveys}});

  // The window lets events through while the run holds the thread, so a
  // timer set now looks at it mid-run.
  bool seen = false;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || w->windowTitle() != "Creating dust matrix") continue;
      for (QLabel* label : w->findChildren<QLabel*>()) {
        seen = seen || label->text().startsWith("The system is creating tables of interpolated");
      }
    }
  });
  ComponentPtr component = CreateObject("OrvDustM.MakeMatrix");
  auto make = As<IMakeMatrix>(component);
  ASSERT_TRUE(make);
  ASSERT_TRUE(make->MakeMatrix(path, kDustDataPassword, 1940, 2030, 1947, 1990));
  EXPECT_TRUE(seen);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(w->isVisible()) << w->windowTitle().toStdString();
  }
}

}  // namespace
}  // namespace orv::dustm
