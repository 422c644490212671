// A whole expansion of a small data set, checked row by row: area-average
// collieries, surveyed pits, pits without surveys, strikes, mergers and the
// years after closure.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "DoMatrix.h"
#include "DustDataPassword.h"
#include "TestDb.h"

namespace orv::dustm {
namespace {

using Rows = std::vector<std::string>;

// 101 and 105 to 107 in Northfield (area average 901); 102 and 103 in
// Southmoor (902); 104 in Westdale, which has no area-average colliery.
const std::string kCollieries = test::BaseWith(
    "collieries.csv",
    "101,Ashgrove,1,1950,1970,,\n102,Brackenhurst,2,1950,1964,,\n"
    "103,Hollins Cross,2,1960,1980,,\n104,Westdale Main,5,1950,1990,,\n"
    "105,Eastwood,1,1955,1975,,\n106,Fennick,1,1950,1980,,\n107,Ivy Close,1,1950,1960,,\n");
const char* const kSurveys =
    "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n"
    "101,SURVEY,1960,1960,2\n101,SURVEY,1964,1964,3\n102,SURVEY,1955,1955,2\n"
    "102,SURVEY,1964,1964,3.5\n103,SURVEY,1965,1965,4\n103,STRIKE,1972,1972,0\n"
    "104,STRIKE,1972,1972,0\n";
const char* const kEquivalents =
    "COLLIERYID,EQUIVCOLLIERYID,STARTYEAR,ENDYEAR\n106,103,1970,0\n107,101,1965,1962\n";

class FillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = test::BuildDb(dir_, {{"collieries.csv", kCollieries},
                                 {"surveys.csv", kSurveys},
                                 {"equivalents.csv", kEquivalents}});
  }
  Rows Rows_(int32_t id) {
    auto db = test::OpenDb(path_);
    return test::MatrixRows(*db, id);
  }

  test::TempDir dir_;
  std::string path_;
  test::ScriptedBoxes boxes_;
};

TEST_F(FillTest, WholeExpansionRowByRow) {
  ASSERT_TRUE(RunExpansion(test::TestRunValues(), path_, kDustDataPassword))
      << (boxes_.shown().empty() ? "" : boxes_.shown()[0].prompt);

  EXPECT_EQ(Rows_(101),
            (Rows{"1950-1959 2 EXTRAPOLATED Extrapolated", "1960-1960 2 SURVEY Original survey",
                  "1961-1961 2.25 - Interpolated", "1962-1962 2.5 - Interpolated",
                  "1963-1963 2.75 - Interpolated", "1964-1964 3 SURVEY Original survey",
                  "1965-1970 3 EXTRAPOLATED Extrapolated", "1971-1973 3 CLOSED Closed"}));
  // The last survey lies in the closing year: no forward extrapolation.
  EXPECT_EQ(Rows_(102).front(), "1950-1954 2 EXTRAPOLATED Extrapolated");
  EXPECT_EQ(Rows_(102).back(), "1965-1967 3.5 CLOSED Closed");
  EXPECT_EQ(Rows_(102)[Rows_(102).size() - 2], "1964-1964 3.5 SURVEY Original survey");
  // A strike year splits the extrapolated range, keeping its value.
  EXPECT_EQ(Rows_(103),
            (Rows{"1960-1964 4 EXTRAPOLATED Extrapolated", "1965-1965 4 SURVEY Original survey",
                  "1966-1971 4 EXTRAPOLATED Extrapolated", "1972-1972 4 STRIKE Extrapolated",
                  "1973-1980 4 EXTRAPOLATED Extrapolated", "1981-1983 4 CLOSED Closed"}));
  // No surveys and no area-average colliery: nothing, strike or not.
  EXPECT_TRUE(Rows_(104).empty());

  // Northfield's one round: 101's two surveys give 2.5 in 1960 and 1964.
  EXPECT_EQ(Rows_(901),
            (Rows{"1947-1959 2.5 EXTRAPOLATED Extrapolated",
                  "1960-1960 2.5 AVERAGE Area average break point", "1961-1961 2.5 - Interpolated",
                  "1962-1962 2.5 - Interpolated", "1963-1963 2.5 - Interpolated",
                  "1964-1964 2.5 AVERAGE Area average break point",
                  "1965-1990 2.5 EXTRAPOLATED Extrapolated"}));
  EXPECT_EQ(Rows_(105),
            (Rows{"1955-1959 2.5 EXTRAPOLATED Area Average", "1960-1960 2.5 AVERAGE Area Average",
                  "1961-1961 2.5 - Area Average", "1962-1962 2.5 - Area Average",
                  "1963-1963 2.5 - Area Average", "1964-1964 2.5 AVERAGE Area Average",
                  "1965-1975 2.5 EXTRAPOLATED Area Average", "1976-1978 2.5 CLOSED Closed"}));
  // Merged into Hollins Cross from 1970 to its own closing year.
  const Rows fennick = Rows_(106);
  ASSERT_EQ(fennick.size(), 11u);
  EXPECT_EQ(fennick.front(), "1950-1959 2.5 EXTRAPOLATED Area Average");
  EXPECT_EQ(Rows(fennick.begin() + 6, fennick.end()),
            (Rows{"1965-1969 2.5 EXTRAPOLATED Area Average",
                  "1970-1971 4 EXTRAPOLATED Hollins Cross", "1972-1972 4 STRIKE Hollins Cross",
                  "1973-1980 4 EXTRAPOLATED Hollins Cross", "1981-1983 4 CLOSED Closed"}));
  // Back-to-front years: shown, and the colliery keeps what it had.
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].prompt,
            "Error - colliery Ivy Close ID=107 - ambiguous equivalent range");
  EXPECT_EQ(Rows_(107).back(), "1961-1963 2.5 CLOSED Closed");
  // The national average takes every ordinary area's surveys in the round.
  EXPECT_EQ(Rows_(903)[1], "1960-1960 2.83 AVERAGE Area average break point");
  EXPECT_EQ(Rows_(904)[1], "1960-1960 2.83 AVERAGE Area average break point")
      << "small mines take the national average";
}

// Surveys that cover several years: the run to the next survey is anchored
// at the survey's first year and steps through the years it covers, which
// keep the survey's value alone; extrapolation starts after its last year.
TEST(MultiYearSurveyTest, EachYearHasOneEntryAndTheRunIsAnchoredAtTheFirstYear) {
  const std::string collieries = test::BaseWith(
      "collieries.csv", "101,Ashgrove,1,1960,1980,,\n102,Brackenhurst,1,1950,1970,,\n");
  const char* const surveys =
      "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n"
      "101,SURVEY,1967,1967,3.31\n101,SURVEY,1973,1974,3.398\n101,SURVEY,1976,1976,2.71\n"
      "102,SURVEY,1960,1960,2\n102,SURVEY,1964,1965,3\n";
  test::TempDir dir;
  test::ScriptedBoxes boxes;
  const std::string path =
      test::BuildDb(dir, {{"collieries.csv", collieries}, {"surveys.csv", surveys}});
  ASSERT_TRUE(RunExpansion(test::TestRunValues(), path, kDustDataPassword));
  auto db = test::OpenDb(path);

  const Rows ashgrove = test::MatrixRows(*db, 101);
  ASSERT_EQ(ashgrove.size(), 12u);
  EXPECT_EQ(Rows(ashgrove.begin() + 7, ashgrove.end()),
            (Rows{"1973-1974 3.398 SURVEY Original survey", "1975-1975 2.94 - Interpolated",
                  "1976-1976 2.71 SURVEY Original survey",
                  "1977-1980 2.71 EXTRAPOLATED Extrapolated", "1981-1983 2.71 CLOSED Closed"}));
  EXPECT_EQ(test::MatrixRows(*db, 102),
            (Rows{"1950-1959 2 EXTRAPOLATED Extrapolated", "1960-1960 2 SURVEY Original survey",
                  "1961-1961 2.25 - Interpolated", "1962-1962 2.5 - Interpolated",
                  "1963-1963 2.75 - Interpolated", "1964-1965 3 SURVEY Original survey",
                  "1966-1970 3 EXTRAPOLATED Extrapolated", "1971-1973 3 CLOSED Closed"}));

  // Every year from the opening to the last year after closure is held by
  // exactly one row.
  for (const auto& [id, first, last] : {std::tuple{101, 1960, 1983}, std::tuple{102, 1950, 1973}}) {
    for (int year = first; year <= last; ++year) {
      auto rs = db->OpenRecordset(
          "SELECT COUNT(*) FROM DUSTMATRIX WHERE COLLIERYID = ? AND STARTYEAR <= ? AND ENDYEAR >= "
          "?",
          orv::db::RecordsetType::Snapshot, {Value(id), Value(year), Value(year)});
      EXPECT_EQ(rs->Field(0).AsInt32(), 1) << id << " " << year;
    }
  }
}

}  // namespace
}  // namespace orv::dustm
