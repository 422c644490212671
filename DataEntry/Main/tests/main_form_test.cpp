#include "MainFormFixture.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>

#include "HistoryLoader.h"

namespace orv::tarnby::test {
namespace {

QString Caption(frmMAIN& f) { return f.Form().datClaimant->Caption(); }

Value ClaimantField(const char* field, int id = 1) {
  db::RecordsetPtr rs =
      ClaimantDatabase->OpenRecordset(std::string("SELECT ") + field + " FROM CLAIMANT WHERE ID=?",
                                      db::RecordsetType::Snapshot, {Value(id)});
  return rs->IsEOF() ? Value() : rs->Field(0);
}

TEST_F(MainFormTest, WithoutClaimantsOnlyTheDetailsTabOpens) {
  frmMAIN& f = LoadForm();
  EXPECT_EQ(Caption(f), "No Records - Click Add");
  EXPECT_FALSE(f.Tab0().Form().fraClaimant->isEnabled());
  for (int tab : {frmMAIN::kWorkTab, frmMAIN::kSmokeTab, frmMAIN::kCalcTab}) {
    OpenTab(tab);
    EXPECT_EQ(f.Form().sstabCoal->currentIndex(), frmMAIN::kClaimantTab);
  }
  EXPECT_EQ(f.HelpTopic(), 1100);
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
}

TEST_F(MainFormTest, NewClaimantIsSavedOnLeavingTheTabAndNamesAreJoined) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Hollins"));
  EXPECT_EQ(f.Form().sstabCoal->currentIndex(), frmMAIN::kWorkTab);
  EXPECT_EQ(Caption(f), "Record: 1 of 1");
  EXPECT_EQ(ClaimantField("SURNAME").TextOrEmpty(), "Hollins");
  EXPECT_EQ(f.HelpTopic(), 1200);
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kNoEntries);

  OpenTab(frmMAIN::kClaimantTab);
  Ui::ClaimantTab& t = f.Tab0().Form();
  t.txtAddressee->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(t.txtAddressee->text(), "Mr John Hollins");
  t.txtSalutation->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(t.txtSalutation->text(), "Mr Hollins");
  // A filled box is left as it is.
  TypeInto(t.txtAddressee, QStringLiteral("J. Hollins Esq."));
  t.txtSalutation->setFocus(Qt::TabFocusReason);
  t.txtAddressee->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(t.txtAddressee->text(), "J. Hollins Esq.");
  OpenTab(frmMAIN::kSmokeTab);
  EXPECT_EQ(ClaimantField("ADDRESSEE").TextOrEmpty(), "J. Hollins Esq.");
}

TEST_F(MainFormTest, SurnameSearchFiltersAndSaysSo) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Hollins"));
  OpenTab(frmMAIN::kClaimantTab);
  AddClaimant(QStringLiteral("Harper"));
  OpenTab(frmMAIN::kClaimantTab);
  AddClaimant(QStringLiteral("Wood"));
  OpenTab(frmMAIN::kClaimantTab);
  EXPECT_EQ(Caption(f), "Record: 3 of 3");

  SearchName = "H*";
  f.ApplySearch();
  EXPECT_EQ(qdclaimant->Parameter("WHATREF").TextOrEmpty(), "*");
  EXPECT_EQ(qdclaimant->Parameter("WHATZURIR").TextOrEmpty(), "*");
  EXPECT_EQ(Caption(f), "Filtered record: 1 of 2");

  SearchName = "Nobody*";
  f.ApplySearch();
  EXPECT_EQ(Caption(f), "No Records - Click Add or Clear Search");
  SearchName.clear();
  f.ApplySearch();
  EXPECT_EQ(Caption(f), "Record: 1 of 3");
}

TEST_F(MainFormTest, DeletingAClaimantAsksFirst) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Hollins"));
  OpenTab(frmMAIN::kClaimantTab);
  boxes_->answers = {mb::kNo};
  f.DeleteClaimant();
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt,
            "Are you sure you want to delete this record\n\nDelete claimant John Hollins and his "
            "histories?");
  EXPECT_EQ(boxes_->shown[0].title, "Delete Entry");
  EXPECT_EQ(Caption(f), "Record: 1 of 1");
  OpenTab(frmMAIN::kWorkTab);
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  ASSERT_EQ(f.Tab1().Grid().Count(), 1) << Boxes();
  OpenTab(frmMAIN::kClaimantTab);
  boxes_->answers = {mb::kYes};
  f.DeleteClaimant();
  EXPECT_EQ(Caption(f), "No Records - Click Add") << Boxes();
  // His history went with him.
  db::RecordsetPtr rs = ClaimantDatabase->OpenRecordset("SELECT COUNT(*) FROM WORKHISTORY",
                                                        db::RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsInt32(), 0);
}

// A report on the calculation tab belongs to the claimant it was calculated
// for: moving to another claimant, or deleting him, leaves no report there
// that would read as the next one's.
TEST_F(MainFormTest, AReportLeavesTheCalculationTabWithItsClaimant) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Hollins"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  AddClaimant(QStringLiteral("Quarrington"), QStringLiteral("Joseph"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  OpenTab(frmMAIN::kCalcTab);
  f.Tab3().Form().cmdCalc->click();
  ASSERT_TRUE(f.Tab3().Output().contains(QStringLiteral("Quarrington"))) << Boxes();
  // Still his after the result was stored.
  f.Tab3().Form().cmdCalc->click();
  EXPECT_TRUE(f.Tab3().Output().contains(QStringLiteral("Quarrington")));

  emit f.Form().datClaimant->MoveRequested(RecordControl::Move::kFirst);
  EXPECT_EQ(Caption(f), "Record: 1 of 2");
  EXPECT_TRUE(f.Tab3().Output().isEmpty()) << f.Tab3().Output().left(80).toStdString();

  emit f.Form().datClaimant->MoveRequested(RecordControl::Move::kLast);
  f.Tab3().Form().cmdCalc->click();
  ASSERT_TRUE(f.Tab3().Output().contains(QStringLiteral("Quarrington")));
  boxes_->answers = {mb::kYes};
  f.DeleteClaimant();
  EXPECT_EQ(Caption(f), "Record: 1 of 1") << Boxes();
  EXPECT_TRUE(f.Tab3().Output().isEmpty()) << f.Tab3().Output().left(80).toStdString();
}

class UserFactorRows : public MainFormTest {
 protected:
  void PrepareDatabase() override {
    Exec(
        "INSERT INTO CLAIMANT (SURNAME, FIRSTNAME, CALCDATE, ENGINEVERSION, DUSTDATAVERSION, "
        "RECOVERABLEQUANTUM) VALUES ('Platt', 'Ann', '2020-01-01 10:00:00', '1.0.0', '48', 12.5)");
    Exec(
        "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR, DUSTYTIMEFACTOR, RESPFACTOR, "
        "STARTYEAR, ENDYEAR, STARTYEARVAL, ENDYEARVAL, YEARSPASTCLOSURE) VALUES "
        "(10000, 'OWN', 'Own factor', 0.8, 0.5, 10, 1970, 1980, 1, 1, 0)");
    Exec(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR, PITNAME) VALUES (1, 101, 10000, 10000, 1960, 1965, NULL)");
    Exec(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR, PITNAME) VALUES (1, 102, 10007, 10007, 1966, 1970, NULL)");
  }
};

TEST_F(UserFactorRows, ListedWithTheirTextsAndAMissingOneAsAPlaceholder) {
  frmMAIN& f = LoadForm();
  dust::UserFactor own;
  own.Descr = "Own factor";
  own.JobFactor = 0.8f;
  own.DustyTimeFactor = 0.5f;
  own.RespFactor = 10;
  const QString job_text = QString::fromStdString(dust::FactorListText(dust::UserFactorJobText(own)));
  EXPECT_TRUE(job_text.contains(QStringLiteral("non CHA 0.8 @"))) << job_text.toStdString();
  Ui::WorkTab& w = f.Tab1().Form();
  const int index = w.qcboJobFactor->Combo()->findText(job_text);
  ASSERT_GE(index, 0) << job_text.toStdString();
  EXPECT_EQ(w.qcboJobFactor->ItemData(index), 10000);
  EXPECT_GE(
      w.qcboRespFactor->Combo()->findText(
          QString::fromStdString(dust::FactorListText(dust::UserFactorRespText(own)))),
      0);
  EXPECT_TRUE(f.Form().mnuToolsUserFactors->isVisible());
  Settings.AllowUserDefine = false;
  f.LoadFactorCombos();
  EXPECT_FALSE(f.Form().mnuToolsUserFactors->isVisible());
  // The factors stay in the lists: the setting only governs editing them.
  EXPECT_GE(w.qcboJobFactor->Combo()->findText(job_text), 0);

  OpenTab(frmMAIN::kWorkTab);
  HistoryGridModel& grid = f.Tab1().Grid();
  ASSERT_EQ(grid.Count(), 2);
  EXPECT_EQ(grid.Text(0, 4), job_text);
  EXPECT_EQ(grid.Text(1, 4), "Missing user defined factor");
  EXPECT_EQ(grid.Text(1, 5), "Missing user defined factor");
  EXPECT_EQ(f.Engine().jobs->Item("ID2")->JobFactorCode(), "??");
  EXPECT_EQ(grid.data(grid.index(0, 0)).toString(), "->");
}

TEST_F(UserFactorRows, SavingAnEntryClearsTheStoredResult) {
  frmMAIN& f = LoadForm();
  // In the user's own way of writing dates.
  EXPECT_EQ(f.Tab0().Form().txtCalcDate->text(),
            QLocale().toString(QDateTime(QDate(2020, 1, 1), QTime(10, 0)), QLocale::ShortFormat));
  EXPECT_EQ(f.Tab0().Form().txtQuantumPercent->text(), "12.50");
  OpenTab(frmMAIN::kWorkTab);
  Ui::WorkTab& w = f.Tab1().Form();
  f.Tab1().SelectRow(1);
  w.cmdWorkEdit->click();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kEditing);
  EXPECT_FALSE(f.Form().sstabCoal->tabBar()->isEnabled());
  // The user factor job wants the same factor for the respirator.
  w.qcboJobFactor->SetBoundID(10000);
  w.qcboRespFactor->SetBoundID(1);
  w.cmdWorkSave->click();
  ASSERT_EQ(boxes_->shown.size(), 1u) << Boxes();
  EXPECT_EQ(boxes_->shown[0].prompt,
            "When using user defined factors the same factor choice (by name) must be used "
            "for the Job and Respirator factors");
  EXPECT_FALSE(ClaimantField("CALCDATE").IsNull());

  w.qcboRespFactor->SetBoundID(10000);
  w.cmdWorkSave->click();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing) << Boxes();
  EXPECT_TRUE(ClaimantField("CALCDATE").IsNull());
  EXPECT_TRUE(ClaimantField("RECOVERABLEQUANTUM").IsNull());
  OpenTab(frmMAIN::kClaimantTab);
  EXPECT_EQ(f.Tab0().Form().txtCalcDate->text(), "");
  EXPECT_EQ(f.Tab1().Grid().Text(1, 4).toStdString(), dust::FactorListText(dust::UserFactorJobText([] {
              dust::UserFactor u;
              u.Descr = "Own factor";
              u.JobFactor = 0.8f;
              u.DustyTimeFactor = 0.5f;
              return u;
            }())));
}

TEST_F(UserFactorRows, LeavingWhileEditingIsRefused) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kWorkTab);
  f.Tab1().Form().cmdWorkEdit->click();
  EXPECT_FALSE(f.close());
  ASSERT_FALSE(boxes_->shown.empty());
  EXPECT_EQ(boxes_->shown.back().prompt, "Please save or cancel edit before leaving");
  EXPECT_EQ(boxes_->shown.back().title, "Save work");
  f.Tab1().Form().cmdWorkCancel->click();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
  EXPECT_TRUE(f.close());
}

TEST_F(UserFactorRows, CancellingAnAdditionAsksAndRemovesTheRow) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kWorkTab);
  Ui::WorkTab& w = f.Tab1().Form();
  w.cmdWorkAdd->click();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kAdding);
  EXPECT_EQ(f.Tab1().Grid().Count(), 3);
  boxes_->answers = {mb::kNo};
  w.cmdWorkCancel->click();
  EXPECT_EQ(boxes_->shown.back().prompt, "Are you sure you want to cancel adding this record");
  EXPECT_EQ(boxes_->shown.back().title, "Cancel Add Employment Entry");
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kAdding);
  // Refusing to cancel keeps the entry's checks in force.
  w.cmdWorkSave->click();
  EXPECT_EQ(boxes_->shown.back().title, kApplicationTitle);
  boxes_->answers = {mb::kYes};
  w.cmdWorkCancel->click();
  EXPECT_EQ(f.Tab1().Grid().Count(), 2);
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
  db::RecordsetPtr rs = ClaimantDatabase->OpenRecordset("SELECT COUNT(*) FROM WORKHISTORY",
                                                        db::RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsInt32(), 2);
}

TEST_F(UserFactorRows, OutputOptionsChooseTheChannel) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kCalcTab);
  EXPECT_EQ(f.HelpTopic(), 1400);
  f.SetOutputOption(0);  // recalculates on the open tab
  EXPECT_TRUE(f.Form().mnuViewScreen->isChecked());
  EXPECT_FALSE(f.Tab3().Output().isEmpty());
  EXPECT_TRUE(f.Engine().model->HTMLFile().empty());
  EXPECT_TRUE(shell_->opened.empty());

  f.SetOutputOption(3);
  EXPECT_TRUE(f.Form().mnuViewHTML->isChecked());
  EXPECT_FALSE(f.Form().mnuViewScreen->isChecked());
  EXPECT_EQ(f.Engine().model->HTMLFile(), Settings.HTMLFile);
  ASSERT_EQ(shell_->opened.size(), 1u);
  EXPECT_EQ(shell_->opened[0], Settings.HTMLFile);
  EXPECT_TRUE(fs::exists(Settings.HTMLFile));

  f.SetOutputOption(1);
  EXPECT_TRUE(f.Form().mnuViewPreview->isChecked());
  EXPECT_TRUE(f.Tab3().Form().rtfBox->isHidden());
  EXPECT_NE(f.Engine().model->OutputObject(), nullptr);
  EXPECT_EQ(Settings.DustOutputOption, 1);
  f.Engine().model->SetOutputOption(0);  // closes the preview
}

// HTML output on a machine with no web browser: the desktop's real opener,
// found on a PATH of the test's own, either missing or ending as it does when
// no browser is installed (exit 3). Either way a box names the file; the
// calculation tab says where it was written beforehand.
TEST_F(UserFactorRows, HtmlOutputThatNoBrowserCanOpenIsToldInABox) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kCalcTab);
  const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
  SetShellService(nullptr);
  struct Case {
    const char* what;
    const char* opener;  // the script's body; nullptr: none on the PATH
    const char* told;    // how the box begins
  };
  const Case cases[] = {
      {"no opener", nullptr, "Failed to show results in internet browser\nThe report was written to "},
      {"no browser", "exit 3",
       "The report could not be opened in a web browser: no program to open it is installed or "
       "set up.\nIt was written to "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes_->shown.clear();
    const fs::path bin = folder_ / (std::string("bin-") + c.what);
    fs::create_directories(bin);
    if (c.opener) {
      std::ofstream(bin / "xdg-open") << "#!/bin/sh\n" << c.opener << "\n";
      fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    }
    setenv("PATH", bin.c_str(), 1);
    f.SetOutputOption(3);
    EXPECT_TRUE(fs::exists(Settings.HTMLFile));
    EXPECT_TRUE(f.Tab3().Form().lblOutput->text().contains(
        QString::fromStdString(Settings.HTMLFile)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes_->shown.empty(); }, 10000));
    ASSERT_EQ(boxes_->shown.size(), 1u);
    EXPECT_EQ(boxes_->shown[0].prompt.rfind(std::string(c.told) + Settings.HTMLFile, 0), 0u)
        << boxes_->shown[0].prompt;
  }
  setenv("PATH", old_path.c_str(), 1);
  EXPECT_EQ(boxes_->shown[0].title, "Tarnby");
  f.SetOutputOption(0);
}

TEST_F(UserFactorRows, ExposureChartIsOnUntilTurnedOff) {
  frmMAIN& f = LoadForm();
  QAction* chart = f.Form().mnuViewChart;
  EXPECT_TRUE(chart->isCheckable());
  EXPECT_TRUE(chart->isChecked());
  EXPECT_EQ(chart->text(), "Include exposure &chart");
  OpenTab(frmMAIN::kCalcTab);
  f.Tab3().Form().cmdCalc->click();
  EXPECT_TRUE(f.Engine().model->IncludeExposureChart());
  chart->trigger();
  EXPECT_FALSE(chart->isChecked());
  EXPECT_FALSE(Settings.DustChart);
  f.Tab3().Form().cmdCalc->click();
  EXPECT_FALSE(f.Engine().model->IncludeExposureChart());
  chart->trigger();
  EXPECT_TRUE(Settings.DustChart);
}

}  // namespace
}  // namespace orv::tarnby::test

namespace orv::tarnby::test {
namespace {

TEST_F(UserFactorRows, ARefusedCollieryKeepsSaveFromActingButNotCancel) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kWorkTab);
  Ui::WorkTab& w = f.Tab1().Form();
  w.cmdWorkEdit->click();
  w.qcboColliery->Combo()->setFocus(Qt::TabFocusReason);
  w.qcboColliery->Combo()->lineEdit()->selectAll();
  QTest::keyClicks(w.qcboColliery->Combo(), QStringLiteral("Zzz unknown pit"));
  boxes_->shown.clear();
  QTest::mouseClick(w.cmdWorkSave, Qt::LeftButton);
  // The combo said why it refused; the save did not run its checks.
  ASSERT_FALSE(boxes_->shown.empty());
  EXPECT_EQ(boxes_->shown[0].prompt,
            "Zzz unknown pit is not in the list - check there is not another name for the pit or "
            "use Area the 'Average' for unlisted pits");
  for (const MessageBoxRequest& r : boxes_->shown) EXPECT_NE(r.title, kApplicationTitle);
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kEditing);

  QTest::mouseClick(w.cmdWorkCancel, Qt::LeftButton);
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing) << Boxes();
  EXPECT_EQ(f.Tab1().Grid().Text(0, 0).toStdString(), f.Engine().jobs->Item("ID1")->Colliery());
}

}  // namespace
}  // namespace orv::tarnby::test

namespace orv::tarnby::test {
namespace {

TEST_F(UserFactorRows, AnEntryChangedByAnotherUserMeanwhileIsADataError) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kWorkTab);
  Ui::WorkTab& w = f.Tab1().Form();
  w.cmdWorkEdit->click();
  // Another user changes the same row and saves first.
  db::DatabasePtr other = db::OpenDatabase(Settings.Database);
  other->Execute("UPDATE WORKHISTORY SET ENDYEAR=1964 WHERE ID=1");
  other->Close();
  w.qcboRespFactor->SetBoundID(10000);
  TypeInto(w.meEnd, QStringLiteral("1966"));
  boxes_->answers = {mb::kOk};
  w.cmdWorkSave->click();
  ASSERT_EQ(boxes_->shown.size(), 1u) << Boxes();
  EXPECT_EQ(boxes_->shown[0].title, "Data Error");
  EXPECT_EQ(boxes_->shown[0].style, mb::kCritical | mb::kOkCancel);
  EXPECT_TRUE(boxes_->shown[0].prompt.starts_with("Error: ")) << boxes_->shown[0].prompt;
  EXPECT_TRUE(boxes_->shown[0].prompt.ends_with(
      "\nChoose OK to make changes to data to correct error or cancel to abort changes without "
      "saving"));
  // OK: still editing, from the row as stored now; the typed year is kept.
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kEditing);
  EXPECT_EQ(w.meEnd->text(), "1966");
  other = db::OpenDatabase(Settings.Database);
  other->Execute("UPDATE WORKHISTORY SET ENDYEAR=1963 WHERE ID=1");
  other->Close();
  // Refused again; Cancel shows the stored row.
  boxes_->answers = {mb::kCancel};
  w.cmdWorkSave->click();
  ASSERT_EQ(boxes_->shown.size(), 2u) << Boxes();
  EXPECT_EQ(boxes_->shown[1].title, "Data Error");
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
  EXPECT_EQ(w.meEnd->text(), "1963");
  db::RecordsetPtr rs = ClaimantDatabase->OpenRecordset(
      "SELECT ENDYEAR FROM WORKHISTORY WHERE ID=1", db::RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsInt32(), 1963);
}

}  // namespace
}  // namespace orv::tarnby::test

namespace orv::tarnby::test {
namespace {

TEST_F(MainFormTest, ChangedPathsAskForARestartAndTheJurisdictionAppliesAtOnce) {
  frmMAIN& f = LoadForm();
  Settings.Jurisdiction = 1;
  SettingsChanged = false;
  f.AfterOptionsClosed();
  EXPECT_EQ(f.Engine().model->Jurisdiction(), 1);
  EXPECT_TRUE(boxes_->shown.empty());

  SettingsChanged = true;
  boxes_->answers = {mb::kNo};
  f.AfterOptionsClosed();
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt,
            "You must exit and restart the program for changes to take effect, exit now ?");
  EXPECT_EQ(boxes_->shown[0].title, "Tarnby Options Change");
  EXPECT_TRUE(f.isVisible());

  boxes_->answers = {mb::kYes};
  f.AfterOptionsClosed();
  EXPECT_FALSE(f.isVisible());
  SettingsChanged = false;
  // Leaving wrote the settings back.
  EXPECT_TRUE(fs::exists(SettingsFile));
}

}  // namespace
}  // namespace orv::tarnby::test

namespace orv::tarnby::test {
namespace {

TEST_F(MainFormTest, EveryControlTheFocusReachesHasAnAccessibleName) {
  frmMAIN& f = LoadForm();
  for (QWidget* w : f.findChildren<QWidget*>()) {
    if (w->window() != &f || w->focusPolicy() == Qt::NoFocus || qobject_cast<QTabBar*>(w) ||
        qobject_cast<QScrollBar*>(w) || w->objectName().startsWith(QStringLiteral("qt_"))) {
      continue;
    }
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                         qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                         qobject_cast<QPlainTextEdit*>(w);
    if (!control) continue;
    // The line edit inside an editable combo speaks for the combo.
    if (qobject_cast<QComboBox*>(w->parentWidget())) continue;
    EXPECT_FALSE(w->accessibleName().isEmpty())
        << w->metaObject()->className() << " " << w->objectName().toStdString();
  }
}

}  // namespace
}  // namespace orv::tarnby::test

namespace orv::tarnby::test {
namespace {

class UnknownColliery : public MainFormTest {
 protected:
  void PrepareDatabase() override {
    Exec("INSERT INTO CLAIMANT (SURNAME) VALUES ('Platt')");
    Exec(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR) VALUES (1, 101, 1, 1, 1960, 1965)");
    // A colliery the dust data no longer lists.
    Exec(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR) VALUES (1, 999, 1, 1, 1966, 1970)");
  }
};

TEST_F(UnknownColliery, IsListedReportedAndCanBeDeleted) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kWorkTab);
  ASSERT_EQ(f.Tab1().Grid().Count(), 2);
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_TRUE(boxes_->shown[0].prompt.starts_with(
      "An error occurred while loading the work history grid\nError detail: "));
  EXPECT_EQ(f.Tab1().Grid().Text(1, 0), "Unknown colliery 999");
  EXPECT_EQ(f.Engine().jobs->Count(), 1);
  f.Tab1().SelectRow(1);
  boxes_->answers = {mb::kYes};
  f.Tab1().Form().cmdWorkDelete->click();
  EXPECT_EQ(boxes_->shown.back().title, "Delete Employment Entry");
  EXPECT_EQ(f.Tab1().Grid().Count(), 1);
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing);
}

class UnknownSmokingCategory : public MainFormTest {
 protected:
  void PrepareDatabase() override {
    Exec("INSERT INTO CLAIMANT (SURNAME) VALUES ('Platt')");
    // A category the dust data no longer lists, then a known one.
    Exec("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (1, 999, 5)");
    Exec("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (1, 1, 10)");
  }
};

// The grid goes on past a refused row, as the work history's does.
TEST_F(UnknownSmokingCategory, IsListedReportedAndCanBeDeleted) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kSmokeTab);
  ASSERT_EQ(f.Tab2().Grid().Count(), 2);
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_TRUE(boxes_->shown[0].prompt.starts_with(
      "An error occurred while loading the smoking history grid\nError detail: "));
  EXPECT_EQ(f.Tab2().Grid().Text(0, 0), "Unknown smoking category 999");
  EXPECT_EQ(f.Engine().smoking->Count(), 1);
  EXPECT_EQ(f.Tab2().EntryState(), HistoryTab::kBrowsing);
  f.Tab2().SelectRow(0);
  boxes_->answers = {mb::kYes};
  f.Tab2().Form().cmdSmokeDelete->click();
  EXPECT_EQ(f.Tab2().Grid().Count(), 1);
  EXPECT_EQ(f.Engine().smoking->Count(), 1);
}

}  // namespace
}  // namespace orv::tarnby::test

namespace orv::tarnby::test {
namespace {

TEST_F(UserFactorRows, WhatIsStoredFollowsTheEntryKind) {
  frmMAIN& f = LoadForm();
  OpenTab(frmMAIN::kWorkTab);
  Ui::WorkTab& w = f.Tab1().Form();
  // A listed pit keeps no pit name, even one typed before the colliery.
  w.cmdWorkAdd->click();
  TypeInto(w.txtPitname, QStringLiteral("Old Drift"));
  TypeInto(w.qcboColliery, QStringLiteral("Ashby"));
  TypeInto(w.meStart, QStringLiteral("1970"));
  TypeInto(w.meEnd, QStringLiteral("1971"));
  TypeInto(w.qcboJobFactor, QStringLiteral("Face"));
  TypeInto(w.qcboRespFactor, QStringLiteral("No resp"));
  w.cmdWorkSave->click();
  ASSERT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing) << Boxes();
  db::RecordsetPtr rs = ClaimantDatabase->OpenRecordset(
      "SELECT PITNAME FROM WORKHISTORY WHERE ID=3", db::RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).TextOrEmpty(), "");

  // A number of years stores no start or end year.
  OpenTab(frmMAIN::kSmokeTab);
  Ui::SmokeTab& s = f.Tab2().Form();
  s.cmdSmokeAdd->click();
  TypeInto(s.qcboSmoke, QStringLiteral("M"));
  s.optSmokeYears->click();
  TypeInto(s.meSmokeStart, QStringLiteral("1960"));
  s.optSmokeNumber->click();
  EXPECT_FALSE(s.meSmokeStart->isEnabled());
  TypeInto(s.meSmokeYears, QStringLiteral("121"));
  s.cmdSmokeSave->click();
  ASSERT_FALSE(boxes_->shown.empty());
  EXPECT_EQ(boxes_->shown.back().prompt, "The years of smoking must be between 0 and 120");
  TypeInto(s.meSmokeYears, QStringLiteral("120"));
  const size_t shown = boxes_->shown.size();
  s.cmdSmokeSave->click();
  EXPECT_EQ(boxes_->shown.size(), shown) << Boxes();
  rs = ClaimantDatabase->OpenRecordset("SELECT STARTYEAR, ENDYEAR, YEARS FROM SMOKEHISTORY",
                                       db::RecordsetType::Snapshot);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->Field(0).AsInt32(), 0);
  EXPECT_EQ(rs->Field(1).AsInt32(), 0);
  EXPECT_EQ(rs->Field(2).AsInt32(), 120);
  EXPECT_EQ(f.Tab2().Grid().Text(0, 3), "120");
  // Loaded again, the entry shows its number of years.
  f.Tab2().SelectRow(0);
  EXPECT_TRUE(f.Tab2().ByYears());
}

}  // namespace
}  // namespace orv::tarnby::test
