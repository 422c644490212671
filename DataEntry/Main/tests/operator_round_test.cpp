// An operator's whole round: a new claimant, three jobs and a smoking entry
// typed through the combos, the calculation, and the stored result checked
// against the command-line calculator's for the same history; on a claimant
// file and on a claimant database on a server.
#include "MainFormFixture.h"

#include "CalcRun.h"

namespace orv::tarnby::test {
namespace {

TEST_P(MainFormEngineTest, OperatorRoundStoresTheSameResultAsTheCalculator) {
  frmMAIN& f = LoadForm();
  AddClaimant(QStringLiteral("Rowley"), QStringLiteral("Arthur"));
  AddJob(QStringLiteral("Ashby"), QStringLiteral("1955"), QStringLiteral("1965"),
         QStringLiteral("Face"), QStringLiteral("No resp"));
  AddJob(QStringLiteral("Bexley"), QStringLiteral("1966"), QStringLiteral("1975"),
         QStringLiteral("Haul"), QStringLiteral("Respirator worn"));
  AddJob(QStringLiteral("Dunm"), QStringLiteral("1976"), QStringLiteral("1985"),
         QStringLiteral("Dev"), QStringLiteral("Respirator worn 1"));
  ASSERT_EQ(f.Tab1().Grid().Count(), 3) << Boxes();
  EXPECT_EQ(f.Tab1().EntryState(), HistoryTab::kBrowsing) << Boxes();
  EXPECT_EQ(f.Engine().jobs->Count(), 3);
  EXPECT_EQ(f.Tab1().Grid().Text(2, 5), "Respirator worn 1975 to 1990");

  OpenTab(frmMAIN::kSmokeTab);
  AddSmokingPeriod(QStringLiteral("L"), QStringLiteral("1960"), QStringLiteral("1980"));
  ASSERT_EQ(f.Tab2().Grid().Count(), 1) << Boxes();
  EXPECT_TRUE(f.Tab2().Grid().Text(0, 0).contains(QStringLiteral("Light")))
      << f.Tab2().Grid().Text(0, 0).toStdString();
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();

  OpenTab(frmMAIN::kCalcTab);
  f.Tab3().Form().cmdCalc->click();
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
  EXPECT_TRUE(f.Tab3().Output().contains(QStringLiteral("Arthur Rowley")));

  db::RecordsetPtr rs = ClaimantDatabase->OpenRecordset(
      "SELECT RECOVERABLEQUANTUM, CALCDATE, ENGINEVERSION, DUSTDATAVERSION FROM CLAIMANT",
      db::RecordsetType::Snapshot);
  ASSERT_FALSE(rs->IsEOF());
  ASSERT_FALSE(rs->Field(0).IsNull());
  EXPECT_FALSE(rs->Field(1).IsNull());
  EXPECT_EQ(rs->Field(2).TextOrEmpty(), f.Engine().model->EngineVersion());
  EXPECT_EQ(rs->Field(3).TextOrEmpty(), "48");

  calcrun::HistoryFile history;
  history.claimant.Name = "Mr Arthur Rowley";
  struct Job {
    int32_t colliery;
    int16_t start, end;
    int32_t job;
    int16_t resp;
  };
  for (const Job& j :
       {Job{101, 1955, 1965, 1, 1}, Job{102, 1966, 1975, 3, 3}, Job{104, 1976, 1985, 2, 2}}) {
    dust::HistoryJob h;
    h.Key = "ID" + std::to_string(j.colliery);
    h.CollieryID = j.colliery;
    h.StartYear = j.start;
    h.EndYear = j.end;
    h.JobFactorID = j.job;
    h.RespFactorID = j.resp;
    history.jobs.push_back(h);
  }
  history.smoking = {{"S", 2, "", 0, 1960, 1980}};
  calcrun::CalcOptions options;
  options.dust_db = Settings.DustDatabase;
  options.format = calcrun::Format::kJson;
  const calcrun::CalcOutcome tool = calcrun::RunCalculation(options, history);
  ASSERT_TRUE(tool.ok);
  EXPECT_EQ(rs->Field(0).AsSingle(), tool.results[1].second);
  // Shown with the report's two decimals.
  EXPECT_EQ(f.Tab0().Form().txtQuantumPercent->text(),
            QString::number(rs->Field(0).AsDouble(), 'f', 2));
}

// More claimants than a server's set reads at its two ends when it opens.
class ManyClaimants : public MainFormEngineTest {
 protected:
  void PrepareDatabase() override {
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 450) "
         "INSERT INTO CLAIMANT (SURNAME, FIRSTNAME) "
         "SELECT CASE WHEN i = 225 THEN 'Zed' ELSE 'Surname ' || i END, 'John' FROM n");
  }
};

TEST_P(ManyClaimants, TheRecordBarCountsAndMovesThroughThemAll) {
  frmMAIN& f = LoadForm();
  QToolButton* last = RecordButton(f, QStringLiteral("Last record"));
  QToolButton* previous = RecordButton(f, QStringLiteral("Previous record"));
  ASSERT_TRUE(last && previous);
  EXPECT_EQ(Caption(f), "Record: 1 of 450");
  last->click();
  EXPECT_EQ(Caption(f), "Record: 450 of 450");
  EXPECT_EQ(f.Tab0().Form().txtSurname->text(), "Surname 450");

  // A cleared search comes back to the claimant it found, in the middle.
  SearchName = "Zed";
  f.ApplySearch();
  EXPECT_EQ(Caption(f), "Filtered record: 1 of 1");
  SearchName.clear();
  f.ApplySearch();
  EXPECT_EQ(Caption(f), "Record: 225 of 450");
  EXPECT_EQ(f.Tab0().Form().txtSurname->text(), "Zed");
  previous->click();
  EXPECT_EQ(Caption(f), "Record: 224 of 450");
  EXPECT_EQ(f.Tab0().Form().txtSurname->text(), "Surname 224");
  EXPECT_TRUE(boxes_->shown.empty()) << Boxes();
}

INSTANTIATE_TEST_SUITE_P(Engines, MainFormEngineTest, BothEngines(), EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, ManyClaimants, BothEngines(), EngineName);

}  // namespace
}  // namespace orv::tarnby::test
