// The dust data connection on small databases: opening, model parameters,
// the version rule and the lookups the calculation repeats.
#include <gtest/gtest.h>

#include <fstream>

#include "DataLookups.h"
#include "Dates.h"
#include "Numbers.h"
#include "ModelParameters.h"
#include "OrvError.h"
#include "TestDustData.h"
#include "detail/Connection.h"
#include "modGlobals.h"

namespace orv::dust {
namespace {

using test::Edit;
using test::TempDir;

// Runs SetupDataDB and returns the failure it raises.
OrvError SetupFailure(const std::string& path) {
  try {
    (void)SetupDataDB(path);
  } catch (const OrvError& e) {
    return e;
  }
  ADD_FAILURE() << "SetupDataDB did not fail for " << path;
  return OrvError(0, {}, {});
}

Edit SetParm(const std::string& key, const std::string& value) {
  return {"UPDATE PARMS SET PARMVALUE = ? WHERE PARM = ?", {value, key}};
}
Edit DropParm(const std::string& key) { return {"DELETE FROM PARMS WHERE PARM = ?", {key}}; }

TEST(SetupDataDB, MissingFileFailsBeforeOpeningAndLeavesDataReadyFalse) {
  TempDir dir;
  const std::string missing = dir.File("NOPE.db");
  test::OnFreshThread([&] {
    const OrvError e = SetupFailure(missing);
    EXPECT_EQ(e.Number(), kComponentErrorBase + 53);
    EXPECT_EQ(e.Source(), "SetupDataDB: ");
    EXPECT_EQ(e.Description(), "File not found - " + missing);
    EXPECT_FALSE(DataReady());
  });
}

TEST(SetupDataDB, OpensTheFixtureAndReadsEveryParameter) {
  ASSERT_TRUE(SetupDataDB(test::FixtureDb()));
  EXPECT_TRUE(DataReady());
  const ModelParms& p = Parms();
  EXPECT_EQ(p.Version, "48");
  EXPECT_FLOAT_EQ(p.AvgYrPXR, 3.5f);
  EXPECT_EQ(p.LimitationYear, 1954);
  EXPECT_EQ(p.ScottishLimitationYear, 1964);
  EXPECT_EQ(p.SmallMineJobID, 20);
  EXPECT_EQ(p.RespiratorWornRespID, 3);
  EXPECT_EQ(p.MatrixReady, 1);
  EXPECT_EQ(p.MaxYearsPastClosure, 5);
  EXPECT_TRUE(p.LiabilitySplitEnhancements);
  EXPECT_EQ(DefStartYear(), 1947);
  EXPECT_EQ(DefEndYear(), CurrentYear() + 100);
}

TEST(SetupDataDB, VersionRule) {
  struct Case {
    const char* version;
    int32_t error;  // 0: opens
    const char* description;
  };
  const Case cases[] = {
      {"47", 1234,
       "The version of your dust database is 47 which is less than the required "
       "version of 48"},
      {"47.4", 1234,
       "The version of your dust database is 47.4 which is less than the required "
       "version of 48"},
      {"47.5", 0, ""},  // rounds to 48
      {"48", 0, ""},
      {"52", 0, ""},
      {"forty-eight", 13, "Type mismatch"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    const std::string path = dir.File(std::string("v") + c.version + ".db");
    test::CopyFixture(path, {SetParm("Version", c.version)});
    if (c.error == 0) {
      EXPECT_TRUE(SetupDataDB(path));
      continue;
    }
    const OrvError e = SetupFailure(path);
    EXPECT_EQ(e.Number(), kComponentErrorBase + c.error);
    EXPECT_EQ(e.Source(), "SetupDataDB: Reading model parameters");
    EXPECT_EQ(e.Description(), c.description);
  }
}

TEST(SetupDataDB, MissingParameterNamesItsMessage) {
  const std::pair<const char*, const char*> cases[] = {
      {"Version", "Error reading Version model parameter"},
      {"AvgYrPXR", "Error reading AvgYrPXR model parameter"},
      {"SmallMineJobID", "Error reading ID of Job Factor to be used for Small Mines"},
      {"RespiratorWornRespID",
       "Error reading ID of Respirator Factor to be used when a respirator was worn"},
      {"BordPillarTFac", "Error reading BordPillarTFac model parameter"},  // never consulted
      {"MaxYearsPastClosure", "Error reading MaxYearsPastClosure model parameter"},
  };
  TempDir dir;
  for (const auto& [key, message] : cases) {
    SCOPED_TRACE(key);
    const std::string path = dir.File(std::string(key) + ".db");
    test::CopyFixture(path, {DropParm(key)});
    const OrvError e = SetupFailure(path);
    EXPECT_EQ(e.Number(), kComponentErrorBase + 9999);
    EXPECT_EQ(e.Source(), "SetupDataDB: Reading model parameters");
    EXPECT_EQ(e.Description(), message);
  }
}

// ReadParms walks the dust data's model parameter table and keeps each
// value in a field of its own; the two lists must agree entry by entry.
TEST(ModelParameterTable, ReadParmsKeepsEachParameterInAFieldOfItsKind) {
  const std::vector<orv::dustdata::ParmKind> kinds = detail::ParmFieldKinds();
  ASSERT_EQ(kinds.size(), std::size(orv::dustdata::kModelParameters));
  for (size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_EQ(kinds[i], orv::dustdata::kModelParameters[i].kind)
        << orv::dustdata::kModelParameters[i].key;
  }
}

TEST(SetupDataDB, LiabilitySplitEnhancementsMayBeAbsent) {
  TempDir dir;
  const std::string path = dir.File("nolse.db");
  test::CopyFixture(path, {DropParm("LiabilitySplitEnhancements")});
  ASSERT_TRUE(SetupDataDB(path));
  EXPECT_FALSE(Parms().LiabilitySplitEnhancements);
}

TEST(SetupDataDB, ParameterThatDoesNotConvertFailsWithTheConversionError) {
  struct Case {
    const char* key;
    const char* value;
    int32_t error;
  };
  const Case cases[] = {
      {"LimitationYear", "nineteen", 13},
      {"AvgYrPXR", "1e39", 6},  // outside single range: overflow, not infinity
      {"AvgYrPXR", "-1e39", 6},
      {"LimitationYear", "40000", 6},
  };
  TempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    const std::string path = dir.File("bad" + std::to_string(n++) + ".db");
    test::CopyFixture(path, {SetParm(c.key, c.value)});
    const OrvError e = SetupFailure(path);
    EXPECT_EQ(e.Number(), kComponentErrorBase + c.error);
    EXPECT_EQ(e.Source(), "SetupDataDB: Reading model parameters");
  }
}

TEST(SetupDataDB, AFileThatCannotBeOpenedKeepsTheWorkingConnection) {
  TempDir dir;
  const std::string text = dir.File("notes.db");
  { std::ofstream(text) << "these are notes, not a dust data database\n"; }
  test::OnFreshThread([&] {
    ASSERT_TRUE(SetupDataDB(test::FixtureDb()));
    const OrvError e = SetupFailure(text);
    EXPECT_EQ(e.Number(), kComponentErrorBase + 3051);
    EXPECT_NE(e.Description().find(text), std::string::npos) << e.Description();
    // The engine goes on with the database it had.
    EXPECT_EQ(DataDBName(), test::FixtureDb());
    int16_t start = 0, end = 0;
    EXPECT_TRUE(GetOpenRange(101, start, end));
    EXPECT_EQ(Parms().Version, "48");
  });
}

class Lookups : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static TempDir dir;
    path_ = dir.File("lookups.db");
    // A colliery of the small-mines area without a split of its own.
    test::CopyFixture(path_, {{"INSERT INTO COLLIERIES (ID, COLLIERY, COALAREAID) VALUES "
                               "(106, 'Fenwick Drift', 4)",
                               {}}});
  }
  void SetUp() override { ASSERT_TRUE(SetupDataDB(path_)); }
  static std::string path_;
};
std::string Lookups::path_;

TEST_F(Lookups, OpenRangeFallsBackToTheMatrixRange) {
  struct Case {
    int32_t colliery;
    int16_t start, end;  // 0: DefEndYear
  };
  const Case cases[] = {
      {101, 1947, 1985},  // both years
      {102, 1950, 0},     // no closing year
      {901, 1947, 0},     // neither year: DefStartYear too
      {999, 1947, 0},     // no row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colliery);
    int16_t start = -1, end = -1;
    EXPECT_TRUE(GetOpenRange(c.colliery, start, end));
    EXPECT_EQ(start, c.start);
    EXPECT_EQ(end, c.end == 0 ? DefEndYear() : c.end);
  }
}

TEST_F(Lookups, LiabilitySplitPrefersTheCollieryOverItsArea) {
  const std::tuple<int32_t, int16_t, const char*> cases[] = {
      {101, 0, ""},
      {103, 2, "Carrow Estates, Ltd"},
      {904, 1, "Small Mine: %PITNAME%"},  // the area has "Small Mines Area"
      {106, 1, "Small Mines Area"},
      {999, 0, ""},
  };
  for (const auto& [colliery, type, descr] : cases) {
    SCOPED_TRACE(colliery);
    std::string d = "stale";
    EXPECT_EQ(GetLiabilitySplitType(colliery, d), type);
    EXPECT_EQ(d, descr);
  }
}

TEST_F(Lookups, DustAndTortiousValuesRerunTheirCursors) {
  struct Case {
    int32_t colliery;
    int16_t year;
    bool found;
    const char* marker;
    float dust;
  };
  const Case cases[] = {
      {101, 1955, true, "SURVEY", 4.2f},       {101, 1956, true, "", 4.13f},
      {101, 1975, true, "EXTRAPOLATED", 2.6f},  // inside a run of years
      {101, 1946, false, "NO ENTRY", 0},       {999, 1960, false, "NO ENTRY", 0},
      {101, 1955, true, "SURVEY", 4.2f},  // again after a miss
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.colliery << "/" << c.year);
    std::string marker = "stale";
    float dust = -1;
    EXPECT_EQ(LookupDust(c.colliery, c.year, marker, dust), c.found);
    EXPECT_EQ(marker, c.marker);
    EXPECT_FLOAT_EQ(dust, c.dust);
  }
  float t = -1;
  EXPECT_TRUE(LookupTortious(101, 1950, "N", t));
  EXPECT_FLOAT_EQ(t, 80);
  EXPECT_TRUE(LookupTortious(101, 1950, "Y", t));
  EXPECT_FLOAT_EQ(t, 50);
  EXPECT_FALSE(LookupTortious(105, 1950, "N", t));
  EXPECT_FLOAT_EQ(t, 0);
}


// What every remembered lookup answers on the connection now, as text.
std::string Answers() {
  std::string out;
  for (int16_t year : {1946, 1955, 1956, 1975}) {
    std::string marker;
    float dust = 0;
    out += std::to_string(LookupDust(101, year, marker, dust)) + marker + FloatToText(dust) + ";";
  }
  for (const char* surface : {"N", "Y"}) {
    float t = 0;
    out += std::to_string(LookupTortious(101, 1950, surface, t)) + FloatToText(t) + ";";
  }
  std::string descr;
  out += std::to_string(GetLiabilitySplitType(103, descr)) + descr + ";";
  int16_t start = 0, end = 0;
  (void)GetOpenRange(101, start, end);
  out += std::to_string(start) + "-" + std::to_string(end) + ";";
  CollieryRow colliery;
  if (LookupCollieryByID(101, colliery)) out += colliery.Colliery + "/" + colliery.AREA + ";";
  JobFactorRow job;
  if (LookupJobFactor(1, job)) out += job.Code + FloatToText(job.Factor) + job.Descr + ";";
  if (LookupJobFactorByCode(job.Code, job)) out += std::to_string(job.ID) + ";";
  RespFactorRow resp;
  if (LookupRespFactor(1, resp)) out += FloatToText(resp.Factor) + resp.Descr + ";";
  SmokeFactorRow smoke;
  if (LookupSmokeFactor(2, smoke)) out += smoke.Code + FloatToText(smoke.Factor) + ";";
  if (LookupSmokeFactorByCode(smoke.Code, smoke)) out += std::to_string(smoke.ID) + ";";
  return out;
}

// A dust data database assigned in place of another gives its own answers,
// not those remembered from the first; so does the same file again after a
// file of different answers. Switched off, every lookup answers the same.
TEST_F(Lookups, AnotherFileGivesItsOwnAnswersNotRememberedOnes) {
  static TempDir dir;
  const std::string other = dir.File("other.db");
  test::CopyFixture(
      other, {{"UPDATE DUSTMATRIX SET DUSTVAL = DUSTVAL * 2 WHERE COLLIERYID = 101", {}},
              {"UPDATE TORTIOUS SET TORTIOUSVAL = TORTIOUSVAL / 2", {}},
              {"UPDATE TORTIOUSDUST SET TORTIOUSVAL = TORTIOUSVAL / 2", {}},
              {"UPDATE COLLIERIES SET COLLIERY = 'Renamed', SPLITDESCR = 'Other split' "
               "WHERE ID IN (101, 103)",
               {}},
              {"UPDATE JOBFACTORS SET FACTOR = FACTOR + 1, DESCR = 'Other job'", {}},
              {"UPDATE RESPFACTORS SET FACTOR = FACTOR + 1, DESCR = 'Other mask'", {}},
              {"UPDATE SMOKEFACTORS SET FACTOR = FACTOR + 1", {}},
              // A stored query of its own: the file's query answers, not ours.
              {"UPDATE StoredQueries SET SQL = 'SELECT 1950 AS StartYear, 1960 AS EndYear' "
               "WHERE Name = 'qOpenRangeCheck'",
               {}}});
  std::string first, second;
  test::OnFreshThread([&] {
    SetRememberLookups(false);
    ASSERT_TRUE(SetupDataDB(path_));
    first = Answers();
    ASSERT_TRUE(SetupDataDB(other));
    second = Answers();
    SetRememberLookups(true);
  });
  ASSERT_NE(first, second);
  EXPECT_NE(second.find("1950-1960;"), std::string::npos) << second;
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(SetupDataDB(path_));
    EXPECT_EQ(Answers(), first);
    EXPECT_EQ(Answers(), first);  // now from memory
    ASSERT_TRUE(SetupDataDB(other));
    EXPECT_EQ(Answers(), second);
    EXPECT_EQ(Answers(), second);
  }
}

}  // namespace
}  // namespace orv::dust
