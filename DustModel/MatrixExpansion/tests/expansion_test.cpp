// The expansion run as its callers see it: the matrix-ready flag, the
// failures and their sources, the component created by class identifier,
// and the national sample data set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Component.h"
#include "DoMatrix.h"
#include "DustDataBuild.h"
#include "DustDataPassword.h"
#include "IMakeMatrix.h"
#include "OrvError.h"
#include "Registry.h"
#include "TestDb.h"

namespace orv::dustm {
namespace {

constexpr const char* kFailedSource =
    "Failed to expand dust data matrix - this requires read/write access to the dust data "
    "database: ";

const std::string kCollieries =
    test::BaseWith("collieries.csv", "101,Ashgrove,1,1950,1970,,\n102,Brackenhurst,1,1955,,,\n");
const char* const kSurveys =
    "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n101,SURVEY,1960,1960,2\n101,SURVEY,1964,1964,3\n";

class ExpansionTest : public ::testing::Test {
 protected:
  std::string Build(const test::CsvFiles& extra = {}) {
    test::CsvFiles files = {{"collieries.csv", kCollieries}, {"surveys.csv", kSurveys}};
    for (const auto& [f, t] : extra) files[f] = t;
    return test::BuildDb(dir_, files, "D" + std::to_string(++n_) + ".db");
  }
  static std::string Flag(const std::string& path) {
    auto db = test::OpenDb(path);
    return test::Parm(*db, "MatrixReady");
  }
  static void Edit(const std::string& path, const std::string& sql) {
    auto db = test::OpenDb(path);
    db->Execute(sql);
  }

  test::TempDir dir_;
  int n_ = 0;
  test::ScriptedBoxes boxes_;
};

TEST_F(ExpansionTest, SuccessMarksTheDatabaseExpandedAndClosesIt) {
  const std::string path = Build();
  ASSERT_TRUE(RunExpansion(test::TestRunValues(), path, kDustDataPassword));
  EXPECT_EQ(Flag(path), "1");
  orv::db::OpenOptions exclusive;
  exclusive.exclusive = true;
  exclusive.connect = DustDataConnect();
  EXPECT_NO_THROW(orv::db::OpenDatabase(path, exclusive)->Close());
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(ExpansionTest, NoSurveyRoundFailsAndLeavesTheDatabaseNotExpanded) {
  const std::string path = Build({{"survey_rounds.csv", "STARTYEAR,ENDYEAR\n"}});
  Edit(path, "UPDATE PARMS SET PARMVALUE = '1' WHERE PARM = 'MatrixReady'");
  try {
    (void)RunExpansion(test::TestRunValues(), path, kDustDataPassword);
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 9997 + kComponentErrorBase);
    EXPECT_EQ(e.Source(), std::string(kFailedSource) + "Making area averages");
  }
  EXPECT_EQ(Flag(path), "0");
}

TEST_F(ExpansionTest, AFailingFillingAnswersFalseShowsWhyAndKeepsTheOldMatrix) {
  const std::string path = Build();
  Edit(path, "INSERT INTO DUSTMATRIX VALUES (101, 1900, 1900, 1, 'OLD', 'kept')");
  {
    auto db = test::OpenDb(path);
    // Prepared fine, fails when run for a real colliery.
    db->CreateQueryDef("qRawDataByColliery",
                       "SELECT 'SURVEY' AS Marker, 1960 AS StartYear, 1960 AS EndYear, CASE WHEN "
                       ":CollieryID = 0 THEN 1 ELSE abs(-9223372036854775808) END AS DustVal",
                       "CollieryID Long");
  }
  EXPECT_FALSE(RunExpansion(test::TestRunValues(), path, kDustDataPassword));
  EXPECT_EQ(Flag(path), "0");
  auto db = test::OpenDb(path);
  EXPECT_EQ(test::MatrixRows(*db, 101), std::vector<std::string>{"1900-1900 1 OLD kept"});
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_NE(
      boxes_.shown()[0].prompt.find("in FillMatrix: Matrix for pits with surveys (colliery 101)->"),
      std::string::npos)
      << boxes_.shown()[0].prompt;
}

TEST_F(ExpansionTest, ADatabaseThatCannotBeOpenedForWritingFailsNamingTheStep) {
  const std::string path = Build();
  struct Case {
    std::string file;
    std::string password;
  };
  const Case cases[] = {{dir_.File("missing.db"), kDustDataPassword}, {path, "wrong"}};
  for (const Case& c : cases) {
    try {
      (void)RunExpansion(test::TestRunValues(), c.file, c.password);
      FAIL() << c.file;
    } catch (const OrvError& e) {
      EXPECT_LT(e.Number(), 0);
      EXPECT_EQ(e.Source(), kFailedSource + ("Opening database " + c.file +
                                             " with read/write access to expand dust matrix"));
    }
  }
  EXPECT_EQ(Flag(path), "0");
}

// The component, created as the engine creates it.
std::shared_ptr<IMakeMatrix> CreateMakeMatrix() {
  if (const char* bin = std::getenv("TARNBY_BIN_DIR")) setenv("ORV_COMPONENT_PATH", bin, 1);
  static ComponentPtr keep;
  keep = CreateObject("OrvDustM.MakeMatrix");
  EXPECT_EQ(keep->ClassName(), "OrvDustM.MakeMatrix");
  return As<IMakeMatrix>(keep);
}

TEST_F(ExpansionTest, MakeMatrixIsMakeMatrixPastClosureWithNoYearsPastClosure) {
  const std::string a = Build();
  const std::string b = Build();
  auto make = CreateMakeMatrix();
  ASSERT_TRUE(make);
  ASSERT_TRUE(make->MakeMatrix(a, kDustDataPassword, 1940, 2030, 1947, 1990));
  ASSERT_TRUE(make->MakeMatrixPastClosure(b, kDustDataPassword, 1940, 2030, 1947, 1990, 0));
  auto da = test::OpenDb(a);
  auto db = test::OpenDb(b);
  for (int32_t id : {101, 102, 901, 903}) {
    EXPECT_EQ(test::MatrixRows(*da, id), test::MatrixRows(*db, id)) << id;
  }
  EXPECT_EQ(test::MatrixRows(*da, 101).back(), "1965-1970 3 EXTRAPOLATED Extrapolated");
  EXPECT_EQ(test::MatrixRows(*da, 102).back(), "1965-1990 2.5 EXTRAPOLATED Area Average");
}

// Every ordinary colliery of the national sample that has an area average
// gets exactly one matrix value for every year it was open, and the
// national-average colliery a tortious value for every year with collieries
// at work.
TEST(NationalSampleTest, BuildsExpandsAndCoversEveryOpenYearOnce) {
  const char* src = std::getenv("TARNBY_SOURCE_DIR");
  ASSERT_NE(src, nullptr);
  const std::string data = std::string(src) + "/data/dustdata";
  ASSERT_TRUE(std::filesystem::exists(data + "/parms.csv"));
  ASSERT_FALSE(std::filesystem::exists(data + "/dust_matrix.csv"));
  test::TempDir dir;
  const std::string path = dir.File("DUSTDATA.db");
  orv::dustdata::BuildFromCsv(data, path, true);
  test::ScriptedBoxes boxes;
  ASSERT_TRUE(RunExpansion(RunValues{1947, 2126, 1947, 1994, 5}, path, kDustDataPassword));
  EXPECT_TRUE(boxes.shown().empty());

  auto db = test::OpenDb(path);
  EXPECT_EQ(test::Parm(*db, "MatrixReady"), "1");
  // Years covered more than once, or open years not covered.
  auto overlaps = db->OpenRecordset(
      "SELECT COUNT(*) FROM DUSTMATRIX AS A JOIN DUSTMATRIX AS B ON A.COLLIERYID = B.COLLIERYID "
      "AND A.ROWID < B.ROWID AND A.STARTYEAR <= B.ENDYEAR AND B.STARTYEAR <= A.ENDYEAR",
      orv::db::RecordsetType::Snapshot);
  EXPECT_EQ(overlaps->Field(0).AsInt32(), 0);
  auto empty = db->OpenRecordset("SELECT COUNT(*) FROM DUSTMATRIX WHERE STARTYEAR > ENDYEAR",
                                 orv::db::RecordsetType::Snapshot);
  EXPECT_EQ(empty->Field(0).AsInt32(), 0);
  auto gaps = db->OpenRecordset(
      "SELECT C.ID, (SELECT COALESCE(SUM(MIN(M.ENDYEAR, C.OPENENDYEAR) - MAX(M.STARTYEAR, "
      "C.OPENSTARTYEAR) + 1), 0) FROM DUSTMATRIX AS M WHERE M.COLLIERYID = C.ID AND M.STARTYEAR "
      "<= C.OPENENDYEAR AND M.ENDYEAR >= C.OPENSTARTYEAR) AS COVERED, C.OPENENDYEAR - "
      "C.OPENSTARTYEAR + 1 AS OPENYEARS FROM COLLIERIES AS C JOIN COALAREAS AS A ON A.ID = "
      "C.COALAREAID WHERE A.AVERAGE_COLLIERYID > 0 AND C.ID <> A.AVERAGE_COLLIERYID AND "
      "C.OPENSTARTYEAR > 0 AND C.OPENENDYEAR > 0 AND C.OPENENDYEAR <= 1994",
      orv::db::RecordsetType::Snapshot);
  int checked = 0;
  for (; !gaps->IsEOF(); gaps->MoveNext(), ++checked) {
    EXPECT_EQ(gaps->Field(1).AsInt32(), gaps->Field(2).AsInt32())
        << "colliery " << gaps->Field(0).AsText();
  }
  EXPECT_GT(checked, 200);
  auto national = db->OpenRecordset(
      "SELECT COUNT(*) FROM TORTIOUSDUST WHERE SURFACE = 'N' AND STARTYEAR BETWEEN 1947 AND 1990",
      orv::db::RecordsetType::Snapshot);
  EXPECT_EQ(national->Field(0).AsInt32(), 44);
}

}  // namespace
}  // namespace orv::dustm
