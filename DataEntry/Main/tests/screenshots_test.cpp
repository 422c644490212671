// For a person to look at, not for the test run: pictures of the main form's
// tabs on the sample data (only when TARNBY_SCREENSHOT_DIR names a folder and
// TARNBY_SAMPLE_INI a settings file naming the sample databases), and the
// times an operator waits on a large claimant database (below).
#include "MainFormFixture.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "SyntheticClaimants.h"
#include "frmFactorOverride.h"

namespace orv::tarnby::test {
namespace {

TEST(Screenshots, EachTabOnTheSampleData) {
  const char* dir = std::getenv("TARNBY_SCREENSHOT_DIR");
  const char* ini = std::getenv("TARNBY_SAMPLE_INI");
  if (!dir || !ini) GTEST_SKIP() << "TARNBY_SCREENSHOT_DIR and TARNBY_SAMPLE_INI not set";
  (void)TestHome();
  SettingsFile = ini;
  ASSERT_TRUE(ReadSettings(SettingsFile));
  ASSERT_TRUE(SetupDatabase());
  frmMAIN form;
  form.Load();
  ASSERT_FALSE(EngineSetupFailed);
  form.resize(1000, 680);
  form.show();
  QApplication::setActiveWindow(&form);
  // The second claimant has work and smoking histories in the sample.
  form.Form().datClaimant->findChildren<QToolButton*>()[2]->click();
  const char* names[] = {"tab0-claimant", "tab1-employment", "tab2-smoking", "tab3-calculation"};
  for (int tab = 0; tab < 4; ++tab) {
    form.Form().sstabCoal->setCurrentIndex(tab);
    if (tab == frmMAIN::kWorkTab) form.Tab1().SelectRow(0);
    if (tab == frmMAIN::kCalcTab) form.Tab3().Form().cmdCalc->click();
    QApplication::processEvents();
    EXPECT_TRUE(form.grab().save(QString::fromUtf8(dir) + "/" + names[tab] + ".png"));
  }
  // The View menu with its output choices and the exposure chart entry.
  form.Form().mnuView->popup(form.mapToGlobal(QPoint(40, 24)));
  QApplication::processEvents();
  EXPECT_TRUE(form.Form().mnuView->grab().save(QString::fromUtf8(dir) + "/view-menu.png"));
  form.Form().mnuView->hide();
  form.Form().sstabCoal->setCurrentIndex(frmMAIN::kWorkTab);
  form.Tab1().Form().cmdWorkEdit->click();
  QApplication::processEvents();
  EXPECT_TRUE(form.grab().save(QString::fromUtf8(dir) + "/tab1-editing.png"));
  form.Tab1().Form().cmdWorkCancel->click();
  {
    tarnby::frmFactorOverride factors(ClaimantDatabase);
    factors.show();
    factors.Form().cmdEdit->click();
    QApplication::processEvents();
    EXPECT_TRUE(factors.grab().save(QString::fromUtf8(dir) + "/factors-editing.png"));
    factors.Form().cmdCancel->click();
  }
  form.close();
  CloseClaimantDatabase();
}

}  // namespace
}  // namespace orv::tarnby::test

namespace orv::tarnby::test {
namespace {

// How long the operator waits on a large claimant database: prints the
// times of the form's load, moving to the last claimant and opening his
// employment history. Runs only when TARNBY_MEASURE_CLAIMANTS gives a count
// (a measurement, not a test: nothing is asserted about the times).
TEST(Measurements, MainFormOnALargeClaimantDatabase) {
  const char* count = std::getenv("TARNBY_MEASURE_CLAIMANTS");
  if (!count) GTEST_SKIP() << "TARNBY_MEASURE_CLAIMANTS not set";
  const fs::path db = TestHome() / "large.db";
  fs::remove(db);
  CreateClaimantDatabase(db.string());
  claimcalc::SyntheticOptions options;
  options.claimants = std::atoll(count);
  claimcalc::GenerateClaimants(db.string(), DustDatabasePath(), options);
  SetDefaultSettings();
  Settings.Database = db.string();
  Settings.DustDatabase = DustDatabasePath();
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(SetupDatabase());
  const qint64 setup = t.restart();
  frmMAIN form;
  form.Load();
  form.show();
  const qint64 load = t.restart();
  form.Form().datClaimant->findChildren<QToolButton*>()[3]->click();
  const qint64 last = t.restart();
  form.Form().sstabCoal->setCurrentIndex(frmMAIN::kWorkTab);
  const qint64 tab = t.restart();
  std::printf(
      "claimants %s: SetupDatabase %lld ms, form load %lld ms, last claimant %lld ms, "
      "employment tab %lld ms; caption \"%s\"\n",
      count, static_cast<long long>(setup), static_cast<long long>(load),
      static_cast<long long>(last), static_cast<long long>(tab),
      form.Form().datClaimant->Caption().toStdString().c_str());
  form.close();
  CloseClaimantDatabase();
  fs::remove(db);
}

}  // namespace
}  // namespace orv::tarnby::test
