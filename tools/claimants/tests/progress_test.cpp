// The progress the claimant database's long tasks tell (import, export,
// copy, check, the change history as CSV): each step in one run of calls,
// done going up to its total, told every few thousand rows rather than for
// each, on a file and on the test server.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ChangeHistory.h"
#include "ClaimantsCsv.h"
#include "Database.h"
#include "TempDir.h"
#include "TestServer.h"
#include "modTarnbyDatabase.h"

namespace orv::claimants {
namespace {

namespace fs = std::filesystem;

// More rows than are told at once, so that a table's step has calls
// between its start and its end.
constexpr int kClaimants = 5000;
constexpr int kEvery = 4096;

struct Call {
  std::string step;
  int64_t done;
  int64_t total;
};

class Recorder {
 public:
  ProgressFn Fn() {
    return [this](std::string_view step, int64_t done, int64_t total) {
      calls_.push_back({std::string(step), done, total});
    };
  }
  const std::vector<Call>& Calls() const { return calls_; }
  // The steps in the order they began.
  std::vector<std::string> Steps() const {
    std::vector<std::string> steps;
    for (const Call& c : calls_)
      if (steps.empty() || steps.back() != c.step) steps.push_back(c.step);
    return steps;
  }
  std::vector<Call> Of(const std::string& step) const {
    std::vector<Call> of;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(of),
                 [&](const Call& c) { return c.step == step; });
    return of;
  }
  // The total a step ended at (-1 when it was never told).
  int64_t EndOf(const std::string& step) const {
    const std::vector<Call> of = Of(step);
    return of.empty() ? -1 : of.back().done;
  }
  void Clear() { calls_.clear(); }

 private:
  std::vector<Call> calls_;
};

// What every caller may count on: a step is told in one run of calls and
// does not come back once left; its total stays; done never goes back nor
// past the total; the last call of each says done == total.
void ExpectWellFormed(const Recorder& r) {
  const std::vector<std::string> steps = r.Steps();
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(steps[i]);
    EXPECT_EQ(std::count(steps.begin(), steps.end(), steps[i]), 1) << "the step came back";
    const std::vector<Call> of = r.Of(steps[i]);
    for (size_t k = 0; k < of.size(); ++k) {
      EXPECT_EQ(of[k].total, of.front().total);
      EXPECT_GE(of[k].done, 0);
      EXPECT_LE(of[k].done, of[k].total);
      if (k > 0) {
        EXPECT_GE(of[k].done, of[k - 1].done) << "call " << k;
      }
    }
    EXPECT_EQ(of.back().done, of.back().total);
  }
}

// A step over `rows` rows: told between its start and its end, but not
// for each row.
void ExpectToldNowAndThen(const Recorder& r, const std::string& step, int64_t rows) {
  SCOPED_TRACE(step);
  const std::vector<Call> of = r.Of(step);
  ASSERT_FALSE(of.empty());
  EXPECT_EQ(of.front().done, 0);
  EXPECT_TRUE(std::any_of(of.begin(), of.end(),
                          [](const Call& c) { return c.done > 0 && c.done < c.total; }));
  EXPECT_LE(static_cast<int64_t>(of.size()), rows / kEvery + 3);
}

class ProgressTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    name_ = name.substr(0, 40);
    db_ = NewPlace("c.db");
    tarnby::CreateClaimantDatabase(db_);
    WriteFolder();
  }
  bool OnServer() const { return GetParam(); }
  std::string NewPlace(const std::string& name) {
    if (OnServer()) return orv::testing::NewServerDatabase("p_" + name_ + "_" + name.substr(0, 1));
    return (fs::path(dir_.path()) / name).string();
  }

  // A claimant folder of kClaimants claimants with two jobs and a smoking
  // entry each.
  void WriteFolder() {
    source_ = fs::path(dir_.path()) / "source";
    fs::create_directories(source_);
    std::ofstream c(source_ / "claimants.csv"), w(source_ / "work_history.csv"),
        s(source_ / "smoke_history.csv");
    c << "ID,TITLE,FIRSTNAME,SURNAME,REF,SEX,JURISDICTION\n";
    w << "ID,CLAIMANTID,COLLIERYID,JOBFACTORID,RESPFACTORID,STARTYEAR,ENDYEAR\n";
    s << "ID,CLAIMANTID,SMOKECATEGORYID,STARTYEAR,ENDYEAR\n";
    for (int i = 1; i <= kClaimants; ++i) {
      c << i << ",Mr,Walter,Harker" << i << ",HKR/" << i << ",Male," << i % 2 << "\n";
      w << 2 * i - 1 << "," << i << ",1003,8,1,1948,1951\n";
      w << 2 * i << "," << i << ",1004,8,1,1952,1970\n";
      s << i << "," << i << ",3,1946,1968\n";
    }
  }

  orv::test::TempDir dir_;
  std::string name_;
  std::string db_;
  fs::path source_;
};

// Import: the whole-file check of a file, then each file in the order it
// is read, by its bytes, then the commit. Export: each file by the rows of
// its table.
TEST_P(ProgressTest, ImportAndExportTellEachFile) {
  Recorder r;
  const ImportCounts in = ImportFolder(db_, source_.string(), r.Fn());
  ASSERT_EQ(in.claimants, kClaimants);
  ExpectWellFormed(r);
  std::vector<std::string> expected = {"Importing claimants.csv", "Importing work_history.csv",
                                       "Importing smoke_history.csv", "Writing the import"};
  if (!OnServer()) expected.insert(expected.begin(), "Checking the whole file");
  EXPECT_EQ(r.Steps(), expected);
  for (const char* file : {"claimants.csv", "work_history.csv", "smoke_history.csv"}) {
    EXPECT_EQ(r.EndOf(std::string("Importing ") + file),
              static_cast<int64_t>(fs::file_size(source_ / file)))
        << file;
  }
  ExpectToldNowAndThen(r, "Importing work_history.csv", in.work);

  r.Clear();
  const ImportCounts out = ExportFolder(db_, (fs::path(dir_.path()) / "out").string(), r.Fn());
  ExpectWellFormed(r);
  expected = {"Exporting claimants.csv", "Exporting work_history.csv",
              "Exporting smoke_history.csv", "Exporting user_factors.csv"};
  if (!OnServer()) expected.insert(expected.begin(), "Checking the whole file");
  EXPECT_EQ(r.Steps(), expected);
  EXPECT_EQ(r.EndOf("Exporting claimants.csv"), out.claimants);
  EXPECT_EQ(r.EndOf("Exporting work_history.csv"), out.work);
  EXPECT_EQ(r.EndOf("Exporting smoke_history.csv"), out.smoking);
  EXPECT_EQ(r.EndOf("Exporting user_factors.csv"), 0);
  ExpectToldNowAndThen(r, "Exporting claimants.csv", out.claimants);
  ExpectToldNowAndThen(r, "Exporting work_history.csv", out.work);
}

// Every table written, then the copy written out, then every table
// compared, each by its rows.
TEST_P(ProgressTest, CopyTellsEachTableWrittenThenCompared) {
  ImportFolder(db_, source_.string());
  Recorder r;
  const CopyReport copied = CopyDatabase(db_, NewPlace("d.db"), false, r.Fn());
  ExpectWellFormed(r);
  const std::vector<std::string> steps = r.Steps();
  const auto at = [&](const std::string& step) {
    return std::find(steps.begin(), steps.end(), step) - steps.begin();
  };
  const auto written = at("Writing the copy");
  ASSERT_LT(written, static_cast<long>(steps.size()));
  int64_t rows = 0, tables = 0;
  for (const std::string& step : steps) {
    if (step.rfind("Copying ", 0) != 0) continue;
    const std::string table = step.substr(8);
    SCOPED_TRACE(table);
    ++tables;
    rows += r.EndOf(step);
    EXPECT_LT(at(step), written);
    EXPECT_GT(at("Comparing " + table), written);
    EXPECT_EQ(r.EndOf("Comparing " + table), r.EndOf(step));
  }
  EXPECT_EQ(tables, copied.tables);
  EXPECT_EQ(rows, copied.rows);
  EXPECT_EQ(r.EndOf("Copying CLAIMANT"), kClaimants);
  EXPECT_EQ(r.EndOf("Copying WORKHISTORY"), 2 * kClaimants);
  ExpectToldNowAndThen(r, "Copying WORKHISTORY", 2 * kClaimants);
  ExpectToldNowAndThen(r, "Comparing WORKHISTORY", 2 * kClaimants);
}

// The check's stages (a file's pages and indexes first), ending with the
// change history; the history's CSV by the records read, the same CSV
// whether or not anyone is told.
TEST_P(ProgressTest, CheckAndHistoryTellTheirStages) {
  ImportFolder(db_, source_.string());
  Recorder r;
  EXPECT_TRUE(CheckDatabase(db_, {}, r.Fn()).ok());
  ExpectWellFormed(r);
  std::vector<std::string> expected = {"Checking the histories' claimants",
                                       "Running the stored queries",
                                       "Checking the change history"};
  if (!OnServer()) {
    expected.insert(expected.begin(), {"Checking the whole file", "Checking the file's indexes"});
    expected.insert(expected.end() - 1, "Checking the fields' values");
  }
  EXPECT_EQ(r.Steps(), expected);
  EXPECT_EQ(r.EndOf("Checking the change history"),
            1 + static_cast<int64_t>(tarnby::TrackedTables().size()));

  r.Clear();
  const db::DatabasePtr d = tarnby::OpenForReading(db_);
  std::ostringstream told, untold;
  tarnby::WriteHistoryCsv(*d, told, std::nullopt, std::nullopt, r.Fn());
  tarnby::WriteHistoryCsv(*d, untold, std::nullopt, std::nullopt);
  EXPECT_EQ(told.str(), untold.str());
  ExpectWellFormed(r);
  EXPECT_EQ(r.Steps(), std::vector<std::string>{"Reading the change history"});
  const std::vector<Call> of = r.Of("Reading the change history");
  // A page of 10000 records at a time: the import left many pages.
  EXPECT_GT(of.size(), 3u);
  EXPECT_GT(of.back().total, 10000);
  // One claimant's changes: the same record numbers, read through.
  r.Clear();
  std::ostringstream one;
  tarnby::WriteHistoryCsv(*d, one, 7, std::nullopt, r.Fn());
  ExpectWellFormed(r);
  EXPECT_EQ(r.EndOf("Reading the change history"), of.back().total);
  d->Close();
}

INSTANTIATE_TEST_SUITE_P(Engines, ProgressTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? "Server" : "File";
                         });

}  // namespace
}  // namespace orv::claimants
