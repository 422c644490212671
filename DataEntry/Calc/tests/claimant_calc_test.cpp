// Calculating stored claimants against the dust data fixture: what is read,
// what reaches the engine, and when a result is stored.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "ChangeHistory.h"
#include "ClaimantCalc.h"
#include "ClaimantRun.h"
#include "Dates.h"
#include "DustDataBuild.h"
#include "DustModel.h"
#include "Digest.h"
#include "DustModelTypes.h"
#include "SyntheticClaimants.h"
#include "TempDir.h"
#include "UserFactorFields.h"
#include "modTarnbyDatabase.h"

namespace orv::claimcalc {
namespace {

namespace fs = std::filesystem;
using orv::db::RecordsetType;

class ClaimantCalcTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tmp_ = new orv::test::TempDir;
    dir_ = new std::string(tmp_->path());
    dust_ = new std::string(tmp_->File("DUSTDATA.db"));
    orv::dustdata::BuildFromCsv(TARNBY_DUSTDATA_FIXTURE, *dust_, true);
  }
  static void TearDownTestSuite() {
    delete dir_;
    delete dust_;
    delete tmp_;
  }

  void SetUp() override {
    path_ = *dir_ + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db";
    fs::remove(path_);
    orv::tarnby::CreateClaimantDatabase(path_);
    db_ = orv::db::OpenDatabase(path_);
    model_.SetDustDatabase(*dust_);
    model_.SetErrorMode(orv::dust::orvRaiseErrorEvent);
    model_.SetOutputOption(orv::dust::orvNoOutput);
  }
  void TearDown() override {
    if (db_) db_->Close();
  }

  int32_t AddClaimant(int jurisdiction = 0) {
    db_->Execute(
        "INSERT INTO CLAIMANT (TITLE, FIRSTNAME, MIDDLENAMES, SURNAME, REF, ZURIRREF, ADD1, ADD2, "
        "ADD3, COUNTY, POSTCODE, JURISDICTION) VALUES ('Mr', 'John', '', ' Smith ', 'S/1', 'Z-1', "
        "'1 Pit Row', '  ', 'Ashby', NULL, 'AB1 2CD', ?)",
        {Value(jurisdiction)});
    const auto r = db_->OpenRecordset("SELECT MAX(ID) FROM CLAIMANT", RecordsetType::Snapshot);
    return r->Field(0).AsInt32();
  }
  void AddJob(int32_t claimant, int32_t colliery, int start, int end, int32_t job, int32_t resp,
              const char* pit = nullptr) {
    db_->Execute(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR, PITNAME) VALUES (?, ?, ?, ?, ?, ?, ?)",
        {Value(claimant), Value(colliery), Value(job), Value(resp), Value(start), Value(end),
         pit ? Value(pit) : Value()});
  }
  void AddSmoke(int32_t claimant, int32_t category, int start, int end, int years) {
    db_->Execute(
        "INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, STARTYEAR, ENDYEAR, YEARS) "
        "VALUES (?, ?, ?, ?, ?)",
        {Value(claimant), Value(category), Value(start), Value(end), Value(years)});
  }
  void AddUserFactor(int32_t id) {
    db_->Execute(
        "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR, DUSTYTIMEFACTOR, RESPFACTOR, "
        "STARTYEAR, ENDYEAR, STARTYEARVAL, ENDYEARVAL, YEARSPASTCLOSURE) "
        "VALUES (?, 'U1', 'Fitter', 0.8, 0.5, 20, 1975, 1990, 1, 0.5, 2)",
        {Value(id)});
  }
  Value Stored(int32_t claimant, const char* field) {
    const auto r = db_->OpenRecordset(std::string("SELECT ") + field + " FROM CLAIMANT WHERE ID = ?",
                                      RecordsetType::Snapshot, {Value(claimant)});
    return r->Field(0);
  }
  // A claimant the engine calculates: two jobs at fixture collieries and a
  // smoking period.
  int32_t Calculable() {
    const int32_t id = AddClaimant();
    AddJob(id, 101, 1955, 1970, 1, 1);
    AddJob(id, 104, 1971, 1985, 2, 2);
    AddSmoke(id, 2, 1960, 1980, 0);
    return id;
  }

  static orv::test::TempDir* tmp_;
  static std::string* dir_;
  static std::string* dust_;
  std::string path_;
  orv::db::DatabasePtr db_;
  orv::dust::DustModel model_;
};

orv::test::TempDir* ClaimantCalcTest::tmp_ = nullptr;
std::string* ClaimantCalcTest::dir_ = nullptr;
std::string* ClaimantCalcTest::dust_ = nullptr;

TEST_F(ClaimantCalcTest, ReadsTheClaimantAsTheDesktopNamesHim) {
  const int32_t id = AddClaimant(1);
  AddJob(id, 101, 1955, 1970, 1, 1);
  ClaimantSource source(db_);
  const StoredClaimant c = source.Read(id);
  EXPECT_EQ(c.identity.Name, "Mr John Smith");
  EXPECT_EQ(c.identity.Extra, "1 Pit Row, Ashby, AB1 2CD");
  EXPECT_EQ(c.identity.ExtraLabel.value_or(""), "Claimant Address: ");
  EXPECT_EQ(c.identity.SolicitorRef, "S/1");
  EXPECT_EQ(c.identity.ZURIRRef, "Z-1");
  EXPECT_EQ(c.Jurisdiction, 1);
  EXPECT_FALSE(c.stored_quantum.has_value());
  ASSERT_EQ(c.work.size(), 1u);
  EXPECT_EQ(c.work[0].CollieryID, 101);

  try {
    (void)source.Read(id + 100);
    FAIL() << "an unknown claimant was read";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), kErrNoSuchClaimant);
    EXPECT_EQ(e.Description(), "No claimant with ID " + std::to_string(id + 100));
  }
}

TEST_F(ClaimantCalcTest, UserDefinedFactorsReachTheEngineWithTheirValuesAndTexts) {
  const int32_t id = AddClaimant();
  AddUserFactor(10000);
  AddJob(id, 101, 1975, 1980, 10000, 10000);
  AddJob(id, 104, 1981, 1985, 10001, 10001);  // its factor was deleted
  ClaimantSource source(db_);
  const StoredClaimant c = source.Read(id);
  LoadClaimant(model_, c);

  auto& jobs = *model_.CoalJobCollection();
  ASSERT_EQ(jobs.Count(), 2);
  const auto user = jobs.Item("ID" + std::to_string(c.work[0].ID));
  EXPECT_EQ(user->JobFactorCode(), "U1");
  EXPECT_FLOAT_EQ(user->JobFactor(), 0.8f);
  EXPECT_FLOAT_EQ(user->Uplift(), 1.16f);
  EXPECT_FLOAT_EQ(user->JobDustyTimeFactor(), 0.5f);
  EXPECT_FLOAT_EQ(user->RespFactor(), 20.0f);
  EXPECT_FLOAT_EQ(user->RespEndYearVal(), 0.5f);
  EXPECT_FLOAT_EQ(user->YearsPastClose(), 2.0f);
  EXPECT_TRUE(user->NonCHA());
  EXPECT_EQ(user->JobFactorText(), "Fitter (User defined: non CHA .8 @ 50.00%)");
  EXPECT_EQ(user->RespiratorFactorText(), "Fitter (User defined: non CHA 20)");

  const auto missing = jobs.Item("ID" + std::to_string(c.work[1].ID));
  EXPECT_EQ(missing->JobFactorCode(), "??");
  EXPECT_EQ(missing->JobFactorText(), "Missing user defined factor");
  EXPECT_EQ(missing->RespStartYear(), 1900);
}

// A user-defined factor goes through the one field list both ways, and its
// part of the inputs digest keeps the text that stored results were
// fingerprinted with (a changed text would call every stored result stale).
TEST_F(ClaimantCalcTest, AUserFactorRoundTripsAndKeepsItsDigestText) {
  orv::dust::UserFactor u;
  u.ID = 10000;
  u.Code = "U1";
  u.Descr = "Fitter";
  u.JobFactor = 0.8f;
  u.DustyTimeFactor = 0.5f;
  u.RespFactor = 20;
  u.StartYear = 1975;
  u.EndYear = 1990;
  u.StartYearVal = 1;
  u.EndYearVal = 0.5f;
  u.YearsPastClosure = 2;
  orv::tarnby::InsertUserFactor(*db_, u);
  const auto rs = db_->OpenRecordset("SELECT * FROM USERFACTOR", RecordsetType::Snapshot);
  EXPECT_EQ(ReadUserFactorRow(*rs), u);

  StoredClaimant c;
  WorkRow w;
  w.CollieryID = 101;
  w.JobFactorID = 10000;
  w.RespFactorID = 10000;
  w.StartYear = 1975;
  w.EndYear = 1980;
  w.PitName = "Deep";
  w.user_factor = u;
  c.work.push_back(w);
  EXPECT_EQ(InputsDigest(c, 1),
            orv::db::Sha256Hex("tarnby inputs 1\nJ 1\nW 101 10000 10000 1975 1980 4:Deep U 10000 "
                               "2:U1 6:Fitter 3f4ccccd 3f000000 41a00000 1975 1990 3f800000 "
                               "3f000000 40000000\n"));
}

TEST_F(ClaimantCalcTest, JurisdictionIsTheClaimantsUnlessOverridden) {
  const int32_t id = AddClaimant(1);
  AddJob(id, 101, 1955, 1970, 1, 1);
  ClaimantSource source(db_);
  const StoredClaimant c = source.Read(id);
  LoadClaimant(model_, c);
  EXPECT_EQ(model_.Jurisdiction(), 1);
  EXPECT_EQ(model_.ClaimantName(), "Mr John Smith");
  LoadClaimant(model_, c, 0);
  EXPECT_EQ(model_.Jurisdiction(), 0);
}

TEST_F(ClaimantCalcTest, OutcomesCalculatedRefusedAndFailed) {
  const int32_t ok = Calculable();
  const int32_t refused = AddClaimant();
  AddJob(refused, 101, 1960, 1970, 1, 1);
  AddJob(refused, 101, 1965, 1975, 1, 1);  // overlaps the first
  const int32_t failed = AddClaimant();
  AddJob(failed, 777, 1960, 1970, 1, 1);  // no such colliery

  ClaimantSource source(db_);
  const ClaimantResult a = CalculateClaimant(model_, source.Read(ok));
  EXPECT_EQ(a.outcome, Outcome::kCalculated) << a.message;
  EXPECT_GT(a.RecoverableQuantum, 0.0f);
  EXPECT_EQ(a.EngineVersion, model_.EngineVersion());
  EXPECT_EQ(a.DustDataVersion, "48");

  const ClaimantResult b = CalculateClaimant(model_, source.Read(refused));
  EXPECT_EQ(b.outcome, Outcome::kRefused);
  EXPECT_EQ(b.message, "Work history overlap for colliery Ashby Main");

  const ClaimantResult f = CalculateClaimant(model_, source.Read(failed));
  EXPECT_EQ(f.outcome, Outcome::kFailed);
  ASSERT_TRUE(f.error.has_value());
  EXPECT_EQ(f.error->Number(), 380);
}

TEST_F(ClaimantCalcTest, StoresTheResultAsTheDesktopDoes) {
  const int32_t id = Calculable();
  ClaimantSource source(db_);
  const StoredClaimant c = source.Read(id);
  const ClaimantResult r = CalculateClaimant(model_, c);
  ASSERT_EQ(r.outcome, Outcome::kCalculated);
  const auto when = std::chrono::sys_days{std::chrono::year{2026} / 12 / 7} + std::chrono::hours{14} +
                    std::chrono::minutes{5} + std::chrono::seconds{33};
  {
    WriteTransaction t(*db_);
    EXPECT_TRUE(StoreResult(source, c, r, when));
    t.Commit();
  }
  EXPECT_EQ(Stored(id, "CALCDATE").TextOrEmpty(), "2026-12-07 14:05:33");
  EXPECT_EQ(Stored(id, "ENGINEVERSION").TextOrEmpty(), model_.EngineVersion());
  EXPECT_EQ(Stored(id, "DUSTDATAVERSION").TextOrEmpty(), "48");
  EXPECT_EQ(Stored(id, "RECOVERABLEQUANTUM").AsSingle(), r.RecoverableQuantum);
  EXPECT_EQ(source.Read(id).stored_quantum, r.RecoverableQuantum);

  // A refusal (here: the same claimant's history made to overlap) stores the
  // empty result, as a calculation from the desktop leaves it.
  AddJob(id, 101, 1960, 1962, 1, 1);
  const StoredClaimant changed = source.Read(id);
  const ClaimantResult refused = CalculateClaimant(model_, changed);
  ASSERT_EQ(refused.outcome, Outcome::kRefused);
  WriteTransaction t(*db_);
  EXPECT_TRUE(StoreResult(source, changed, refused, when));
  t.Commit();
  EXPECT_TRUE(Stored(id, "CALCDATE").IsNull());
  EXPECT_TRUE(Stored(id, "RECOVERABLEQUANTUM").IsNull());
}

// A report of a claimant whose stored result belongs to another history says
// so in one line after the jurisdiction; any other report is as it was.
TEST_F(ClaimantCalcTest, TheReportSaysWhenTheHistoryChangedSinceTheStoredResult) {
  const int32_t id = Calculable();
  const int32_t cleared = Calculable();
  db_->Close();
  db_.reset();
  orv::calcrun::CalcOptions options;
  options.dust_db = *dust_;
  options.format = orv::calcrun::Format::kText;
  const auto report = [&](int32_t who, bool store = false,
                          std::optional<int32_t> jurisdiction = std::nullopt) {
    orv::calcrun::ClaimantRunOptions run;
    run.claimant_db = path_;
    run.claimant_id = who;
    run.store = store;
    run.jurisdiction = jurisdiction;
    const orv::calcrun::ClaimantRunOutcome out = orv::calcrun::RunStoredClaimant(options, run);
    EXPECT_TRUE(out.calc.ok);
    return out.calc.report;
  };
  const auto notes = [](const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    for (const std::string& l : lines)
      if (l.starts_with("History changed")) found.push_back(l);
    return found;
  };
  // Never calculated, stored, then current: no line.
  EXPECT_TRUE(notes(report(id, /*store=*/true)).empty());
  EXPECT_TRUE(notes(report(cleared, /*store=*/true)).empty());
  const std::vector<std::string> current = report(id);
  EXPECT_TRUE(notes(current).empty());
  // A what-if under another jurisdiction is no change of his history.
  EXPECT_TRUE(notes(report(id, false, 1)).empty());

  // Another program changes a job without clearing the result; the other
  // claimant's result is cleared as a history save clears it.
  std::string calcdate;
  {
    const auto db = orv::db::OpenDatabase(path_);
    ASSERT_EQ(db->Execute("UPDATE WORKHISTORY SET ENDYEAR = 1969 WHERE CLAIMANTID = ? AND "
                          "STARTYEAR = 1955",
                          {Value(id)}),
              1);
    ClearStoredResult(*db, cleared);
    calcdate = db->OpenRecordset("SELECT CALCDATE FROM CLAIMANT WHERE ID = ?",
                                 RecordsetType::Snapshot, {Value(id)})
                   ->Field(0)
                   .AsText();
  }
  EXPECT_TRUE(notes(report(cleared)).empty());
  const std::vector<std::string> changed = report(id);
  const std::string line =
      "History changed since the last calculation: " + orv::ReportTimeOfStored(calcdate);
  EXPECT_EQ(notes(changed), std::vector<std::string>{line});
  const auto at = std::find(changed.begin(), changed.end(), line);
  ASSERT_NE(at, changed.begin());
  EXPECT_TRUE(at[-1].starts_with("Jurisdiction: ")) << at[-1];
  // In the heading's place of any report of him, the blank line after it.
  const auto jurisdiction = std::find_if(current.begin(), current.end(), [](const std::string& l) {
    return l.starts_with("Jurisdiction: ");
  });
  EXPECT_EQ(at - changed.begin(), jurisdiction - current.begin() + 1);
  ASSERT_NE(at + 1, changed.end());
  EXPECT_EQ(at[1], "");
  EXPECT_EQ(changed.size(), current.size() + 1);
  // Stored again, the result is current and the line is gone.
  EXPECT_FALSE(notes(report(id, /*store=*/true)).empty());
  EXPECT_TRUE(notes(report(id)).empty());
}

TEST(ReportTimeOfStored, StoredDatesAsTheReportWritesTimes) {
  const std::pair<const char*, const char*> cases[] = {
      {"2026-12-07 14:05:33", "14:05 on 07 Dec 2026"},
      {"1999-01-31 00:00:00", "00:00 on 31 Jan 1999"},
      {"2026-13-07 14:05:33", "2026-13-07 14:05:33"},
      {"not a date", "not a date"},
      {"", ""},
  };
  for (const auto& [stored, shown] : cases) EXPECT_EQ(orv::ReportTimeOfStored(stored), shown);
}

TEST_F(ClaimantCalcTest, NoResultIsStoredForAHistoryThatChangedMeanwhile) {
  const int32_t id = Calculable();
  AddUserFactor(10000);
  AddJob(id, 104, 1986, 1988, 10000, 10000);
  ClaimantSource source(db_);
  const auto when = std::chrono::system_clock::now();
  {
    // The stored result cleared (or replaced) by someone else after the
    // claimant was read, while his history is still the same: left alone.
    const StoredClaimant before = source.Read(id);
    const ClaimantResult r = CalculateClaimant(model_, before);
    WriteTransaction first(*db_);
    ASSERT_TRUE(StoreResult(source, before, r, when));
    first.Commit();
    const StoredClaimant stored = source.Read(id);
    ClearStoredResult(*db_, id);
    WriteTransaction second(*db_);
    EXPECT_FALSE(StoreResult(source, stored, r, when));
    second.Commit();
    EXPECT_TRUE(Stored(id, "RECOVERABLEQUANTUM").IsNull());
  }
  // Each edit an operator can save, made after the history was read.
  const char* edits[] = {
      "UPDATE WORKHISTORY SET ENDYEAR = ENDYEAR - 1 WHERE CLAIMANTID = ? AND STARTYEAR = 1971",
      "UPDATE WORKHISTORY SET RESPFACTORID = 1 WHERE CLAIMANTID = ? AND STARTYEAR = 1971",
      "UPDATE SMOKEHISTORY SET SMOKECATEGORYID = 3 WHERE CLAIMANTID = ?",
      "DELETE FROM SMOKEHISTORY WHERE CLAIMANTID = ?",
      "UPDATE CLAIMANT SET JURISDICTION = 1 WHERE ID = ?",
      "UPDATE USERFACTOR SET JOBFACTOR = 0.5 WHERE ID = 10000 AND ? > 0",
      "DELETE FROM CLAIMANT WHERE ID = ?",
  };
  for (const char* edit : edits) {
    SCOPED_TRACE(edit);
    const StoredClaimant before = source.Read(id);
    const ClaimantResult r = CalculateClaimant(model_, before);
    ASSERT_EQ(r.outcome, Outcome::kCalculated) << r.message;
    db_->Execute(edit, {Value(id)});
    WriteTransaction t(*db_);
    EXPECT_FALSE(StoreResult(source, before, r, when));
    t.Commit();
    if (std::string(edit).starts_with("DELETE FROM CLAIMANT")) break;
    EXPECT_TRUE(Stored(id, "RECOVERABLEQUANTUM").IsNull());
  }
}

// What a file's change history tells of claimants read before a change:
// the ones it names, or nothing when any of them may have changed.
TEST_F(ClaimantCalcTest, TheChangeHistoryNamesTheClaimantsChangedSinceTheyWereRead) {
  const int32_t a = Calculable(), b = Calculable(), c = Calculable(), outside = Calculable();
  AddUserFactor(10000);
  AddJob(b, 104, 1986, 1988, 10000, 10000);
  ClaimantSource source(db_);
  const auto mark = [&] {
    db_->BeginTrans();
    const std::optional<ChangeMark> m = source.Mark();
    db_->CommitTrans();
    return m;
  };
  const auto changed = [&](const ChangeMark& m) {
    WriteTransaction t(*db_);
    const auto ids = source.ChangedSince(m, a, c);
    t.Commit();
    return ids;
  };
  using Ids = std::optional<std::vector<int32_t>>;
  std::optional<ChangeMark> m = mark();
  ASSERT_TRUE(m);
  EXPECT_EQ(changed(*m), Ids(std::vector<int32_t>{}));
  // Another claimant's changes name no one of the three.
  AddJob(outside, 101, 1990, 1991, 1, 1);
  db_->Execute("UPDATE CLAIMANT SET SURNAME = 'Jones' WHERE ID = ?", {Value(outside)});
  EXPECT_EQ(changed(*m), Ids(std::vector<int32_t>{}));
  db_->Execute("UPDATE SMOKEHISTORY SET YEARS = 3 WHERE CLAIMANTID = ?", {Value(c)});
  db_->Execute("UPDATE CLAIMANT SET RECOVERABLEQUANTUM = 2 WHERE ID = ?", {Value(a)});
  db_->Execute("DELETE FROM SMOKEHISTORY WHERE CLAIMANTID = ?", {Value(c)});
  EXPECT_EQ(changed(*m), Ids(std::vector<int32_t>{a, c}));

  // Changes that may alter any claimant's reading, whoever they name.
  const std::string moved = "UPDATE WORKHISTORY SET CLAIMANTID = " + std::to_string(outside) +
                            " WHERE CLAIMANTID = " + std::to_string(b) + " AND STARTYEAR = 1955";
  const std::string renumbered = "UPDATE WORKHISTORY SET ID = 900 WHERE CLAIMANTID = " +
                                 std::to_string(outside) + " AND STARTYEAR = 1990";
  for (const std::string& edit :
       {std::string("UPDATE USERFACTOR SET JOBFACTOR = 0.5 WHERE ID = 10000"), moved, renumbered}) {
    SCOPED_TRACE(edit);
    m = mark();
    ASSERT_EQ(db_->Execute(edit), 1);
    EXPECT_EQ(changed(*m), std::nullopt);
  }
  // A change made while recording was suspended, as a copy suspends it.
  m = mark();
  {
    WriteTransaction t(*db_);
    orv::tarnby::SuspendChangeRecording(*db_);
    db_->Execute("UPDATE WORKHISTORY SET ENDYEAR = 1969 WHERE CLAIMANTID = ?", {Value(a)});
    orv::tarnby::ResumeChangeRecording(*db_);
    t.Commit();
  }
  EXPECT_EQ(changed(*m), std::nullopt);
  // A history that ends before the mark is not the one marked.
  m = mark();
  ChangeMark later = *m;
  later.last_record += 1000;
  EXPECT_EQ(changed(later), std::nullopt);
  EXPECT_EQ(changed(*m), Ids(std::vector<int32_t>{}));
  // Without every trigger in place, changes may leave no record: no mark.
  db_->Execute("DROP TRIGGER CHANGEHISTORY_SMOKEHISTORY_DELETE");
  EXPECT_EQ(mark(), std::nullopt);
}

TEST_F(ClaimantCalcTest, SyntheticClaimantsMostlyCalculate) {
  SyntheticOptions o;
  o.claimants = 300;
  GenerateClaimants(path_, *dust_, o);
  ClaimantSource source(db_);
  EXPECT_EQ(source.Count(), 300);
  int calculated = 0, failed = 0;
  int32_t after = 0;
  for (std::vector<int32_t> ids; !(ids = source.NextIDs(after, 64)).empty(); after = ids.back()) {
    for (int32_t id : ids) {
      const ClaimantResult r = CalculateClaimant(model_, source.Read(id));
      calculated += r.outcome == Outcome::kCalculated;
      failed += r.outcome == Outcome::kFailed;
      EXPECT_NE(r.outcome, Outcome::kFailed) << id << ": " << r.message;
    }
  }
  EXPECT_EQ(failed, 0);
  EXPECT_GT(calculated, 150);  // the fixture's tortious data has gaps

  // The same seed gives the same database.
  const std::string again = *dir_ + "/again.db";
  fs::remove(again);
  orv::tarnby::CreateClaimantDatabase(again);
  GenerateClaimants(again, *dust_, o);
  const auto digest = [](orv::db::Database& d) {
    std::string s;
    for (auto r = d.OpenRecordset(
             "SELECT CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, ENDYEAR "
             "FROM WORKHISTORY ORDER BY ID",
             RecordsetType::Snapshot);
         !r->IsEOF(); r->MoveNext())
      for (int i = 0; i < 6; ++i) s += r->Field(i).AsText() + ",";
    return s;
  };
  const auto other = orv::db::OpenDatabase(again);
  EXPECT_EQ(digest(*db_), digest(*other));
}

}  // namespace
}  // namespace orv::claimcalc
