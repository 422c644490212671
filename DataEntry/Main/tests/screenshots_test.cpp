// Pictures of the main form's tabs on the sample data, for a person to look
// at: runs only when TARNBY_SCREENSHOT_DIR names a folder and
// TARNBY_SAMPLE_INI a settings file naming the sample databases.
#include "MainFormFixture.h"

#include <QPixmap>
#include <cstdlib>

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
  form.Form().sstabCoal->setCurrentIndex(frmMAIN::kWorkTab);
  form.Tab1().Form().cmdWorkEdit->click();
  QApplication::processEvents();
  EXPECT_TRUE(form.grab().save(QString::fromUtf8(dir) + "/tab1-editing.png"));
  form.Tab1().Form().cmdWorkCancel->click();
  form.close();
  CloseClaimantDatabase();
}

}  // namespace
}  // namespace orv::tarnby::test
