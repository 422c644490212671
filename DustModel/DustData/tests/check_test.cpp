#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Dates.h"
#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "DustDataPassword.h"
#include "IMakeMatrix.h"
#include "OrvError.h"
#include "Registry.h"

namespace {

using namespace orv::dustdata::test;
namespace fs = std::filesystem;
namespace dd = orv::dustdata;
using orv::Value;

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = dir_ / "DUST.db";
    dd::BuildFromCsv(FixtureDir(), db_.string());
  }

  TempDir tmp_;
  fs::path dir_ = tmp_.path();
  fs::path db_;
};

TEST_F(CheckTest, FixtureIsSound) {
  const dd::CheckReport r = dd::CheckDatabase(db_.string());
  EXPECT_TRUE(r.ok()) << (r.problems.empty() ? "" : r.problems.front());
  EXPECT_EQ(r.version, "48");
  EXPECT_TRUE(r.matrix_ready);
  ASSERT_EQ(r.parameters.size(), 27u);
  EXPECT_EQ(r.parameters.back(),
            (std::pair<std::string, std::string>{"LiabilitySplitEnhancements", "True"}));
  EXPECT_EQ(r.row_counts.at(0), (std::pair<std::string, int64_t>{"PARMS", 27}));
  const auto lines = dd::FormatCheckReport(r);
  EXPECT_EQ(lines.front(), "Dust data version: 48");
  EXPECT_EQ(lines.back(), "No inconsistencies found.");
}

struct Damage {
  const char* sql;
  std::vector<Value> values;
  const char* problem_part;
};

TEST_F(CheckTest, InconsistenciesAreReported) {
  const Damage cases[] = {
      {"UPDATE PARMS SET PARMVALUE = ? WHERE PARM = 'Version'",
       {Value("47")},
       "the version 47 is older than the required version 48"},
      {"UPDATE PARMS SET PARMVALUE = ? WHERE PARM = 'Version'",
       {Value("x")},
       "the version \"x\" is not a number"},
      {"DELETE FROM PARMS WHERE PARM = ?",
       {Value("BaseYear")},
       "the model parameter BaseYear is missing"},
      {"UPDATE PARMS SET PARMVALUE = ? WHERE PARM = 'LimitationYear'",
       {Value("1954.5x")},
       "LimitationYear \"1954.5x\" is not a 16-bit whole number"},
      {"UPDATE PARMS SET PARMVALUE = ? WHERE PARM = 'AvgYrPXR'", {Value("0")}, "AvgYrPXR is 0"},
      {"UPDATE PARMS SET PARMVALUE = ? WHERE PARM = 'SmallMineJobID'",
       {Value("77")},
       "SmallMineJobID 77 names no row of JOBFACTORS"},
      {"INSERT INTO SURVEYS VALUES (?, 'SURVEY', 1960, 1960, 1)",
       {Value(555)},
       "SURVEYS.COLLIERYID names rows missing from COLLIERIES: 555"},
      {"INSERT INTO DUSTMATRIX VALUES (?, 1950, 1940, 1, NULL, NULL)",
       {Value(102)},
       "DUSTMATRIX: 1 runs end before they start"},
      {"INSERT INTO TORTIOUS VALUES (?, 1960, 1961, 'N', 1)",
       {Value(103)},
       "TORTIOUS: runs of years overlap for colliery 103"},
      {"UPDATE TORTIOUS SET SURFACE = ? WHERE COLLIERYID = 105",
       {Value("n")},
       "TORTIOUS.SURFACE holds values outside 'Y', 'N': n"},
      // The expansion's queries are checked as well as the engine's.
      {"DELETE FROM StoredQueries WHERE Name = ?",
       {Value("qOpenRange")},
       "stored queries missing: qOpenRange"},
      {"DELETE FROM DUSTMATRIX WHERE COLLIERYID > ?",
       {Value(0)},
       "the matrix is marked expanded but holds no rows"},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.problem_part);
    const fs::path copy = dir_ / "damaged.db";
    fs::remove(copy);
    fs::copy_file(db_, copy);
    {
      auto d = OpenDb(fs::path(copy).string());
      d->Execute(c.sql, c.values);
      d->Close();
    }
    const dd::CheckReport r = dd::CheckDatabase(copy.string());
    ASSERT_EQ(r.problems.size(), 1u) << (r.problems.empty() ? "none" : r.problems.front());
    EXPECT_NE(r.problems[0].find(c.problem_part), std::string::npos) << r.problems[0];
  }
}

// A query of the check that fails is an error of its own, never a check
// quietly passed: here the factor tables' lookups by ID.
TEST_F(CheckTest, AFailingQueryIsRaisedNotPassedOver) {
  {
    auto d = OpenDb(db_.string());
    d->Execute("ALTER TABLE RESPFACTORS RENAME COLUMN ID TO RESPID");
    d->Close();
  }
  try {
    (void)dd::CheckDatabase(db_.string());
    ADD_FAILURE() << "checked";
  } catch (const orv::OrvError& e) {
    EXPECT_NE(e.Description().find("ID"), std::string::npos) << e.Description();
  }
}

// A supplied matrix with a one-year strike inside a longer run that starts
// in the same year: the lookup takes the strike, whichever row came first,
// and check warns without failing.
TEST_F(CheckTest, OverlappingMatrixRunsTakeTheMostSpecificAndWarn) {
  struct Case {
    const char* name;
    std::vector<const char*> inserts;  // in this order, after 101's 1973-1983 run is removed
  };
  const Case cases[] = {
      {"strike first",
       {"INSERT INTO DUSTMATRIX VALUES (101, 1973, 1973, 0, 'STRIKE', NULL)",
        "INSERT INTO DUSTMATRIX VALUES (101, 1973, 1983, 2.6, 'EXTRAPOLATED', NULL)"}},
      {"strike last",
       {"INSERT INTO DUSTMATRIX VALUES (101, 1973, 1983, 2.6, 'EXTRAPOLATED', NULL)",
        "INSERT INTO DUSTMATRIX VALUES (101, 1973, 1973, 0, 'STRIKE', NULL)"}},
      {"inside a run begun earlier",
       {"INSERT INTO DUSTMATRIX VALUES (101, 1973, 1983, 2.6, 'EXTRAPOLATED', NULL)",
        "INSERT INTO DUSTMATRIX VALUES (101, 1975, 1975, 0, 'CLOSED', NULL)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path copy = dir_ / "overlap.db";
    fs::remove(copy);
    fs::copy_file(db_, copy);
    auto d = OpenDb(fs::path(copy).string());
    d->Execute("DELETE FROM DUSTMATRIX WHERE COLLIERYID = 101 AND STARTYEAR = 1973");
    for (const char* sql : c.inserts) d->Execute(sql);
    const auto marker_of = [&](int year) {
      auto q = d->QueryDefs("qDustMatrixData");
      q->SetParameter("WhatCollieryID", Value(101));
      q->SetParameter("WhatYear", Value(year));
      auto rs = q->OpenRecordset(orv::db::RecordsetType::Snapshot);
      return rs->IsEOF() ? std::string("(none)") : rs->Field("Marker").TextOrEmpty();
    };
    const int special = std::string(c.name) == "inside a run begun earlier" ? 1975 : 1973;
    EXPECT_EQ(marker_of(special), special == 1973 ? "STRIKE" : "CLOSED");
    EXPECT_EQ(marker_of(1974), "EXTRAPOLATED");
    d->Close();

    const dd::CheckReport r = dd::CheckDatabase(copy.string());
    EXPECT_TRUE(r.ok()) << r.problems.front();
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("DUSTMATRIX: runs of years overlap for colliery 101"),
              std::string::npos);
    const auto lines = dd::FormatCheckReport(r);
    EXPECT_EQ(lines.back(), "No inconsistencies found.");
    EXPECT_EQ(lines[lines.size() - 3], "Warnings: 1");
  }
}

// A stand-in expansion that records its call and marks the matrix ready.
class FakeMakeMatrix : public orv::Component, public orv::IMakeMatrix {
 public:
  static inline std::vector<std::string> calls;
  static inline bool result = true;

  std::string ClassName() const override { return "OrvDustM.MakeMatrix"; }
  bool MakeMatrix(const std::string&, const std::string&, int16_t, int16_t, int16_t,
                  int16_t) override {
    return false;
  }
  bool MakeMatrixPastClosure(const std::string& db, const std::string& pass, int16_t def_start,
                             int16_t def_end, int16_t aa_start, int16_t aa_end,
                             int16_t max_past) override {
    calls.push_back(db + " " + pass + " " + std::to_string(def_start) + " " +
                    std::to_string(def_end) + " " + std::to_string(aa_start) + " " +
                    std::to_string(aa_end) + " " + std::to_string(max_past));
    if (!result) return false;
    auto d = OpenDb(fs::path(db).string());
    d->Execute("UPDATE PARMS SET PARMVALUE = '1' WHERE PARM = 'MatrixReady'");
    d->Close();
    return true;
  }
};

TEST_F(CheckTest, ExpandCallsTheExpansionWithTheParameterYearsAndCompacts) {
  const fs::path src = CopyFixture(dir_ / "src");
  fs::remove(src / "dust_matrix.csv");
  const fs::path db = dir_ / "raw.db";
  dd::BuildFromCsv(src.string(), db.string());
  orv::RegisterFactory("OrvDustM.MakeMatrix", [] { return std::make_shared<FakeMakeMatrix>(); });
  FakeMakeMatrix::calls.clear();
  FakeMakeMatrix::result = true;
  dd::ExpandDatabase(db.string());
  ASSERT_EQ(FakeMakeMatrix::calls.size(), 1u);
  EXPECT_EQ(FakeMakeMatrix::calls[0], fs::absolute(db).string() + " " + orv::kDustDataPassword +
                                          " 1947 " + std::to_string(orv::CurrentYear() + 100) +
                                          " 1947 2005 5");
  EXPECT_TRUE(dd::CheckDatabase(db.string()).matrix_ready);
  // Compacted back under its own name, nothing left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);

  FakeMakeMatrix::result = false;
  try {
    dd::ExpandDatabase(db.string());
    ADD_FAILURE();
  } catch (const orv::OrvError& e) {
    EXPECT_EQ(e.Number(), 9999);
  }
  orv::RegisterFactory("OrvDustM.MakeMatrix", {});
}

}  // namespace
