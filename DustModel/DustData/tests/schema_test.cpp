#include <gtest/gtest.h>
#include <sqlite3.h>

#include "DustDataBuild.h"
#include "DustDataFiles.h"
#include "OrvError.h"
#include "detail/Schema.h"

namespace {

using namespace orv::dustdata::test;
namespace fs = std::filesystem;
namespace dd = orv::dustdata;
using orv::Value;

class SchemaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    db_path_ = dir_->File("DUST.db");
    dd::BuildFromCsv(FixtureDir(), db_path_.string());
  }
  static void TearDownTestSuite() { delete dir_; }

  static TempDir* dir_;
  static fs::path db_path_;
};
TempDir* SchemaTest::dir_ = nullptr;
fs::path SchemaTest::db_path_;

struct Lookup {
  const char* query;
  std::vector<std::pair<const char*, Value>> params;
  // Expected rows, each "FIELD=value" joined by "; " in the fields' order.
  std::vector<std::string> rows;
};

std::string Describe(orv::db::Recordset& rs) {
  std::string s;
  for (int i = 0; i < rs.FieldCount(); ++i) {
    const Value v = rs.Field(i);
    s += (i ? "; " : "") + rs.FieldName(i) + "=" + (v.IsNull() ? "<null>" : v.AsText());
  }
  return s;
}

// The stored queries as the engine runs them: parameters set on the query
// definition, fields read by the names the engine uses.
TEST_F(SchemaTest, StoredQueriesAnswerTheEngineLookups) {
  const Lookup cases[] = {
      {"qDustMatrixData",
       {{"WhatCollieryID", 101}, {"WhatYear", 1958}},
       {"Marker=<null>; DustVal=4"}},
      {"qDustMatrixData",
       {{"WhatCollieryID", 101}, {"WhatYear", 1984}},
       {"Marker=STRIKE; DustVal=2.6"}},
      {"qDustMatrixData",
       {{"WhatCollieryID", 101}, {"WhatYear", 1973}},
       {"Marker=EXTRAPOLATED; DustVal=2.6"}},
      {"qDustMatrixData",
       {{"WhatCollieryID", 102}, {"WhatYear", 2100}},
       {"Marker=EXTRAPOLATED; DustVal=2"}},
      {"qDustMatrixData", {{"WhatCollieryID", 101}, {"WhatYear", 1991}}, {}},
      {"qDustMatrixData", {{"WhatCollieryID", 999}, {"WhatYear", 1960}}, {}},
      {"qTortiousDustData",
       {{"WhatCollieryID", 101}, {"WhatYear", 1960}, {"Surface", "N"}},
       {"TORTIOUSVAL=60"}},
      {"qTortiousDustData",
       {{"WhatCollieryID", 101}, {"WhatYear", 1959}, {"Surface", "y"}},
       {"TORTIOUSVAL=50"}},
      {"qTortiousDustData", {{"WhatCollieryID", 103}, {"WhatYear", 1960}, {"Surface", "Y"}}, {}},
      {"qSmokeFactor", {{"WhatID", 5}}, {"Code=p; Factor=0.75; LISTDESCR=Pipe"}},
      {"qSmokeFactorByCode", {{"WhatCode", "P"}}, {"ID=5; Factor=0.75; LISTDESCR=Pipe"}},
      {"qSmokeFactorByCode", {{"WhatCode", ""}}, {}},
      {"qCollieryByID", {{"WhatID", 103}}, {"Colliery=Carrow Pit; AREA=South; CoalAreaID=2"}},
      {"qCollieryByID", {{"WhatID", 0}}, {}},
      {"qRespFactor",
       {{"WhatID", 2}},
       {"Factor=20; Descr=Respirator worn 1975 to 1990; Surface=N; StartYear=1975; "
        "EndYear=1990; StartYearVal=0.5; EndYearVal=1"}},
      {"qRespFactor",
       {{"WhatID", 4}},
       {"Factor=0; Descr=Surface - no respirator; Surface=Y; StartYear=0; EndYear=0; "
        "StartYearVal=0; EndYearVal=0"}},
      {"qJobFactor",
       {{"WhatID", 4}},
       {"Code=SURF; Factor=0.4; Descr=Surface Screens; Surface=Y; Uplift=1; "
        "DUSTYTIMEFACTOR=0.5; NonCHA=1; NonCHACheck=1; YearsPastClose=0"}},
      {"qJobFactorByCode",
       {{"WhatCode", "FIT"}},
       {"ID=10; Factor=0.5; Descr=Fitter (underground); Surface=N; Uplift=1; "
        "DUSTYTIMEFACTOR=0.6; NonCHA=0; NonCHACheck=1; YearsPastClose=0.5"}},
      {"qJobFactorByCode",
       {{"WhatCode", " ab1 "}},
       {"ID=9; Factor=0.9; Descr=Airway Borer; Surface=N; Uplift=1; DUSTYTIMEFACTOR=1; "
        "NonCHA=0; NonCHACheck=0; YearsPastClose=0"}},
      {"qJobFactorByCode", {{"WhatCode", "XX"}}, {}},
      {"qOpenRangeCheck", {{"CollieryID", 102}}, {"StartYear=1950; EndYear=<null>"}},
      {"qOpenRangeCheck", {{"CollieryID", 101}}, {"StartYear=1947; EndYear=1985"}},
      {"qGetParm", {{"WhatParm", "version"}}, {"PARMVALUE=48"}},
      {"qGetParm", {{"WhatParm", "LiabilitySplitEnhancements"}}, {"PARMVALUE=True"}},
      {"qGetParm", {{"WhatParm", "NoSuchKey"}}, {}},
      {"qCollieryLiabilitySplit",
       {{"WhatID", 904}},
       {"COLLIERYSPLITTYPE=1; COLLIERYDESCR=Small Mine: %PITNAME%; COALAREASPLITTYPE=1; "
        "COALAREADESCR=Small Mines Area"}},
      {"qCollieryLiabilitySplit",
       {{"WhatID", 103}},
       {"COLLIERYSPLITTYPE=2; COLLIERYDESCR=Carrow Estates, Ltd; COALAREASPLITTYPE=<null>; "
        "COALAREADESCR=<null>"}},
      {"qCollieryList",
       {{"WhatCoalAreaID", 1}},
       {"ID=101; Colliery=Ashby Main; AREA=North", "ID=102; Colliery=Bexley Colliery; AREA=North",
        "ID=901; Colliery=North Area Average; AREA=North"}},
      {"qCoalAreaList",
       {},
       {"ID=3; AREA=National Average", "ID=1; AREA=North", "ID=4; AREA=Small Mines",
        "ID=2; AREA=South"}},
      {"qSmokeFactorList",
       {},
       {"ID=1; Code=N; Descr=Non smoker", "ID=2; Code=L; Descr=Light (1-10 a day)",
        "ID=3; Code=M; Descr=Medium (11-20 a day)", "ID=4; Code=H; Descr=Heavy (over 20 a day)",
        "ID=5; Code=p; Descr=Pipe"}},
  };
  auto db = OpenDb(fs::path(db_path_).string(), true);
  for (const Lookup& c : cases) {
    SCOPED_TRACE(c.query);
    auto def = db->QueryDefs(c.query);
    for (const auto& [name, value] : c.params) def->SetParameter(name, value);
    auto rs = def->OpenRecordset(orv::db::RecordsetType::Snapshot);
    std::vector<std::string> rows;
    for (; !rs->IsEOF(); rs->MoveNext()) rows.push_back(Describe(*rs));
    EXPECT_EQ(rows, c.rows);
  }
}

TEST_F(SchemaTest, ListsCoverEveryRow) {
  auto db = OpenDb(fs::path(db_path_).string(), true);
  const std::pair<const char*, const char*> lists[] = {
      {"qJobFactorList", "JOBFACTORS"},
      {"qRespFactorList", "RESPFACTORS"},
      {"qCollieryList", "COLLIERIES"},  // WhatCoalAreaID 0: every area
  };
  for (const auto& [query, table] : lists) {
    auto def = db->QueryDefs(query);
    if (std::string(query) == "qCollieryList") def->SetParameter("WhatCoalAreaID", 0);
    auto rs = def->OpenRecordset(orv::db::RecordsetType::Snapshot);
    rs->MoveLast();
    EXPECT_EQ(std::to_string(rs->RecordCount()),
              Rows(*db, std::string("SELECT COUNT(*) FROM ") + table).at(0).at(0))
        << query;
  }
}

// Every lookup the calculation repeats per colliery, year, factor or key is
// an index seek, never a scan of a table.
TEST_F(SchemaTest, LookupsAreIndexSeeks) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db_path_.string().c_str(), &h, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
  auto db = OpenDb(fs::path(db_path_).string(), true);
  for (const dd::StoredQuery& q : dd::detail::BaseQueries()) {
    const std::string name = q.name;
    // Whole lists and the export's whole table by design.
    if (name.find("List") != std::string::npos || name.find("Export") != std::string::npos)
      continue;
    const std::string sql = "EXPLAIN QUERY PLAN " + db->QueryDefs(name)->SQL();
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    int searches = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      const std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
      // Scanning the few rows a subquery made is fine; scanning a table is not.
      const bool table_scan = detail.rfind("SCAN ", 0) == 0 && detail.rfind("SCAN (", 0) != 0 &&
                              detail != "SCAN CONSTANT ROW";
      EXPECT_FALSE(table_scan) << name << ": " << detail;
      if (detail.rfind("SEARCH ", 0) == 0) ++searches;
    }
    EXPECT_GT(searches, 0) << name;
    sqlite3_finalize(st);
  }
  sqlite3_close(h);
}

TEST_F(SchemaTest, CodesAreUniqueIgnoringCase) {
  auto db = OpenDb(fs::path(db_path_).string());
  try {
    db->Execute("INSERT INTO SMOKEFACTORS (ID, CODE, LISTDESCR, FACTOR) VALUES (?, ?, ?, ?)",
                {Value(9), Value("P"), Value("Pipe again"), Value(1.0f)});
    ADD_FAILURE() << "inserted";
  } catch (const orv::OrvError& e) {
    EXPECT_EQ(e.Number(), orv::db::dberr::kDuplicateKey);
  }
}

}  // namespace
