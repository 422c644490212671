// The engine opening a dust data database whose matrix is not expanded yet:
// it starts this library by class identifier, then compacts and reopens the
// file, and its lookups see the expanded matrix and national averages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "DustModel.h"
#include "HistoryLoader.h"
#include "TestDb.h"
#include "Text.h"
#include "colCoalJobs.h"
#include "colSmokeEntry.h"
#include "modGlobals.h"

namespace orv::dustm {
namespace {

const char* const kCollieries =
    "ID,COLLIERY,COALAREAID,OPENSTARTYEAR,OPENENDYEAR,SPLITTYPE,SPLITDESCR\n"
    "901,Northfield Area Average,1,,,,\n902,Southmoor Area Average,2,,,,\n"
    "903,National Average,3,,,,\n904,Small Mines Average,4,,,1,x\n"
    "101,Ashgrove,1,1950,1970,,\n102,Brackenhurst,1,1955,1980,,\n";
const char* const kSurveys =
    "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n101,SURVEY,1960,1960,2\n101,SURVEY,1964,1964,3\n"
    "101,STRIKE,1962,1962,0\n";
const char* const kTortious =
    "COLLIERYID,STARTYEAR,ENDYEAR,SURFACE,TORTIOUSVAL\n101,1950,1975,N,80\n102,1955,1985,N,60\n"
    "903,1940,2030,N,50\n";

TEST(EngineOpenTest, AnUnexpandedDatabaseIsExpandedCompactedAndReopened) {
  if (const char* bin = std::getenv("TARNBY_BIN_DIR")) setenv("ORV_COMPONENT_PATH", bin, 1);
  test::TempDir dir;
  const std::string path = test::BuildDb(
      dir,
      {{"collieries.csv", kCollieries}, {"surveys.csv", kSurveys}, {"tortious.csv", kTortious}});
  test::ScriptedBoxes boxes;

  ASSERT_TRUE(orv::dust::SetupDataDB(path));
  EXPECT_TRUE(orv::dust::DataReady());
  EXPECT_EQ(orv::dust::Parms().MatrixReady, 1);

  std::string marker;
  float dust = 0;
  ASSERT_TRUE(orv::dust::LookupDust(101, 1961, marker, dust));
  EXPECT_EQ(marker, "");
  EXPECT_FLOAT_EQ(dust, 2.25f);
  ASSERT_TRUE(orv::dust::LookupDust(101, 1962, marker, dust));
  EXPECT_EQ(marker, "STRIKE");
  ASSERT_TRUE(orv::dust::LookupDust(102, 1975, marker, dust));
  EXPECT_EQ(marker, "EXTRAPOLATED");
  EXPECT_FLOAT_EQ(dust, 2.5f) << "the area average of 101's surveys";

  float tortious = 0;
  ASSERT_TRUE(orv::dust::LookupTortious(903, 1960, "N", tortious));
  EXPECT_FLOAT_EQ(tortious, 70.0f) << "the mean of 101 and 102, not the stored 50";
  ASSERT_TRUE(orv::dust::LookupTortious(903, 1952, "N", tortious));
  EXPECT_FLOAT_EQ(tortious, 80.0f) << "101 alone";

  // The compaction left nothing beside the file.
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "DUST.db" || name == "DUST.db.csv") << name;
  }
  EXPECT_TRUE(boxes.shown().empty());
}

// Reference data as analysts write it: "Y"/"N" flags in every file, an
// area without an area-average colliery left blank, and an equivalents row
// without years. The folder builds, the engine expands it on open, and a
// history at the merged colliery calculates.
TEST(EngineOpenTest, AnAnalystsFolderBuildsExpandsAndCalculates) {
  if (const char* bin = std::getenv("TARNBY_BIN_DIR")) setenv("ORV_COMPONENT_PATH", bin, 1);
  test::TempDir dir;
  test::CsvFiles files = {
      {"collieries.csv", std::string(kCollieries) + "103,Westdale Main,5,1950,1990,,\n"},
      {"surveys.csv", kSurveys},
      {"tortious.csv", std::string(kTortious) + "103,1950,1990,n,70\n101,1950,1975,y,30\n"},
      {"equivalents.csv", "COLLIERYID,EQUIVCOLLIERYID,STARTYEAR,ENDYEAR\n102,101,,\n"},
      {"job_factors.csv",
       "ID,CODE,DESCR,FACTOR,SURFACE,UPLIFT,DUSTYTIMEFACTOR,NONCHA,NONCHACHECK,YEARSPASTCLOSE\n"
       "1,FW,Face Worker,1,N,1,1,N,n,0\n2,SURF,Surface,0.5,y,1,0.5,Y,N,0\n"},
      {"resp_factors.csv",
       "ID,DESCR,FACTOR,SURFACE,STARTYEAR,ENDYEAR,STARTYEARVAL,ENDYEARVAL\n"
       "1,No respirator,0,N,0,0,0,0\n2,Surface,0,Y,0,0,0,0\n"},
  };
  test::CsvFiles base = test::BaseFiles();
  files["coal_areas.csv"] = orv::ReplaceAll(base["coal_areas.csv"], "5,Westdale,NORMAL,0,", "5,Westdale,NORMAL,,");
  const std::string path = test::BuildDb(dir, files);
  test::ScriptedBoxes boxes;

  ASSERT_TRUE(orv::dust::SetupDataDB(path));
  EXPECT_EQ(orv::dust::Parms().MatrixReady, 1);
  std::string marker;
  float dust = 0;
  // 102 takes 101's matrix over its whole open range (1955-1980); 101 closed
  // in 1970, so 102's later years are 101's closed years, then nothing.
  ASSERT_TRUE(orv::dust::LookupDust(102, 1961, marker, dust));
  EXPECT_FLOAT_EQ(dust, 2.25f);
  EXPECT_FALSE(orv::dust::LookupDust(103, 1961, marker, dust)) << "no area average in Westdale";

  orv::dust::DustModel model;
  model.SetDustDatabase(path);
  auto jobs = std::make_shared<orv::dust::colCoalJobs>();
  auto smoking = std::make_shared<orv::dust::colSmokeEntry>();
  model.SetCoalJobCollection(jobs);
  model.SetSmokeHistoryCollection(smoking);
  orv::dust::HistoryJob underground;
  underground.CollieryID = 102;
  underground.StartYear = 1956;
  underground.EndYear = 1966;
  underground.JobFactorID = 1;
  underground.RespFactorID = 1;
  orv::dust::HistoryJob surface = underground;
  surface.CollieryID = 101;
  surface.StartYear = 1967;
  surface.EndYear = 1969;
  surface.JobFactorID = 2;
  surface.RespFactorID = 2;
  orv::dust::LoadJobs(*jobs, {underground, surface});
  std::vector<std::string> errors;
  model.SetErrorHandler([&](const std::string& e) { errors.push_back(e); });
  model.SetErrorMode(orv::dust::orvRaiseErrorEvent);
  ASSERT_TRUE(model.Calculate()) << (errors.empty() ? "" : errors.front());
  EXPECT_GT(model.CumulativeWeightedDustPXR(), 0.0f);
  EXPECT_GT(model.RecoverableQuantumPercent(), 0.0f);
  EXPECT_TRUE(boxes.shown().empty());
}

}  // namespace
}  // namespace orv::dustm
