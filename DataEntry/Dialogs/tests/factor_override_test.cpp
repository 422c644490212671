// The factor screen against a real claimant database: new IDs from 10000, the
// percentage conversion, the checks and their one box, the three states.
#include <QTest>

#include "DialogFixture.h"
#include "FactorChecks.h"
#include "frmFactorOverride.h"

namespace orv::tarnby::test {
namespace {

FactorEntry Good() {
  FactorEntry e;
  e.Descr = "Drift drivage";
  e.Code = "DD1";
  e.JobFactor = "1.5";
  e.DustyTimeFactor = "50";
  e.RespFactor = "40";
  e.StartYear = "1970";
  e.EndYear = "1980";
  e.YearsPastClose = "0";
  return e;
}

TEST(FactorChecksTest, RangesIncludeTheirEndsAndEachBoxHasItsMessages) {
  struct Case {
    const char* what;
    void (*change)(FactorEntry&);
    std::vector<std::string> failures;
  };
  const Case cases[] = {
      {"good", [](FactorEntry&) {}, {}},
      {"job factor 5", [](FactorEntry& e) { e.JobFactor = "5"; }, {}},
      {"job factor 5.01",
       [](FactorEntry& e) { e.JobFactor = "5.01"; },
       {"The Job Factor should be between 0 and 5"}},
      {"end equal to start", [](FactorEntry& e) { e.EndYear = "1970"; }, {}},
      {"end a year early",
       [](FactorEntry& e) { e.EndYear = "1969"; },
       {"The Respirator End Year should be on or after the Respirator Start Year"}},
      {"time underground 100.5",
       [](FactorEntry& e) { e.DustyTimeFactor = "100.5"; },
       {"The Time Underground should be between 0 and 100"}},
      {"respirator factor blank",
       [](FactorEntry& e) { e.RespFactor = ""; },
       {"You must give a numeric value for the Respirator Factor"}},
      {"start year 1899",
       [](FactorEntry& e) { e.StartYear = "1899"; },
       {"The Respirator Start Year should be between 1900 and 2100"}},
      {"end year text",
       [](FactorEntry& e) { e.EndYear = "later"; },
       {"You must give a numeric value for the Respirator End Year"}},
      {"years past close 6",
       [](FactorEntry& e) { e.YearsPastClose = "6"; },
       {"The Years allowed past close should be between 0 and 5"}},
      {"blank code",
       [](FactorEntry& e) { e.Code = "  "; },
       {"You must give a unique code for the factor"}},
      {"no description and a text job factor",
       [](FactorEntry& e) {
         e.Descr = "";
         e.JobFactor = "high";
       },
       {"You must give a description for the factor",
        "You must give a numeric value for the Job Factor"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FactorEntry e = Good();
    c.change(e);
    EXPECT_EQ(CheckFactor(e), c.failures);
  }
}

using FactorOverrideTest = DialogTest;

void Type(frmFactorOverride& f, const FactorEntry& e) {
  auto& ui = f.Form();
  ui.txtDescr->setText(QString::fromStdString(e.Descr));
  ui.txtCode->setText(QString::fromStdString(e.Code));
  ui.txtJobFactor->setText(QString::fromStdString(e.JobFactor));
  ui.txtDustyTimeFactor->setText(QString::fromStdString(e.DustyTimeFactor));
  ui.txtRespFactor->setText(QString::fromStdString(e.RespFactor));
  ui.txtStart->setText(QString::fromStdString(e.StartYear));
  ui.txtEnd->setText(QString::fromStdString(e.EndYear));
  ui.txtYearsPastClose->setText(QString::fromStdString(e.YearsPastClose));
}

TEST_F(FactorOverrideTest, NewFactorsTakeIdsFrom10000AndKeepTheirPercentage) {
  auto db = NewClaimantDatabase();
  frmFactorOverride f(db);
  EXPECT_EQ(f.RowCount(), 0);
  EXPECT_EQ(f.Form().lblRecord->text(), "No user defined factors");

  f.Form().cmdNew->click();
  ASSERT_EQ(f.CurrentState(), frmFactorOverride::State::kEntering);
  EXPECT_EQ(f.Form().txtDustyTimeFactor->text(), "100");
  EXPECT_EQ(f.Form().txtYearsPastClose->text(), "0");
  EXPECT_EQ(f.Form().cboStart->currentText(), "Start of");
  Type(f, Good());
  f.Form().cboEnd->setCurrentText("Mid");
  f.Form().cmdSave->click();
  ASSERT_EQ(f.CurrentState(), frmFactorOverride::State::kBrowsing);
  EXPECT_EQ(f.CurrentId(), 10000);
  EXPECT_TRUE(boxes_->shown.empty());

  auto rs = db->OpenRecordset("SELECT * FROM USERFACTOR WHERE ID=10000");
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_FLOAT_EQ(rs->Field("DUSTYTIMEFACTOR").AsSingle(), 0.5f);
  EXPECT_FLOAT_EQ(rs->Field("STARTYEARVAL").AsSingle(), 1.0f);
  EXPECT_FLOAT_EQ(rs->Field("ENDYEARVAL").AsSingle(), 0.5f);
  EXPECT_EQ(rs->Field("ENDYEAR").AsInt32(), 1980);
  EXPECT_EQ(f.Form().txtDustyTimeFactor->text(), "50");
  EXPECT_EQ(f.Form().cboEnd->currentText(), "Mid");

  f.NewFactor();
  FactorEntry second = Good();
  second.Code = "DD2";
  Type(f, second);
  ASSERT_TRUE(f.SaveFactor());
  EXPECT_EQ(f.CurrentId(), 10001);
  EXPECT_EQ(f.Form().lblRecord->text(), "Factor 2 of 2");
  f.MoveTo(0);
  EXPECT_EQ(f.Form().txtCode->text(), "DD1");
}

TEST_F(FactorOverrideTest, EditingChangesTheRowInPlace) {
  auto db = NewClaimantDatabase();
  db->Execute(
      "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR, DUSTYTIMEFACTOR, RESPFACTOR, STARTYEAR,"
      " ENDYEAR, STARTYEARVAL, ENDYEARVAL, YEARSPASTCLOSURE) VALUES"
      " (10004, 'X1', 'Heading', 2, 0.25, 30, 1960, 1965, 0.5, 1, NULL)");
  frmFactorOverride f(db);
  EXPECT_EQ(f.Form().txtDustyTimeFactor->text(), "25");
  EXPECT_EQ(f.Form().cboStart->currentText(), "Mid");
  EXPECT_EQ(f.Form().txtYearsPastClose->text(), "0");  // null shows as 0
  EXPECT_TRUE(f.Form().txtDescr->isReadOnly());

  f.Form().cmdEdit->click();
  ASSERT_EQ(f.CurrentState(), frmFactorOverride::State::kEditing);
  EXPECT_FALSE(f.Form().txtDescr->isReadOnly());
  f.Form().txtJobFactor->setText("3");
  ASSERT_TRUE(f.SaveFactor());
  EXPECT_EQ(f.CurrentId(), 10004);
  auto rs = db->OpenRecordset("SELECT COUNT(*) AS N, MAX(JOBFACTOR) AS J FROM USERFACTOR");
  EXPECT_EQ(rs->Field("N").AsInt32(), 1);
  EXPECT_FLOAT_EQ(rs->Field("J").AsSingle(), 3.0f);

  // The next new factor follows the highest ID.
  f.NewFactor();
  FactorEntry e = Good();
  Type(f, e);
  ASSERT_TRUE(f.SaveFactor());
  EXPECT_EQ(f.CurrentId(), 10005);
}

// A change another user saved while the operator was editing is not
// overwritten unseen: the save is refused with the reason, the entry stays,
// and a second save writes the operator's values knowingly.
TEST_F(FactorOverrideTest, AnotherUsersChangeDuringTheEditIsNotOverwrittenUnseen) {
  auto db = NewClaimantDatabase();
  db->Execute(
      "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR, DUSTYTIMEFACTOR, RESPFACTOR, STARTYEAR,"
      " ENDYEAR, STARTYEARVAL, ENDYEARVAL, YEARSPASTCLOSURE) VALUES"
      " (10004, 'X1', 'Heading', 2, 0.25, 30, 1960, 1965, 0.5, 1, 0)");
  frmFactorOverride f(db);
  f.Form().cmdEdit->click();
  ASSERT_EQ(f.CurrentState(), frmFactorOverride::State::kEditing);
  f.Form().txtJobFactor->setText("3");
  orv::db::OpenDatabase(db->Name())
      ->Execute("UPDATE USERFACTOR SET JOBFACTOR = 4 WHERE ID = 10004");

  EXPECT_FALSE(f.SaveFactor());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_TRUE(boxes_->shown[0].prompt.starts_with(
      "An error occurred while saving the user defined factor"));
  EXPECT_NE(boxes_->shown[0].prompt.find("3197"), std::string::npos) << boxes_->shown[0].prompt;
  EXPECT_EQ(f.CurrentState(), frmFactorOverride::State::kEditing);
  EXPECT_EQ(f.Form().txtJobFactor->text(), "3");
  const auto job_factor = [&db] {
    return db->OpenRecordset("SELECT JOBFACTOR FROM USERFACTOR WHERE ID = 10004")
        ->Field(0)
        .AsSingle();
  };
  EXPECT_FLOAT_EQ(job_factor(), 4.0f);

  ASSERT_TRUE(f.SaveFactor());
  EXPECT_FLOAT_EQ(job_factor(), 3.0f);
}

TEST_F(FactorOverrideTest, FailedChecksShowOneBoxAndKeepTheEntry) {
  auto db = NewClaimantDatabase();
  frmFactorOverride f(db);
  f.NewFactor();
  FactorEntry e = Good();
  e.Descr = "";
  e.JobFactor = "high";
  Type(f, e);
  EXPECT_FALSE(f.SaveFactor());
  EXPECT_EQ(f.CurrentState(), frmFactorOverride::State::kEntering);
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt,
            "Validation failed:\r\nYou must give a description for the factor\r\n"
            "You must give a numeric value for the Job Factor\r\n"
            "Correct the errors and try again or cancel");
  EXPECT_EQ(boxes_->shown[0].title, "Validation Error");
  EXPECT_EQ(boxes_->shown[0].style, orv::mb::kCritical);
  EXPECT_EQ(f.RowCount(), 0);
}

TEST_F(FactorOverrideTest, StatesRefuseWhatTheyMust) {
  auto db = NewClaimantDatabase();
  frmFactorOverride f(db);
  f.show();
  // Nothing to edit yet.
  f.EditFactor();
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt,
            "There are no user defined factors to edit yet - use the New button to add one");
  EXPECT_EQ(f.CurrentState(), frmFactorOverride::State::kBrowsing);

  // Entering: only Save and Cancel; closing is refused.
  f.NewFactor();
  EXPECT_TRUE(f.Form().cmdSave->isVisible());
  EXPECT_FALSE(f.Form().cmdNew->isVisible());
  EXPECT_FALSE(f.Form().datFactor->isVisible());
  f.close();
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(boxes_->shown.back().prompt, "You must either save or cancel the edit before closing");

  // Cancel goes back to browsing without storing anything, and then the screen closes.
  f.Form().cmdCancel->click();
  EXPECT_EQ(f.CurrentState(), frmFactorOverride::State::kBrowsing);
  EXPECT_EQ(f.RowCount(), 0);
  f.Form().cmdClose->click();
  EXPECT_FALSE(f.isVisible());
}

}  // namespace
}  // namespace orv::tarnby::test
