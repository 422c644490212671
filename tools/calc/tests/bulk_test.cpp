// tarnby-calc --claimant and --all against the dust data fixture and
// synthetic claimant databases: the stored claimant's result, the results
// file, threads, a killed run, and operators saving histories meanwhile.
// The tests written TEST_P run on a claimant database file and on one on
// the test server.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "BulkResults.h"
#include "BulkRun.h"
#include "ChangeHistory.h"
#include "ClaimantCalc.h"
#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "DustModel.h"
#include "DustModelTypes.h"
#include "DustDataPassword.h"
#include "SpoiltFiles.h"
#include "SyntheticClaimants.h"
#include "TempDir.h"
#include "TestServer.h"
#include "ToolRun.h"
#include "modGlobals.h"
#include "modTarnbyDatabase.h"

namespace orv::calcrun {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using orv::claimcalc::ClaimantSource;
using orv::db::RecordsetType;

using orv::test::ReadAll;
using Ran = orv::test::ToolRun;

using orv::calcrun::test::ResultRows;
using orv::calcrun::test::StoredResults;

// The parameter: true on the test server.
class BulkCalc : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    tmp_ = new orv::test::TempDir;
    dir_ = &tmp_->path();
    orv::dustdata::BuildFromCsv(TARNBY_DUSTDATA_FIXTURE, Path("DUSTDATA.db"), true);
  }
  static void TearDownTestSuite() {
    delete tmp_;
    tmp_ = nullptr;
    dir_ = nullptr;
  }
  static std::string Path(const std::string& name) { return *dir_ + "/" + name; }

  bool OnServer() const {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info->value_param() && std::string(info->value_param()) == "true";
  }

  // A new, empty claimant database: a file in the scratch folder, or on the
  // server a database of the test's own.
  std::string NewClaimantDb(const std::string& name, int16_t level = orv::tarnby::kLatestStructureLevel) {
    std::string path;
    if (OnServer()) {
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      path = orv::testing::NewServerDatabase("calc_" + std::string(info->name()) + "_" + name);
    } else {
      path = Path(name);
      fs::remove(path);
    }
    orv::tarnby::CreateClaimantDatabase(path, level);
    return path;
  }

  // A new claimant database holding `n` synthetic claimants (the same ones
  // for the same `n`).
  std::string Claimants(const std::string& name, int64_t n) {
    const std::string path = NewClaimantDb(name);
    orv::claimcalc::SyntheticOptions o;
    o.claimants = n;
    orv::claimcalc::GenerateClaimants(path, Path("DUSTDATA.db"), o);
    return path;
  }

  BulkOptions Options(const std::string& claimants, int jobs) {
    BulkOptions o;
    o.dust_db = Path("DUSTDATA.db");
    o.claimant_db = claimants;
    o.jobs = jobs;
    o.batch = 40;
    return o;
  }

  // After the storing run `o`, in which others changed the claimants
  // `changed` between its reading and its storing them: every stored result
  // is what the histories now give (a run with no one changing them stores
  // the same), and each changed claimant was calculated again at the end.
  void ExpectNoStaleResult(const BulkOptions& o, const std::vector<int32_t>& changed) {
    const auto rows = ResultRows(o.results);
    const auto stored = StoredResults(o.claimant_db);
    BulkOptions quiet = Options(o.claimant_db, 1);
    quiet.store = true;
    (void)RunAll(quiet);
    EXPECT_EQ(stored, StoredResults(o.claimant_db));
    for (int32_t id : changed) {
      EXPECT_TRUE(rows.at(id).ends_with(
          ",The history was changed during the run; it was calculated again at the end"))
          << id << ": " << rows.at(id);
    }
  }

  // tarnby-calc with the fixture's dust data, or `dust` in its place.
  static Ran Calc(const std::string& args, const std::string& dust = {}) {
    const std::string dust_db = dust.empty() ? Path("DUSTDATA.db") : dust;
    return orv::test::RunTool("tarnby-calc", "--dust-db '" + dust_db + "' " + args, *dir_);
  }

  static orv::test::TempDir* tmp_;  // for the whole suite
  static const std::string* dir_;
};
orv::test::TempDir* BulkCalc::tmp_ = nullptr;
const std::string* BulkCalc::dir_ = nullptr;

// One claimant with a user-defined factor and both kinds of smoking entry,
// stored; the same history written as a history file.
TEST_P(BulkCalc, StoredClaimantGivesTheHistoryFileResult) {
  const std::string path = NewClaimantDb("one.db");
  {
    const auto db = orv::db::OpenDatabase(path);
    db->Execute(
        "INSERT INTO CLAIMANT (ID, TITLE, FIRSTNAME, SURNAME, REF, ZURIRREF, ADD1, POSTCODE, "
        "JURISDICTION) VALUES (7, 'Mr', 'John', 'Smith', 'S/1', 'Z-1', '1 Pit Row', 'AB1', 0)");
    db->Execute(
        "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR, DUSTYTIMEFACTOR, RESPFACTOR, "
        "STARTYEAR, ENDYEAR, STARTYEARVAL, ENDYEARVAL, YEARSPASTCLOSURE) "
        "VALUES (10000, 'U1', 'Fitter', 0.8, 0.5, 20, 1975, 1990, 1, 0.5, 0)");
    db->Execute(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR) VALUES (7, 102, 10000, 10000, 1986, 1990), (7, 101, 1, 1, 1955, 1970), "
        "(7, 102, 1, 2, 1971, 1985)");
    db->Execute(
        "INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, STARTYEAR, ENDYEAR, YEARS) "
        "VALUES (7, 2, 1960, 1980, 0), (7, 4, 0, 0, 12)");
  }
  const std::string history = Path("history.json");
  std::ofstream(history) << R"({
    "claimant": {"name": "Mr John Smith", "solicitor_ref": "S/1", "zurir_ref": "Z-1",
                 "extra_label": "Claimant Address: ", "extra": "1 Pit Row, AB1"},
    "jobs": [
      {"colliery_id": 101, "start_year": 1955, "end_year": 1970,
       "job_factor_id": 1, "resp_factor_id": 1},
      {"colliery_id": 102, "start_year": 1971, "end_year": 1985,
       "job_factor_id": 1, "resp_factor_id": 2},
      {"colliery_id": 102, "start_year": 1986, "end_year": 1990,
       "user_factor": {"id": 10000, "code": "U1", "descr": "Fitter",
                       "job_factor": 0.8, "dusty_time_factor": 0.5,
                       "resp_factor": 20, "start_year": 1975, "end_year": 1990,
                       "start_year_val": 1, "end_year_val": 0.5,
                       "years_past_closure": 0}}],
    "smoking": [{"category_id": 2, "start_year": 1960, "end_year": 1980},
                {"category_id": 4, "years": 12}]})";

  const auto without_time = [](json doc) {
    for (auto& line : doc["report"])
      if (line.get<std::string>().starts_with("Calculation time and date: ")) line = "";
    return doc;
  };
  const Ran from_file = Calc("--history '" + history + "' --format json --detail");
  ASSERT_EQ(from_file.code, 0) << from_file.err;
  const Ran stored =
      Calc("--claimant-db '" + path + "' --claimant 7 --store --format json --detail");
  ASSERT_EQ(stored.code, 0) << stored.err;
  const json a = without_time(json::parse(from_file.out));
  const json b = without_time(json::parse(stored.out));
  EXPECT_EQ(a, b);

  const auto db = orv::db::OpenDatabase(path);
  const auto r = db->OpenRecordset(
      "SELECT RECOVERABLEQUANTUM, ENGINEVERSION, DUSTDATAVERSION, CALCDATE FROM CLAIMANT",
      RecordsetType::Snapshot);
  EXPECT_EQ(r->Field(0).AsSingle(), a["results"]["RecoverableQuantumPercent"].get<float>());
  EXPECT_EQ(r->Field(1).AsText(), a["engine_version"]);
  EXPECT_EQ(r->Field(2).AsText(), a["dust_data_version"]);
  EXPECT_EQ(r->Field(3).AsText().size(), 19u);  // "2026-12-07 14:05:33"

  const Ran unknown = Calc("--claimant-db '" + path + "' --claimant 8");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("No claimant with ID 8"), std::string::npos) << unknown.err;

  // The stored result stands: proven again from the same inputs.
  const Ran proven = Calc("--claimant-db '" + path + "' --verify --claimant 7");
  EXPECT_EQ(proven.code, 0) << proven.err;
  EXPECT_EQ(proven.out.substr(0, proven.out.find_first_of("\r\n")), "ID,REASON,STORED,NOW");
  EXPECT_NE(proven.err.find("1 stored results stand, 0 do not"), std::string::npos) << proven.err;
}

TEST_F(BulkCalc, AnOlderStructureIsNotCalculatedOrUpgraded) {
  const std::string path = Path("level10.db");
  fs::remove(path);
  orv::tarnby::CreateClaimantDatabase(path, 10);
  for (const char* mode : {"--all --store", "--claimant 1"}) {
    const Ran r = Calc("--claimant-db '" + path + "' " + mode);
    EXPECT_EQ(r.code, 2) << mode;
    EXPECT_NE(r.err.find("structure level 10 of 21"), std::string::npos) << r.err;
  }
  const auto db = orv::db::OpenDatabase(path);
  EXPECT_EQ(orv::tarnby::StructureLevel(*db), 10);
}

// Either database damaged, not a database, of the other kind or with a
// stored query changed to write or attach: exit 2 naming the file (and the
// query), nothing calculated or stored, the file as it was.
TEST_F(BulkCalc, SpoiltDatabasesExitTwoNamingThemAndAreLeftAsTheyWere) {
  const std::string claimants = Claimants("spoil-source.db", 3);
  const std::string claimants_before = orv::test::FileBytes(claimants);
  struct Side {
    const char* what;
    orv::test::Spoiling spoiling;
    bool dust;
  };
  const Side sides[] = {
      {"dust data",
       {Path("DUSTDATA.db"), orv::DustDataConnect(), claimants, "qDustMatrixData", "DUSTMATRIX"},
       true},
      {"claimants", {claimants, "", Path("DUSTDATA.db"), "qdWork", "WORKHISTORY"}, false},
  };
  for (const Side& side : sides) {
    const std::string folder = Path(std::string("spoilt-") + (side.dust ? "dust" : "claimants"));
    fs::create_directories(folder);
    for (const orv::test::SpoiltFile& f : orv::test::SpoilCopies(side.spoiling, folder)) {
      const std::string before = orv::test::FileBytes(f.path);
      for (const char* mode : {"--claimant 2", "--all --store"}) {
        SCOPED_TRACE(std::string(side.what) + ", " + f.kind + ", " + mode);
        const std::string claimant_db = side.dust ? claimants : f.path;
        const Ran r =
            Calc("--claimant-db '" + claimant_db + "' " + mode, side.dust ? f.path : std::string());
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_NE(r.err.find("'" + f.path + "'"), std::string::npos) << r.err;
        if (f.tampered) {
          EXPECT_NE(r.err.find("'" + side.spoiling.query + "'"), std::string::npos) << r.err;
        }
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(orv::test::FileBytes(f.path), before);
        if (!f.attached.empty()) {
          EXPECT_FALSE(fs::exists(f.attached));
        }
      }
    }
  }
  // Nothing was stored on the good claimant database either.
  EXPECT_EQ(orv::test::FileBytes(claimants), claimants_before);
}

// A text over its declared size, as another program could write it. In a
// claimant's row the run refuses the file at its open, before anything is
// stored, as it would otherwise fail at his store after earlier batches
// were stored. In an old change record, where the run only adds records,
// the run goes on and stores what a file without it stores.
TEST_F(BulkCalc, AnOverLongTextStopsTheRunAtOnceUnlessInAnOldChangeRecord) {
  const std::string row = Claimants("long-surname.db", 30);
  orv::test::WriteUnchecked(row, "UPDATE CLAIMANT SET SURNAME = '" + std::string(120, 's') +
                                     "' WHERE ID = (SELECT MAX(ID) FROM CLAIMANT)");
  const std::string row_before = orv::test::FileBytes(row);
  Ran r = Calc("--claimant-db '" + row + "' --all --store --jobs 2");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("'" + row + "'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CHECK constraint failed in CLAIMANT"), std::string::npos) << r.err;
  EXPECT_EQ(orv::test::FileBytes(row), row_before);

  const std::string record = Claimants("long-record.db", 30);
  const std::string clean = Claimants("long-clean.db", 30);
  orv::test::WriteUnchecked(
      record,
      "INSERT INTO CHANGEHISTORY (CHANGETIME, TABLENAME, ROWKEY, CLAIMANTID, ACTION, FIELD, "
      "OLDVALUE, NEWVALUE) VALUES ('2026-01-01 00:00:00.000', 'CLAIMANT', 1, 1, 'update', '" +
          std::string(80, 'f') + "', 'a', 'b')");
  for (const std::string& path : {record, clean}) {
    r = Calc("--claimant-db '" + path + "' --all --store --jobs 2");
    EXPECT_EQ(r.code, 0) << r.err;
  }
  EXPECT_FALSE(StoredResults(record).empty());
  EXPECT_EQ(StoredResults(record), StoredResults(clean));
}

TEST_P(BulkCalc, OneAndTwoThreadsGiveTheSameResultsAndStoredValues) {
  const std::string one = Claimants("threads1.db", 400);
  const std::string two = Claimants("threads2.db", 400);
  BulkOptions a = Options(one, 1), b = Options(two, 2);
  a.store = b.store = true;
  a.results = Path("threads1.csv");
  b.results = Path("threads2.csv");
  const BulkSummary sa = RunAll(a), sb = RunAll(b);
  EXPECT_EQ(SummaryLine(sa), SummaryLine(sb));
  EXPECT_EQ(sa.calculated + sa.refused + sa.failed, 400);
  EXPECT_EQ(sa.failed, 0);
  EXPECT_EQ(sa.stored, 400);
  EXPECT_EQ(ReadAll(a.results), ReadAll(b.results));
  EXPECT_EQ(StoredResults(one), StoredResults(two));
}

// Remembered lookups change nothing: every claimant's stored result and the
// results file are those of a run that asks the dust data file every time,
// on one thread and on two.
// A results or report file named as one of the databases or histories
// read, by its own name or through a link, would replace that file: it is
// refused, and the file kept byte for byte.
TEST_F(BulkCalc, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
  const std::string claimants = Claimants("outputs.db", 3);
  const std::string dust = Path("DUSTDATA.db");
  const std::string link = Path("outputs-link.db");
  fs::remove(link);
  fs::create_symlink(claimants, link);
  const std::string claimants_before = orv::test::FileBytes(claimants);
  const std::string dust_before = orv::test::FileBytes(dust);
  const std::string c = " --claimant-db '" + claimants + "'";
  struct Case {
    std::string args;
    const char* says;
  };
  const Case cases[] = {
      {c + " --all --results '" + claimants + "'", "--results"},
      {c + " --all --store --results '" + link + "'", "--results"},
      {c + " --all --verify --results '" + dust + "'", "--results"},
      {c + " --claimant 2 --output '" + dust + "'", "--output"},
      {c + " --claimant 2 --store --format pdf --output '" + link + "'", "--output"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.args);
    const Ran r = Calc(k.args);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find(std::string(k.says) + " "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("give another file"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(orv::test::FileBytes(claimants), claimants_before);
    EXPECT_EQ(orv::test::FileBytes(dust), dust_before);
  }
  // Another file is written as asked.
  const Ran r = Calc(c + " --all --results '" + Path("outputs.csv") + "'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(Path("outputs.csv")));
}

TEST_F(BulkCalc, RememberedLookupsStoreWhatAskingTheFileEveryTimeStores) {
  const std::string base = Claimants("remember.db", 400);
  const std::string path = Path("remember-run.db");
  std::optional<std::map<int32_t, std::string>> expected_stored;
  std::string expected_results;
  for (const bool remember : {false, true}) {
    for (const int jobs : {1, 2}) {
      SCOPED_TRACE(::testing::Message() << "remember " << remember << ", jobs " << jobs);
      fs::copy_file(base, path, fs::copy_options::overwrite_existing);
      BulkOptions o = Options(path, jobs);
      o.store = true;
      o.results = Path("remember.csv");
      orv::dust::SetRememberLookups(remember);
      BulkSummary summary;
      try {
        summary = RunAll(o);
      } catch (...) {
        orv::dust::SetRememberLookups(true);
        throw;
      }
      orv::dust::SetRememberLookups(true);
      EXPECT_EQ(summary.failed, 0);
      EXPECT_EQ(summary.stored, 400);
      if (!expected_stored) {
        expected_stored = StoredResults(path);
        expected_results = ReadAll(o.results);
        continue;
      }
      EXPECT_EQ(StoredResults(path), *expected_stored);
      EXPECT_EQ(ReadAll(o.results), expected_results);
    }
  }
}

// The engine expands a dust database whose matrix is not expanded yet when
// it first opens it; a run on several threads must do that once, not once
// per thread side by side.
TEST_F(BulkCalc, AnUnexpandedDustDatabaseIsExpandedOnceAndEveryClaimantCalculated) {
  const fs::path csv = orv::dustdata::test::CopyFixture(Path("unexpanded-csv"));
  fs::remove(csv / "dust_matrix.csv");
  const std::string dust = Path("UNEXPANDED.db");
  orv::dustdata::BuildFromCsv(csv.string(), dust, true);
  const auto matrix_ready = [&dust] {
    return orv::dustdata::test::Rows(*orv::dustdata::test::OpenDb(dust, true),
                                     "SELECT PARMVALUE FROM PARMS WHERE PARM = 'MatrixReady'");
  };
  ASSERT_EQ(matrix_ready(), (std::vector<std::vector<std::string>>{{"0"}}));
  BulkOptions o = Options(Claimants("unexpanded.db", 60), 2);
  o.dust_db = dust;
  const BulkSummary s = RunAll(o);
  EXPECT_EQ(s.failed, 0);
  EXPECT_EQ(s.calculated + s.refused, 60);
  EXPECT_EQ(matrix_ready(), (std::vector<std::vector<std::string>>{{"1"}}));
}

TEST_F(BulkCalc, RefusedClaimantIsCountedWithItsMessage) {
  const std::string path = Claimants("refused.db", 30);
  {
    const auto db = orv::db::OpenDatabase(path);
    db->Execute("INSERT INTO CLAIMANT (ID, SURNAME) VALUES (1000, 'Overlap')");
    db->Execute(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR) VALUES (1000, 101, 1, 1, 1960, 1970), (1000, 101, 1, 1, 1965, 1975)");
    db->Execute("INSERT INTO CLAIMANT (ID, SURNAME) VALUES (1001, 'Unknown pit')");
    db->Execute(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR) VALUES (1001, 777, 1, 1, 1960, 1970)");
    // A year stored as text by another program: that claimant fails, the
    // run goes on.
    db->Execute("INSERT INTO CLAIMANT (ID, SURNAME) VALUES (1002, 'Text year')");
    db->Execute(
        "INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, STARTYEAR, "
        "ENDYEAR) VALUES (1002, 101, 1, 1, 'n/a', 1970)");
  }
  const Ran r =
      Calc("--claimant-db '" + path + "' --all --jobs 2 --results '" + Path("refused.csv") + "'");
  EXPECT_EQ(r.code, 3) << r.err;  // two claimants failed
  const auto rows = ResultRows(Path("refused.csv"));
  ASSERT_EQ(rows.size(), 33u);
  EXPECT_EQ(rows.at(1000), "0,,,0,Work history overlap for colliery Ashby Main");
  for (int32_t failed : {1001, 1002}) {
    SCOPED_TRACE(failed);
    EXPECT_TRUE(rows.at(failed).starts_with("0,,,0,")) << rows.at(failed);
  }
  EXPECT_NE(rows.at(1001).find("Error 380 ("), std::string::npos) << rows.at(1001);
  EXPECT_NE(rows.at(1002).find("Error 13 (StartYear): "), std::string::npos) << rows.at(1002);
  int refused = 0, calculated = 0;
  for (const auto& [id, row] : rows) (row.starts_with("1,") ? calculated : refused) += 1;
  EXPECT_EQ(r.out, std::to_string(calculated) + " calculated, " + std::to_string(refused - 2) +
                       " refused, 2 failed\n");
}

TEST_P(BulkCalc, ChangedOnlyListsExactlyTheClaimantsAChangedDustValueAffects) {
  const std::string path = Claimants("changed.db", 300);
  BulkOptions first = Options(path, 2);
  first.store = true;
  (void)RunAll(first);

  // A new dust data version: one colliery's dust value for 1960 goes up.
  const std::string newer = Path("DUSTDATA-newer.db");
  fs::copy_file(Path("DUSTDATA.db"), newer, fs::copy_options::overwrite_existing);
  {
    orv::db::OpenOptions o;
    o.connect = orv::DustDataConnect();
    const auto dust = orv::db::OpenDatabase(newer, o);
    ASSERT_EQ(dust->Execute("UPDATE DUSTMATRIX SET DUSTVAL = DUSTVAL + 2 WHERE COLLIERYID = 101 "
                            "AND STARTYEAR = 1960 AND ENDYEAR = 1960"),
              1);
  }

  // The claimants that work at that colliery in 1960, and among them those
  // whose result the new value changes, calculated one by one.
  std::set<int32_t> expected;
  int candidates = 0;
  {
    orv::dust::DustModel model;
    model.SetDustDatabase(newer);
    model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
    model.SetOutputOption(orv::dust::orvNoOutput);
    const auto db = orv::db::OpenDatabase(path);
    ClaimantSource source(db);
    for (auto r = db->OpenRecordset(
             "SELECT DISTINCT CLAIMANTID FROM WORKHISTORY WHERE COLLIERYID = 101 AND "
             "STARTYEAR <= 1960 AND ENDYEAR >= 1960",
             RecordsetType::Snapshot);
         !r->IsEOF(); r->MoveNext()) {
      const auto c = source.Read(r->Field(0).AsInt32());
      const auto result = orv::claimcalc::CalculateClaimant(model, c);
      ++candidates;
      const std::optional<float> now = result.outcome == orv::claimcalc::Outcome::kCalculated
                                           ? std::optional<float>(result.RecoverableQuantum)
                                           : std::nullopt;
      if (now != c.stored_quantum) expected.insert(c.ID);
    }
  }
  ASSERT_GT(candidates, 0);
  ASSERT_FALSE(expected.empty());

  BulkOptions second = Options(path, 2);
  second.dust_db = newer;
  second.results = Path("changed.csv");
  second.changed_only = true;
  const BulkSummary s = RunAll(second);
  std::set<int32_t> listed;
  for (const auto& [id, row] : ResultRows(second.results)) {
    listed.insert(id);
    EXPECT_NE(row.find(",1,"), std::string::npos) << row;
  }
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(s.changed, static_cast<int64_t>(expected.size()));
}

// A run killed inside a write transaction keeps the batches committed
// before it; a second run completes, listing and storing every claimant once.
TEST_P(BulkCalc, KilledRunThenASecondRunCompletes) {
  const std::string path = Claimants("killed.db", 400);
  const std::string reference = Claimants("killed-reference.db", 400);
  BulkOptions ref = Options(reference, 1);
  ref.store = true;
  (void)RunAll(ref);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    BulkOptions o = Options(path, 1);
    o.store = true;
    o.lease_seconds = 1;  // on a server, the next run takes the killed one's batch at once
    int batches = 0;
    o.in_store = [&batches](int32_t) {
      if (++batches == 4) raise(SIGKILL);
    };
    (void)RunAll(o);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  // Three batches of 40 were stored before the kill, the rest not yet.
  int64_t stored_before = 0;
  {
    const auto db = orv::db::OpenDatabase(path);
    const auto r = db->OpenRecordset(
        "SELECT COUNT(*) FROM CLAIMANT WHERE ENGINEVERSION IS NOT NULL", RecordsetType::Snapshot);
    stored_before = r->Field(0).AsInt64();
    EXPECT_GT(stored_before, 0);
    EXPECT_LT(stored_before, 120 + 1);
  }
  BulkOptions again = Options(path, 2);
  again.store = true;
  again.lease_seconds = 1;
  again.results = Path("killed.csv");
  const BulkSummary s = RunAll(again);
  // On a file the second run is a run of its own over every claimant; on a
  // server it joins the killed one and calculates what that one left, the
  // killed run's unfinished batch included.
  const int64_t second = OnServer() ? 400 - 120 : 400;
  EXPECT_EQ(s.stored, second);
  EXPECT_EQ(static_cast<int64_t>(ResultRows(again.results).size()), second);
  EXPECT_EQ(s.began, !OnServer());
  EXPECT_EQ(StoredResults(path), StoredResults(reference));
  if (!OnServer()) {
    const auto db = orv::db::OpenDatabase(path);
    EXPECT_EQ(
        db->OpenRecordset("PRAGMA integrity_check", RecordsetType::Snapshot)->Field(0).AsText(),
        "ok");
  }
}

// An operator saves a claimant's history (and so clears his stored result)
// after the run has read and calculated him but before it stores him: the
// run must not put the old history's result back.
TEST_P(BulkCalc, AnOperatorsSaveDuringTheRunIsNeverFollowedByAStaleResult) {
  const std::string path = Claimants("operator.db", 200);
  for (int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    BulkOptions o = Options(path, jobs);
    o.store = true;
    o.results = Path("operator.csv");
    std::set<int32_t> edited;
    std::mutex mu;
    o.before_store = [&](int32_t first_id) {
      // The operator's save: the history change and the clearing of the
      // stored result in one transaction, from a connection of his own.
      const auto db = orv::db::OpenDatabase(path);
      const int32_t id = first_id + 1;
      orv::claimcalc::WriteTransaction t(*db);
      db->Execute("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (?, 3, 5)",
                  {Value(id)});
      orv::claimcalc::ClearStoredResult(*db, id);
      t.Commit();
      std::lock_guard lock(mu);
      edited.insert(id);
    };
    const BulkSummary s = RunAll(o);
    ASSERT_EQ(edited.size(), 5u);  // one in each batch of 40
    // Calculated again at the end of the run, from the saved history.
    EXPECT_EQ(s.skipped, 0);
    EXPECT_EQ(s.stored, 200);
    EXPECT_EQ(s.cleared, 0);
    ExpectNoStaleResult(o, std::vector<int32_t>(edited.begin(), edited.end()));
  }
}

// Between a batch's reading and its store, other programs change what the
// run read in each way that can change a figure, one way in each batch: a
// work row given to another claimant number, a user-defined factor, a result
// stored by another program, and a change made while the change history's
// recording was suspended. No result stored is one a history no longer
// gives, and each claimant so changed is calculated again at the end.
TEST_P(BulkCalc, NoKindOfChangeBetweenReadingAndStoringLeavesAStaleResult) {
  for (int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const std::string path = NewClaimantDb("kinds" + std::to_string(jobs) + ".db");
    orv::claimcalc::SyntheticOptions synthetic;
    synthetic.claimants = 200;
    orv::claimcalc::GenerateClaimants(path, Path("DUSTDATA.db"), synthetic);
    const auto db = orv::db::OpenDatabase(path);
    const auto id_of = [&db](const std::string& sql) {
      const auto r = db->OpenRecordset(sql, RecordsetType::Snapshot);
      return r->IsEOF() || r->Field(0).IsNull() ? 0 : r->Field(0).AsInt32();
    };
    // The claimants changed, one in each of the first four batches of 40.
    // Each change touches his figure alone, so that no other result depends
    // on whether its batch was stored before the change or after it.
    const int32_t loses_a_job = id_of(
        "SELECT CLAIMANTID FROM WORKHISTORY WHERE CLAIMANTID <= 40 GROUP BY CLAIMANTID "
        "HAVING COUNT(*) >= 2 ORDER BY CLAIMANTID LIMIT 1");
    // A user-defined factor of his own for a claimant of the second batch.
    const int32_t factor = 10100, factor_user = 41;
    db->Execute(
        "INSERT INTO USERFACTOR (ID, CODE, DESCR, JOBFACTOR, DUSTYTIMEFACTOR, RESPFACTOR, "
        "STARTYEAR, ENDYEAR, STARTYEARVAL, ENDYEARVAL, YEARSPASTCLOSURE) "
        "VALUES (?, 'U9', 'Fitter', 0.8, 0.5, 20, 1940, 1995, 1, 0.5, 0)",
        {Value(factor)});
    ASSERT_EQ(db->Execute("UPDATE WORKHISTORY SET JOBFACTORID = ?, RESPFACTORID = ? WHERE ID = "
                          "(SELECT MIN(ID) FROM WORKHISTORY WHERE CLAIMANTID = ?)",
                          {Value(factor), Value(factor), Value(factor_user)}),
              1);
    const int32_t result_by_another = 81;
    const int32_t unrecorded = id_of(
        "SELECT MIN(CLAIMANTID) FROM SMOKEHISTORY WHERE CLAIMANTID BETWEEN 121 AND 160");
    BulkOptions first = Options(path, 1);
    first.store = true;
    (void)RunAll(first);  // every claimant has a result to keep or replace
    ASSERT_GT(loses_a_job, 0);
    ASSERT_GT(unrecorded, 0);
    BulkOptions o = Options(path, jobs);
    o.store = true;
    o.results = Path("kinds.csv");
    o.before_store = [&](int32_t first_id) {
      const auto other = orv::db::OpenDatabase(path);
      switch ((first_id - 1) / 40) {
        case 0:
          // Given to a claimant number outside the batch: the record names
          // that number, not the claimant who lost the job. (No claimant
          // has it, so no result of another batch, which may be stored
          // before or after this, depends on the row.)
          ASSERT_EQ(other->Execute("UPDATE WORKHISTORY SET CLAIMANTID = 100000 WHERE ID = (SELECT "
                                   "MIN(ID) FROM WORKHISTORY WHERE CLAIMANTID = ?)",
                                   {Value(loses_a_job)}),
                    1);
          break;
        case 1:
          ASSERT_EQ(other->Execute("UPDATE USERFACTOR SET JOBFACTOR = JOBFACTOR / 2 WHERE ID = ?",
                                   {Value(factor)}),
                    1);
          break;
        case 2:
          other->Execute("UPDATE CLAIMANT SET RECOVERABLEQUANTUM = 0.5, CALCDATE = "
                         "'2001-01-01 00:00:00' WHERE ID = ?",
                         {Value(result_by_another)});
          break;
        case 3: {
          orv::claimcalc::WriteTransaction t(*other);
          orv::tarnby::SuspendChangeRecording(*other);
          other->Execute("UPDATE SMOKEHISTORY SET YEARS = YEARS + 7, SMOKECATEGORYID = 4 WHERE "
                         "CLAIMANTID = ?",
                         {Value(unrecorded)});
          orv::tarnby::ResumeChangeRecording(*other);
          t.Commit();
          break;
        }
        default:
          break;
      }
    };
    const BulkSummary s = RunAll(o);
    EXPECT_EQ(s.skipped, 0);
    EXPECT_EQ(s.cleared, 0);
    ExpectNoStaleResult(o, {loses_a_job, factor_user, result_by_another, unrecorded});
  }
}

// A history another program keeps changing without clearing the stored
// result: calculated again at the end of the run a few times, then its
// stored result is cleared and counted, never left standing.
TEST_P(BulkCalc, AHistoryThatKeepsChangingHasItsStoredResultCleared) {
  const std::string path = Claimants("changing.db", 80);
  for (bool keeps_changing : {false, true}) {
    SCOPED_TRACE(keeps_changing);
    BulkOptions first = Options(path, 1);
    first.store = true;
    (void)RunAll(first);  // every claimant has a stored result
    BulkOptions o = Options(path, 1);
    o.store = true;
    // A claimant the calculation accepts, so that he has a result to keep.
    int32_t victim = 0;
    for (const auto& [id, result] : StoredResults(path)) {
      if (result != "|||1" && id > 1) {
        victim = id;
        break;
      }
    }
    ASSERT_GT(victim, 0);
    auto change = [&path, &victim] {
      // Another program, which leaves the stored result as it was.
      const auto db = orv::db::OpenDatabase(path);
      db->Execute("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (?, 3, 1)",
                  {Value(victim)});
    };
    o.before_store = [&](int32_t first_id) {
      if (first_id <= victim) change();
    };
    int again = 0;
    o.before_store_again = [&](int32_t id) {
      EXPECT_EQ(id, victim);
      ++again;
      if (keeps_changing) change();
    };
    const BulkSummary s = RunAll(o);
    EXPECT_EQ(again, keeps_changing ? 3 : 1);
    EXPECT_EQ(s.cleared, keeps_changing ? 1 : 0);
    EXPECT_EQ(s.skipped, keeps_changing ? 1 : 0);
    EXPECT_EQ(SummaryLine(s).ends_with(", 1 cleared"), keeps_changing);
    const std::string now = StoredResults(path).at(victim);
    EXPECT_EQ(now == "|||1", keeps_changing) << now;
  }
}

namespace proof {

// The rows of --verify as ID -> REASON.
std::map<int32_t, std::string> Reasons(const std::string& csv) {
  std::map<int32_t, std::string> rows;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line.substr(0, line.find('\r')), "ID,REASON,STORED,NOW");
  while (std::getline(in, line)) {
    const size_t a = line.find(',');
    const size_t b = line.find(',', a + 1);
    rows[std::stoi(line.substr(0, a))] = line.substr(a + 1, b - a - 1);
  }
  return rows;
}

}  // namespace proof

// Each kind of change gives its own reason for exactly the claimants it
// touched; a planted figure is a defect.
TEST_P(BulkCalc, VerifyGivesEachChangeItsReasonForExactlyItsClaimants) {
  const std::string path = Claimants("verify.db", 80);
  BulkOptions store = Options(path, 2);
  store.store = true;
  (void)RunAll(store);
  std::vector<int32_t> stored;  // claimants with a stored result
  {
    const auto db = orv::db::OpenDatabase(path);
    for (auto r = db->OpenRecordset(
             "SELECT ID FROM CLAIMANT WHERE RECOVERABLEQUANTUM IS NOT NULL AND ID IN "
             "(SELECT CLAIMANTID FROM SMOKEHISTORY) ORDER BY ID",
             RecordsetType::Snapshot);
         !r->IsEOF(); r->MoveNext())
      stored.push_back(r->Field(0).AsInt32());
  }
  ASSERT_GE(stored.size(), 6u);
  const std::string db_arg = "--claimant-db '" + path + "' --verify ";
  const auto verify = [&](const std::string& args, int code, const std::string& dust = {}) {
    const Ran r = Calc(db_arg + args, dust);
    EXPECT_EQ(r.code, code) << args << "\n" << r.err;
    return proof::Reasons(r.out);
  };
  using Rows = std::map<int32_t, std::string>;
  EXPECT_EQ(verify("--all --jobs 2", 0), Rows{});
  EXPECT_EQ(verify("--claimant " + std::to_string(stored[0]), 0), Rows{});

  const int32_t job_edit = stored[0], smoke_edit = stored[1], stamped = stored[2],
                planted = stored[3], old_program = stored[4];
  const auto execute = [&](const std::string& sql) {
    const auto db = orv::db::OpenDatabase(path);
    EXPECT_EQ(db->Execute(sql), 1) << sql;
  };
  // Histories changed without the stored result being cleared, as another
  // program's direct write leaves them.
  execute("UPDATE WORKHISTORY SET ENDYEAR = ENDYEAR - 1 WHERE ID = (SELECT MIN(ID) FROM "
          "WORKHISTORY WHERE CLAIMANTID = " + std::to_string(job_edit) + ")");
  execute("UPDATE SMOKEHISTORY SET SMOKECATEGORYID = SMOKECATEGORYID % 3 + 1 WHERE ID = (SELECT "
          "MIN(ID) FROM SMOKEHISTORY WHERE CLAIMANTID = " + std::to_string(smoke_edit) + ")");
  const Rows histories = {{job_edit, "history changed"}, {smoke_edit, "history changed"}};
  EXPECT_EQ(verify("--all", 0), histories);

  // A new dust data version: every other stored result is listed for it.
  const std::string newer = Path("DUSTDATA-49.db");
  fs::copy_file(Path("DUSTDATA.db"), newer, fs::copy_options::overwrite_existing);
  {
    orv::db::OpenOptions o;
    o.connect = orv::DustDataConnect();
    const auto dust = orv::db::OpenDatabase(newer, o);
    ASSERT_EQ(dust->Execute("UPDATE PARMS SET PARMVALUE = '49' WHERE PARM = 'Version'"), 1);
  }
  Rows all_stored;
  {
    const auto db = orv::db::OpenDatabase(path);
    for (auto r = db->OpenRecordset("SELECT ID FROM CLAIMANT WHERE RECOVERABLEQUANTUM IS NOT NULL",
                                    RecordsetType::Snapshot);
         !r->IsEOF(); r->MoveNext())
      all_stored[r->Field(0).AsInt32()] = "dust data version";
  }
  Rows with_newer = all_stored;
  for (const auto& [id, reason] : histories) with_newer[id] = reason;
  EXPECT_EQ(verify("--all --jobs 2", 0, newer), with_newer);

  // An engine version stamped by hand, and a result stored by a program that
  // writes no fingerprint.
  execute("UPDATE CLAIMANT SET ENGINEVERSION = '0.9.0' WHERE ID = " + std::to_string(stamped));
  execute("UPDATE CLAIMANT SET CALCDATE = '2001-01-01 00:00:00' WHERE ID = " +
          std::to_string(old_program));
  Rows expected = histories;
  expected[stamped] = "engine version";
  expected[old_program] = "no fingerprint";
  EXPECT_EQ(verify("--all", 0), expected);

  // A planted figure: the same inputs give another one.
  execute("UPDATE CLAIMANT SET RECOVERABLEQUANTUM = RECOVERABLEQUANTUM + 1 WHERE ID = " +
          std::to_string(planted));
  expected[planted] = "figure differs";
  const Ran defect = Calc(db_arg + "--all --results '" + Path("verify.csv") + "'");
  EXPECT_EQ(defect.code, 1);
  EXPECT_NE(defect.err.find("DEFECT: claimant " + std::to_string(planted)), std::string::npos)
      << defect.err;
  EXPECT_EQ(proof::Reasons(ReadAll(Path("verify.csv"))), expected);
}

// A bulk store's writes are in the change history, each stored figure
// recorded as the value it left, under the calculator's name, on a file and
// on a server alike.
TEST_P(BulkCalc, ABulkStoreLeavesAChangeRecordForEveryResultItWrites) {
  const std::string path = Claimants("records.db", 30);
  const Ran r = Calc("--claimant-db '" + path + "' --all --store --jobs 2");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto db = orv::db::OpenDatabase(path);
  const auto count = [&](const std::string& sql) {
    return db->OpenRecordset(sql, RecordsetType::Snapshot)->Field(0).AsInt64();
  };
  const int64_t stored = count("SELECT COUNT(*) FROM CLAIMANT WHERE RECOVERABLEQUANTUM IS NOT NULL");
  ASSERT_GT(stored, 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM CHANGEHISTORY h JOIN CLAIMANT c ON c.ID = h.ROWKEY "
                  "WHERE h.TABLENAME = 'CLAIMANT' AND h.FIELD = 'RECOVERABLEQUANTUM' AND "
                  "h.PROGRAM = 'tarnby-calc' AND h.ACTION = 'update' AND "
                  "h.NEWVALUE = CAST(c.RECOVERABLEQUANTUM AS TEXT)"),
            stored);
  EXPECT_EQ(count("SELECT COUNT(*) FROM CHANGEHISTORY WHERE FIELD = 'CALCFINGERPRINT' AND "
                  "PROGRAM = 'tarnby-calc'"),
            stored);
}

TEST_F(BulkCalc, VerifyBelowLevelTwentyOneSaysSoAndListsNoFingerprint) {
  const std::string path = Path("level20.db");
  fs::remove(path);
  orv::tarnby::CreateClaimantDatabase(path, 20);
  orv::claimcalc::SyntheticOptions o;
  o.claimants = 12;
  orv::claimcalc::GenerateClaimants(path, Path("DUSTDATA.db"), o);
  BulkOptions store = Options(path, 1);
  store.store = true;
  const BulkSummary s = RunAll(store);
  ASSERT_GT(s.calculated, 0);
  const Ran r = Calc("--claimant-db '" + path + "' --verify --all");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("structure level 20 of 21"), std::string::npos) << r.err;
  const auto rows = proof::Reasons(r.out);
  EXPECT_EQ(static_cast<int64_t>(rows.size()), s.calculated);
  for (const auto& [id, reason] : rows) EXPECT_EQ(reason, "no fingerprint") << id;
  const auto db = orv::db::OpenDatabase(path);
  EXPECT_EQ(orv::tarnby::StructureLevel(*db), 20);  // read, not upgraded
}

INSTANTIATE_TEST_SUITE_P(Engines, BulkCalc, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? "Server" : "File";
                         });

}  // namespace
}  // namespace orv::calcrun
