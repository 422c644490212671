// Open ranges: the table built from the collieries and their equivalents,
// and the lookup that follows equivalents.
#include <gtest/gtest.h>

#include "OrvError.h"
#include "TestDb.h"
#include "detail/OpenRange.h"

namespace orv::dustm {

// The expansion's private pieces.
using namespace detail;
namespace {

// 101 open 1950-1975; 102 without years; 103 with start 0 and end 1980;
// 104 without years, merged into 105, which stands for 101; 106 and 107
// name each other.
const std::string kCollieries = test::BaseWith(
    "collieries.csv",
    "101,Ashgrove,1,1950,1975,,\n102,Brackenhurst,1,,,,\n103,Cold Harbour,1,0,1980,,\n"
    "104,Dunstable Row,1,,,,\n105,Ellerby Moor,1,,,,\n106,Fennick,2,,,,\n"
    "107,Gorsey Bank,2,,,,\n");
const char* const kEquivalents =
    "COLLIERYID,EQUIVCOLLIERYID,STARTYEAR,ENDYEAR\n104,105,0,0\n105,101,0,0\n106,107,0,0\n"
    "107,106,0,0\n";

class OpenRangeTest : public ::testing::Test {
 protected:
  OpenRangeTest() : run_(test::TestRunValues()) {
    run_.db = test::OpenDb(
        test::BuildDb(dir_, {{"collieries.csv", kCollieries}, {"equivalents.csv", kEquivalents}}));
  }
  std::pair<int, int> Range(int32_t id) {
    int16_t s = 0;
    int16_t e = 0;
    EXPECT_TRUE(ranges_.GetOpenRange(id, s, e));
    return {s, e};
  }

  test::TempDir dir_;
  ExpansionRun run_;
  OpenRanges ranges_{run_};
};

TEST_F(OpenRangeTest, RangesComeFromOwnYearsDefaultsAndEquivalents) {
  ASSERT_TRUE(ranges_.PrepareOpenRange());
  const std::pair<int, int> defaults{1940, 2030};
  EXPECT_EQ(Range(101), std::make_pair(1950, 1975));
  EXPECT_EQ(Range(102), defaults);
  EXPECT_EQ(Range(103), std::make_pair(1940, 1980));
  EXPECT_EQ(Range(104), std::make_pair(1950, 1975)) << "two links: 104 -> 105 -> 101";
  EXPECT_EQ(Range(105), std::make_pair(1950, 1975));
  EXPECT_EQ(Range(106), defaults) << "a cycle gives no range of its own";
  EXPECT_EQ(Range(555), defaults) << "no such colliery";
  EXPECT_EQ(Range(903), defaults);
}

TEST_F(OpenRangeTest, ChainsDeeperThanTenFailWith9919AndLeaveTheLookupUsable) {
  ASSERT_TRUE(ranges_.PrepareOpenRange());
  // Eleven links 201 -> 202 -> ... -> 212, and a cycle 301 <-> 302.
  for (int id = 201; id <= 211; ++id) {
    run_.db->Execute("INSERT INTO OPENRANGE (COLLIERYID, EQUIVCOLLIERYID) VALUES (?, ?)",
                     {Value(id), Value(id + 1)});
  }
  run_.db->Execute("INSERT INTO OPENRANGE VALUES (212, 1960, 1970, 0)");
  run_.db->Execute("INSERT INTO OPENRANGE VALUES (301, NULL, NULL, 302), (302, NULL, NULL, 301)");

  EXPECT_EQ(Range(203), std::make_pair(1960, 1970)) << "ten lookups deep are allowed";
  for (int32_t id : {201, 301}) {
    int16_t s = 0;
    int16_t e = 0;
    try {
      (void)ranges_.GetOpenRange(id, s, e);
      FAIL() << id;
    } catch (const OrvError& err) {
      EXPECT_EQ(err.Number(), 9919 + kComponentErrorBase);
      EXPECT_EQ(err.Source(), "Retrieving colliery open range, colliery " + std::to_string(id));
      EXPECT_EQ(err.Description(), "Recursive calls too deep");
    }
  }
  EXPECT_EQ(Range(101), std::make_pair(1950, 1975)) << "the depth is back to 0";
}

TEST_F(OpenRangeTest, EquivalentStepRunsAtMostTenTimes) {
  // A stand-in that affects a row every time it runs.
  run_.db->Execute("CREATE TABLE RUNS (N INTEGER)");
  run_.db->CreateQueryDef("qOpenRangeEquiv", "INSERT INTO RUNS VALUES (1)");
  ASSERT_TRUE(ranges_.PrepareOpenRange());
  auto rs = run_.db->OpenRecordset("SELECT COUNT(*) FROM RUNS", orv::db::RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsInt32(), 10);
}

TEST_F(OpenRangeTest, AFailingStepIsNamedInTheSource) {
  run_.db->DeleteQueryDef("qOpenRangeFixEnd");
  try {
    (void)ranges_.PrepareOpenRange();
    FAIL();
  } catch (const OrvError& err) {
    EXPECT_EQ(err.Number(), 3078 + kComponentErrorBase);
    EXPECT_EQ(err.Source(), "PrepareOpenRange: Adjusting OPENRANGE table to set open end years");
  }
}

}  // namespace
}  // namespace orv::dustm
