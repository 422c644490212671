// Area averages per survey round, and the national-average tortious values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Numbers.h"
#include "OrvError.h"
#include "TestDb.h"
#include "detail/AreaAverages.h"
#include "detail/OpenRange.h"
#include "detail/TortiousAverages.h"

namespace orv::dustm {

// The expansion's private pieces.
using namespace detail;
namespace {

using Rows = std::vector<std::string>;

Rows AreaAverageRows(orv::db::Database& db) {
  Rows rows;
  auto rs = db.OpenRecordset(
      "SELECT ID, COLLIERYID, STARTYEAR, ENDYEAR, DUSTVAL, MARKER FROM AREAAVERAGE ORDER BY ID",
      orv::db::RecordsetType::Snapshot);
  for (; !rs->IsEOF(); rs->MoveNext()) {
    rows.push_back(rs->Field(0).AsText() + " " + rs->Field(1).AsText() + " " +
                   rs->Field(2).AsText() + "-" + rs->Field(3).AsText() + " " +
                   FloatToText(rs->Field(4).AsSingle()) + " " + rs->Field(5).TextOrEmpty());
  }
  return rows;
}

const std::string kAreaCollieries =
    test::BaseWith("collieries.csv",
                   "101,Ashgrove,1,1950,1980,,\n102,Brackenhurst,1,1950,1980,,\n"
                   "103,Cold Harbour,1,1950,1980,,\n111,Dunstable Row,2,1950,1980,,\n"
                   "121,Westdale Main,5,1950,1980,,\n");
const char* const kAreaSurveys =
    "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n"
    "101,SURVEY,1961,1961,2.125\n101,SURVEY,1971,1971,2\n102,SURVEY,1972,1972,3\n"
    "102,STRIKE,1972,1972,0\n103,SURVEY,1970,1970,3.5\n111,SURVEY,1962,1962,4\n"
    "121,SURVEY,1961,1961,5\n101,SURVEY,1966,1966,9\n";

TEST(AreaAverageTest, EachRoundGivesTwoRoundedBreakPointsPerArea) {
  test::TempDir dir;
  ExpansionRun run(test::TestRunValues());
  run.db = test::OpenDb(
      test::BuildDb(dir, {{"collieries.csv", kAreaCollieries},
                          {"surveys.csv", kAreaSurveys},
                          {"survey_rounds.csv", "STARTYEAR,ENDYEAR\n1960,1964\n1970,1974\n"}}));
  AreaAverages averages(run);
  ASSERT_TRUE(averages.MakeAreaAverages());
  // Area 1: 2.125 alone, then 2, 3 and 3.5; area 2 has no survey in the
  // second round; area 5 has no area-average colliery; the national area
  // takes every ordinary area's surveys; the small-mine area, with none of
  // its own, takes the national ones. The survey of 1966 lies in no round.
  EXPECT_EQ(AreaAverageRows(*run.db),
            (Rows{"1 901 1960-1960 2.13 AVERAGE", "2 901 1964-1964 2.13 AVERAGE",
                  "3 901 1970-1970 2.83 AVERAGE", "4 901 1974-1974 2.83 AVERAGE",
                  "5 902 1960-1960 4 AVERAGE", "6 902 1964-1964 4 AVERAGE",
                  "7 903 1960-1960 3.71 AVERAGE", "8 903 1964-1964 3.71 AVERAGE",
                  "9 903 1970-1970 2.83 AVERAGE", "10 903 1974-1974 2.83 AVERAGE",
                  "11 904 1960-1960 3.71 AVERAGE", "12 904 1964-1964 3.71 AVERAGE",
                  "13 904 1970-1970 2.83 AVERAGE", "14 904 1974-1974 2.83 AVERAGE"}));
  EXPECT_EQ(averages.AreaAverageColliery(2), 902);
  EXPECT_EQ(averages.AreaAverageColliery(5), 0);
}

TEST(AreaAverageTest, NoSurveyRoundFailsWith9997AfterEmptyingTheTable) {
  test::TempDir dir;
  ExpansionRun run(test::TestRunValues());
  run.db = test::OpenDb(test::BuildDb(dir, {{"survey_rounds.csv", "STARTYEAR,ENDYEAR\n"}}));
  run.db->Execute(
      "INSERT INTO AREAAVERAGE (ID, COLLIERYID, STARTYEAR, ENDYEAR, DUSTVAL) VALUES "
      "(1, 901, 1960, 1960, 2)");
  AreaAverages averages(run);
  try {
    (void)averages.MakeAreaAverages();
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 9997 + kComponentErrorBase);
    EXPECT_EQ(e.Source(), "MakeAreaAverages: Error - no survey rounds recorded");
  }
  EXPECT_TRUE(AreaAverageRows(*run.db).empty());
}

// 101 open 1950-1990; 102 open 1955-1965; 103 merged into 101 from 1970;
// 104 closed in 1962 and 1963.
const std::string kTortCollieries =
    test::BaseWith("collieries.csv",
                   "101,Ashgrove,1,1950,1990,,\n102,Brackenhurst,1,1955,1965,,\n"
                   "103,Cold Harbour,1,1950,1990,,\n104,Dunstable Row,2,1950,1990,,\n");
const char* const kTortious =
    "COLLIERYID,STARTYEAR,ENDYEAR,SURFACE,TORTIOUSVAL\n"
    "101,1950,1990,N,80\n101,1950,1990,Y,30\n102,1950,1990,N,60\n103,1950,1990,N,40\n"
    "104,1950,1990,N,70\n903,1940,2030,N,50\n902,1940,2030,N,60\n";

TEST(TortiousAverageTest, NationalValuesAverageTheCollieriesWorkingThatYear) {
  test::TempDir dir;
  ExpansionRun run(test::TestRunValues());
  run.db = test::OpenDb(test::BuildDb(
      dir, {{"collieries.csv", kTortCollieries},
            {"tortious.csv", kTortious},
            {"equivalents.csv", "COLLIERYID,EQUIVCOLLIERYID,STARTYEAR,ENDYEAR\n103,101,1970,0\n"},
            {"surveys.csv",
             "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n"
             "104,CLOSED,1962,1963,0\n"}}));
  OpenRanges ranges(run);
  ASSERT_TRUE(ranges.PrepareOpenRange());
  ASSERT_TRUE(PrepareTortiousAvg(run));

  auto lookup = run.db->QueryDefs("qTortiousDustData");
  auto rs = lookup->OpenRecordset();
  const auto tortious = [&](int32_t colliery, int year, const char* surface) -> std::string {
    lookup->SetParameter("WhatCollieryID", Value(colliery));
    lookup->SetParameter("WhatYear", Value(year));
    lookup->SetParameter("Surface", Value(surface));
    rs->Requery(lookup.get());
    return rs->IsEOF() ? "none" : FloatToText(rs->Field("TORTIOUSVAL").AsSingle());
  };
  EXPECT_EQ(tortious(903, 1952, "N"), "63.33") << "101, 103 and 104";
  EXPECT_EQ(tortious(903, 1956, "N"), "62.5") << "all four";
  EXPECT_EQ(tortious(903, 1962, "N"), "60") << "104 closed";
  EXPECT_EQ(tortious(903, 1972, "N"), "75") << "102 shut, 103 merged";
  EXPECT_EQ(tortious(903, 1972, "y"), "30") << "surface: 101 alone";
  EXPECT_EQ(tortious(903, 1995, "N"), "none") << "no colliery data that year";
  EXPECT_EQ(tortious(101, 1972, "N"), "80") << "a colliery's own value";
  EXPECT_EQ(tortious(902, 1995, "N"), "60") << "area averages keep theirs";

  auto counts = run.db->OpenRecordset(
      "SELECT OPENCOUNT, EQUIVCOUNT, CLOSEDCOUNT, TRUECOUNT FROM AVERAGECALC WHERE SURFACE = 'N' "
      "AND YEAR IN (1962, 1972) ORDER BY YEAR",
      orv::db::RecordsetType::Snapshot);
  const auto row = [&] {
    std::string s;
    for (int i = 0; i < 4; ++i) s += counts->Field(i).AsText() + (i < 3 ? " " : "");
    counts->MoveNext();
    return s;
  };
  EXPECT_EQ(row(), "4 0 1 3");
  EXPECT_EQ(row(), "3 1 0 2");

  // The export's rows: the national colliery's calculated years replace its
  // stored row; every other colliery keeps its own.
  auto exported = run.db->QueryDefs("qTortiousExport")->OpenRecordset();
  int national = 0;
  int stored = 0;
  for (; !exported->IsEOF(); exported->MoveNext()) {
    const int32_t id = exported->Field("COLLIERYID").AsInt32();
    national += id == 903 ? 1 : 0;
    stored += id == 902 || id == 101 ? 1 : 0;
  }
  EXPECT_EQ(national, 41 + 41) << "1950-1990, underground and surface";
  EXPECT_EQ(stored, 3);

  ASSERT_TRUE(PrepareTortiousAvg(run)) << "a second run replaces the first";
  EXPECT_EQ(tortious(903, 1972, "N"), "75");
}

}  // namespace
}  // namespace orv::dustm
