// tarnby-calc given files from elsewhere: a dust data file whose stored
// query never ends, a claimant file with a trigger planted in it, and a
// temporary folder other users share.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "Database.h"
#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "HistoryJson.h"
#include "InputError.h"
#include "DustDataPassword.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "modTarnbyDatabase.h"

namespace orv::calcrun {
namespace {

namespace fs = std::filesystem;
using Ran = orv::test::ToolRun;

constexpr const char* kHistory = R"({"claimant": {"name": "A"},
  "jobs": [{"colliery_id": 101, "start_year": 1955, "end_year": 1970,
            "job_factor_id": 1, "resp_factor_id": 1}], "smoking": []})";

class HostileCalc : public ::testing::Test {
 protected:
  void SetUp() override {
    dust_ = tmp_.File("DUST.db");
    orv::dustdata::BuildFromCsv(orv::dustdata::test::FixtureDir(), dust_, true);
    history_ = tmp_.File("history.json");
    std::ofstream(history_) << kHistory;
  }
  Ran Calc(const std::string& args, const std::string& prefix = {}) {
    return orv::test::RunTool("tarnby-calc", "--dust-db '" + dust_ + "' " + args, tmp_.path(),
                              prefix);
  }
  orv::test::TempDir tmp_;
  std::string dust_;
  std::string history_;
};

// The report that goes to standard output passes through a file of the
// user's own: in a private folder of the runtime folder, never at a name in
// the shared temporary folder that another user could foresee.
TEST_F(HostileCalc, HtmlForStandardOutputNeverUsesTheSharedTemporaryFolder) {
  const std::string shared = tmp_.File("shared");
  const std::string runtime = tmp_.File("runtime");
  fs::create_directories(shared);
  fs::create_directories(runtime);
  ::chmod(shared.c_str(), 0555);  // nobody may write here: the program must not need to
  ::chmod(runtime.c_str(), 0700);
  const Ran r = Calc("--history '" + history_ + "' --format html",
                     "TMPDIR='" + shared + "' XDG_RUNTIME_DIR='" + runtime + "' ");
  ::chmod(shared.c_str(), 0755);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Claimant: A"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(runtime));
  EXPECT_TRUE(fs::is_empty(shared));
}

// A stored query another program made endless stops within the budget:
// bad input naming the query and the file.
TEST_F(HostileCalc, AStoredQueryThatNeverEndsIsBadInputNamingIt) {
  {
    db::OpenOptions o;
    o.connect = orv::DustDataConnect();
    auto d = db::OpenDatabase(dust_, o);
    d->Execute("UPDATE StoredQueries SET SQL = ? WHERE Name = 'qDustMatrixData'",
               {Value("WITH RECURSIVE r(x) AS (SELECT :WhatCollieryID UNION ALL SELECT x + 1 "
                      "FROM r) SELECT count(*) AS DUSTVAL, :WhatYear AS STARTYEAR FROM r")});
    d->Close();
  }
  const Ran r = Calc("--history '" + history_ + "'");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("The stored query 'qDustMatrixData' of the read-only database '" + dust_ +
                       "' was stopped"),
            std::string::npos)
      << r.err;
}

// A trigger planted in a claimant file would run when the result is
// stored: the file is refused before anything is read or written.
TEST_F(HostileCalc, AClaimantFileWithAPlantedTriggerIsRefusedNamingIt) {
  const std::string claimants = tmp_.File("claims.db");
  orv::tarnby::CreateClaimantDatabase(claimants);
  {
    auto d = db::OpenDatabase(claimants);
    d->Execute("INSERT INTO CLAIMANT (ID, SURNAME) VALUES (1, 'A')");
    d->Execute("INSERT INTO SMOKEHISTORY (CLAIMANTID, SMOKECATEGORYID, YEARS) VALUES (1, 2, 5)");
    d->Execute(
        "CREATE TRIGGER forget AFTER UPDATE ON CLAIMANT BEGIN DELETE FROM SMOKEHISTORY; END");
    d->Close();
  }
  const Ran r = Calc("--claimant-db '" + claimants + "' --claimant 1 --store");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("the trigger 'forget' on the table 'CLAIMANT'"), std::string::npos)
      << r.err;
  auto d = db::OpenDatabase(claimants);
  EXPECT_EQ(d->OpenRecordset("SMOKEHISTORY", db::RecordsetType::Snapshot)->RecordCount(), 1);
}

// The history reader keeps to the claimant database's field sizes and to a
// stated number of entries, and refuses what the calculation cannot count,
// each naming the field.
TEST(HistoryLimits, TooMuchIsBadInputNamingTheField) {
  auto jobs = [](size_t n) {
    std::string list;
    for (size_t i = 0; i < n; ++i)
      list += std::string(i ? "," : "") + R"({"start_year": 1950, "end_year": 1951})";
    return R"({"jobs": [)" + list + "]}";
  };
  struct Case {
    std::string json;
    const char* field;
  };
  const Case cases[] = {
      {R"({"claimant": {"name": ")" + std::string(164, 'a') + R"("}})", "claimant.name"},
      {R"({"claimant": {"name": "A\u0000)" + std::string(100000, 'a') + R"("}})",
       "claimant.name"},
      {R"({"claimant": {"zurir_ref": "Z\u0000-1"}})", "claimant.zurir_ref"},
      {R"({"claimant": {"solicitor_ref": ")" + std::string(51, 'r') + R"("}})",
       "claimant.solicitor_ref"},
      {R"({"jobs": [{"start_year": 1950, "end_year": 1951, "pit_name": ")" + std::string(51, 'p') +
           R"("}]})",
       "jobs[1].pit_name"},
      {jobs(kMaxHistoryEntries + 1), "jobs"},
      {R"({"smoking": [{"start_year": -32768, "end_year": 32767}]})", "smoking[1].end_year"},
      {R"({"jobs": [{"start_year": -32768, "end_year": 32767}]})", "jobs[1].end_year"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    try {
      (void)ParseHistory(c.json, "h.json");
      ADD_FAILURE() << "accepted";
    } catch (const orv::InputError& e) {
      EXPECT_EQ(e.Field(), c.field) << e.what();
    }
  }
  // As much as a career has is read.
  EXPECT_EQ(ParseHistory(jobs(kMaxHistoryEntries), "h.json").jobs.size(), kMaxHistoryEntries);
  EXPECT_EQ(ParseHistory(R"({"claimant": {"name": ")" + std::string(163, 'a') + R"("}})", "h.json")
                .claimant.Name.size(),
            163u);
}

// A stored result is calculated from the claimant's own record only, and a
// jurisdiction other than the two is refused, never taken as Scotland.
TEST_F(HostileCalc, JurisdictionsAreTheClaimantsOwnAndOnlyTheTwo) {
  const std::string claimants = tmp_.File("claims.db");
  orv::tarnby::CreateClaimantDatabase(claimants);
  {
    auto d = db::OpenDatabase(claimants);
    d->Execute("INSERT INTO CLAIMANT (ID, SURNAME, JURISDICTION) VALUES (1, 'A', 0), (2, 'B', 2)");
    d->Execute("INSERT INTO WORKHISTORY (CLAIMANTID, COLLIERYID, JOBFACTORID, RESPFACTORID, "
               "STARTYEAR, ENDYEAR) VALUES (1, 101, 1, 1, 1955, 1970), (2, 101, 1, 1, 1955, 1970)");
    d->Close();
  }
  const std::string db = "--claimant-db '" + claimants + "' ";
  const Ran overridden = Calc(db + "--claimant 1 --jurisdiction 1 --store");
  EXPECT_EQ(overridden.code, 2);
  EXPECT_NE(overridden.err.find("--jurisdiction"), std::string::npos) << overridden.err;
  EXPECT_EQ(Calc(db + "--claimant 1 --jurisdiction 1").code, 0);  // a what-if
  const Ran unknown = Calc(db + "--claimant 2");
  EXPECT_NE(unknown.code, 0);
  EXPECT_NE(unknown.err.find("The jurisdiction 2 is not known"), std::string::npos)
      << unknown.err;
}

}  // namespace
}  // namespace orv::calcrun
