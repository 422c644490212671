// The engine opening a dust data database whose matrix is not expanded yet:
// it starts this library by class identifier, then compacts and reopens the
// file, and its lookups see the expanded matrix and national averages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestDb.h"
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

}  // namespace
}  // namespace orv::dustm
