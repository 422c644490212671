#include <gtest/gtest.h>

#include "DustDataBuild.h"
#include "InputError.h"
#include "DustDataFiles.h"
#include "Tables.h"

namespace {

using namespace orv::dustdata::test;
namespace fs = std::filesystem;
namespace dd = orv::dustdata;
using orv::InputError;

class BuildTest : public ::testing::Test {
 protected:
  std::string Parm(const fs::path& db, const std::string& key) {
    auto d = OpenDb(fs::path(db).string(), true);
    return Rows(*d, "SELECT PARMVALUE FROM PARMS WHERE PARM = '" + key + "'").at(0).at(0);
  }

  TempDir tmp_;
  fs::path dir_ = tmp_.path();
};

// The whole content of a database's base tables and stored queries.
std::vector<std::vector<std::string>> Content(const fs::path& db) {
  auto d = OpenDb(fs::path(db).string(), true);
  std::vector<std::vector<std::string>> all;
  for (const dd::Table& t : dd::BaseTables()) {
    std::string cols;
    for (const dd::Column& c : t.columns) cols += (cols.empty() ? "" : ", ") + std::string(c.name);
    all.push_back({t.name});
    for (auto& row : Rows(*d, "SELECT " + cols + " FROM " + t.name + " ORDER BY " + cols)) {
      all.push_back(row);
    }
  }
  for (auto& row : Rows(*d, "SELECT Name, Parameters, SQL FROM StoredQueries ORDER BY Name")) {
    all.push_back(row);
  }
  return all;
}

TEST_F(BuildTest, FixtureBuildsWithEveryRowAndAnExpandedMatrix) {
  const fs::path db = dir_ / "DUST.db";
  dd::BuildFromCsv(FixtureDir(), db.string());
  auto d = OpenDb(fs::path(db).string(), true);
  for (const dd::Table& t : dd::BaseTables()) {
    std::istringstream csv(ReadText(fs::path(FixtureDir()) / t.file));
    int64_t lines = -1;  // the header
    for (std::string l; std::getline(csv, l);) ++lines;
    EXPECT_EQ(Rows(*d, std::string("SELECT COUNT(*) FROM ") + t.name).at(0).at(0),
              std::to_string(lines))
        << t.name;
  }
  EXPECT_EQ(Parm(db, "MatrixReady"), "1");
  // Quoting, booleans in both spellings and the 16-bit years come through.
  EXPECT_EQ(Rows(*d, "SELECT SPLITDESCR FROM COLLIERIES WHERE ID = 103").at(0).at(0),
            "Carrow Estates, Ltd");
  EXPECT_EQ(Rows(*d, "SELECT NONCHACHECK, YEARSPASTCLOSE FROM JOBFACTORS WHERE ID = 10").at(0),
            (std::vector<std::string>{"1", "0.5"}));
  EXPECT_EQ(Rows(*d, "SELECT OPENENDYEAR FROM COLLIERIES WHERE ID = 102").at(0).at(0), "<null>");
}

TEST_F(BuildTest, BuildOfAnExportHasTheSameContent) {
  const fs::path first = dir_ / "first.db";
  const fs::path second = dir_ / "second.db";
  dd::BuildFromCsv(FixtureDir(), first.string());
  dd::ExportToCsv(first.string(), (dir_ / "csv1").string());
  dd::BuildFromCsv((dir_ / "csv1").string(), second.string());
  EXPECT_EQ(Content(first), Content(second));
  // And the export of the rebuilt database is the same text, file by file.
  dd::ExportToCsv(second.string(), (dir_ / "csv2").string());
  for (const dd::Table& t : dd::BaseTables()) {
    EXPECT_EQ(ReadText(dir_ / "csv1" / t.file), ReadText(dir_ / "csv2" / t.file)) << t.file;
  }
}

// MatrixReady that is no number: whether the matrix file belongs in the
// export is unknown, so nothing is guessed.
TEST_F(BuildTest, AnUnreadableMatrixReadyStopsTheExportNamingIt) {
  const fs::path db = dir_ / "first.db";
  dd::BuildFromCsv(FixtureDir(), db.string());
  {
    auto d = OpenDb(db.string());
    d->Execute("UPDATE PARMS SET PARMVALUE = 'maybe' WHERE PARM = 'MatrixReady'");
    d->Close();
  }
  try {
    dd::ExportToCsv(db.string(), (dir_ / "out").string());
    ADD_FAILURE() << "exported";
  } catch (const orv::InputError& e) {
    EXPECT_EQ(e.Field(), "MatrixReady");
    EXPECT_NE(e.Reason().find("\"maybe\" is not a number"), std::string::npos) << e.Reason();
  }
  EXPECT_FALSE(fs::exists(dir_ / "out" / "dust_matrix.csv"));
}

TEST_F(BuildTest, RoundTripKeepsEmptyTextApartFromNull) {
  const fs::path src = CopyFixture(dir_ / "src");
  SetLine(src / "collieries.csv", 0, "106,Edge Pit,1,1960,1970,1,\"\"");
  const fs::path first = dir_ / "first.db";
  dd::BuildFromCsv(src.string(), first.string());
  dd::ExportToCsv(first.string(), (dir_ / "out").string());
  const fs::path second = dir_ / "second.db";
  dd::BuildFromCsv((dir_ / "out").string(), second.string());
  auto d = OpenDb(fs::path(second).string(), true);
  EXPECT_EQ(Rows(*d, "SELECT SPLITDESCR IS NULL, SPLITDESCR FROM COLLIERIES WHERE ID = 106").at(0),
            (std::vector<std::string>{"0", ""}));
  EXPECT_EQ(Content(first), Content(second));
}

// Reference data as analysts write it: each row read in another spelling
// is stored as the engine reads it, exported in the one spelling, and the
// export builds to the same content.
TEST_F(BuildTest, SpellingsAreReadAndExportedInOneSpelling) {
  struct Spelling {
    const char* file;
    int line;
    const char* text;
    const char* stored_sql;
    std::vector<std::string> stored;
    const char* exported;  // the row's line in the export (same line number)
  };
  const Spelling cases[] = {
      {"job_factors.csv",
       2,
       "1,FW,Face Worker,1,y,1.1,1,n,True,0",
       "SELECT SURFACE, NONCHA, NONCHACHECK FROM JOBFACTORS WHERE ID = 1",
       {"1", "0", "1"},
       "1,FW,Face Worker,1,Y,1.1,1,0,1,0"},
      {"job_factors.csv",
       5,
       "4,SURF,Surface Screens,0.4,TRUE,1,0.5,Y,y,0",
       "SELECT SURFACE, NONCHA, NONCHACHECK FROM JOBFACTORS WHERE ID = 4",
       {"1", "1", "1"},
       "4,SURF,Surface Screens,0.4,Y,1,0.5,1,1,0"},
      {"resp_factors.csv",
       5,
       "4,Surface - no respirator,0,Y,0,0,0,0",
       "SELECT SURFACE FROM RESPFACTORS WHERE ID = 4",
       {"1"},
       "4,Surface - no respirator,0,Y,0,0,0,0"},
      {"resp_factors.csv",
       2,
       "1,No respirator,0,false,0,0,0,0",
       "SELECT SURFACE FROM RESPFACTORS WHERE ID = 1",
       {"0"},
       "1,No respirator,0,N,0,0,0,0"},
      {"tortious.csv",
       2,
       "101,1947,1959,n,80",
       "SELECT SURFACE FROM TORTIOUS WHERE COLLIERYID = 101 AND STARTYEAR = 1947 AND "
       "TORTIOUSVAL = 80",
       {"N"},
       "101,1947,1959,N,80"},
      {"tortious.csv",
       5,
       "101,1947,1990,1,50",
       "SELECT SURFACE FROM TORTIOUS WHERE COLLIERYID = 101 AND TORTIOUSVAL = 50",
       {"Y"},
       "101,1947,1990,Y,50"},
      {"coal_areas.csv",
       5,
       "4,Small Mines,NORMAL,,1,Small Mines Area",
       "SELECT AVERAGE_COLLIERYID FROM COALAREAS WHERE ID = 4",
       {"<null>"},
       "4,Small Mines,NORMAL,,1,Small Mines Area"},
      {"equivalents.csv",
       2,
       "104,102,,",
       "SELECT STARTYEAR, ENDYEAR FROM EQUIVALENTS WHERE COLLIERYID = 104",
       {"<null>", "<null>"},
       "104,102,,"},
  };
  int n = 0;
  for (const Spelling& c : cases) {
    SCOPED_TRACE(c.text);
    const fs::path work = dir_ / std::to_string(++n);
    const fs::path src = CopyFixture(work / "src");
    SetLine(src / c.file, c.line, c.text);
    const fs::path first = work / "first.db";
    dd::BuildFromCsv(src.string(), first.string());
    {
      auto d = OpenDb(fs::path(first).string(), true);
      EXPECT_EQ(Rows(*d, c.stored_sql).at(0), c.stored);
    }
    dd::ExportToCsv(first.string(), (work / "out").string());
    std::istringstream exported(ReadText(work / "out" / c.file));
    std::string line;
    for (int i = 0; i < c.line; ++i) std::getline(exported, line);
    EXPECT_EQ(line, c.exported);
    const fs::path second = work / "second.db";
    dd::BuildFromCsv((work / "out").string(), second.string());
    EXPECT_EQ(Content(first), Content(second));
  }
}

TEST_F(BuildTest, ExportWritesOneSpellingForEveryBoolean) {
  dd::BuildFromCsv(FixtureDir(), (dir_ / "f.db").string());
  dd::ExportToCsv((dir_ / "f.db").string(), (dir_ / "out").string());
  // The fixture's "Fit" row is written with False/True.
  EXPECT_NE(ReadText(dir_ / "out" / "job_factors.csv")
                .find("10,Fit,Fitter (underground),0.5,N,1,0.6,0,1,0.5\n"),
            std::string::npos);
  for (const char* file : {"job_factors.csv", "resp_factors.csv", "tortious.csv"}) {
    const std::string text = ReadText(dir_ / "out" / file);
    EXPECT_EQ(text.find("True"), std::string::npos) << file;
    EXPECT_EQ(text.find("False"), std::string::npos) << file;
  }
}

TEST_F(BuildTest, MatrixFileDecidesMatrixReady) {
  struct Case {
    bool with_matrix;
    const char* parms_line;  // replaces the MatrixReady row (line 24); null: row removed
    const char* expected;
  };
  const Case cases[] = {
      {true, "MatrixReady,0", "1"},
      {false, "MatrixReady,1", "0"},
      {false, nullptr, "0"},
      {true, "matrixready,7", "1"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    const fs::path src = CopyFixture(dir_ / ("src" + std::to_string(++n)));
    if (!c.with_matrix) fs::remove(src / dd::kDustMatrixFile);
    SetLine(src / "parms.csv", 24, c.parms_line ? c.parms_line : "");
    const fs::path db = dir_ / ("m" + std::to_string(n) + ".db");
    dd::BuildFromCsv(src.string(), db.string());
    auto d = OpenDb(fs::path(db).string(), true);
    EXPECT_EQ(Rows(*d, "SELECT PARM, PARMVALUE FROM PARMS WHERE PARM LIKE 'MatrixReady'"),
              (std::vector<std::vector<std::string>>{{"MatrixReady", c.expected}}));
    // Without its matrix file the export leaves the matrix out, as it came in.
    dd::ExportToCsv(db.string(), (dir_ / ("out" + std::to_string(n))).string());
    EXPECT_EQ(fs::exists(dir_ / ("out" + std::to_string(n)) / dd::kDustMatrixFile), c.with_matrix);
  }
}

struct BadInput {
  const char* file;
  int line;  // replaced (0: appended)
  const char* text;
  int64_t error_line;
  const char* field;
  const char* reason_part;
};

TEST_F(BuildTest, BadInputNamesFileLineFieldAndLeavesNoOutput) {
  const BadInput cases[] = {
      {"surveys.csv", 4, "101,SURVEY,1971,1971,abc", 4, "DUSTVAL", "\"abc\" is not a number"},
      {"surveys.csv", 4, "101,survey,1971,1971,2", 4, "MARKER", "is not one of"},
      {"surveys.csv", 4, "101,SURVEY,1971,1970,2", 4, "ENDYEAR", "ENDYEAR 1970 is before"},
      {"surveys.csv", 0, "999,SURVEY,1971,1971,2", 16, "COLLIERYID", "999 is not the ID"},
      {"collieries.csv", 3, "102,Bexley Colliery,7,1950,,,", 3, "COALAREAID",
       "not the ID of any row of coal_areas.csv"},
      {"collieries.csv", 3, "102,,1,1950,,,", 3, "COLLIERY", "a value is required"},
      {"collieries.csv", 3, "102,A name of more than fifty characters is too long for it,1,1950,,,",
       3, "COLLIERY", "longer than 50"},
      {"collieries.csv", 1, "ID,COLLIERY,COALAREAID,OPENSTARTYEAR,OPENENDYEAR,SPLITTYPE,OWNER", 1,
       "OWNER", "unknown column"},
      {"collieries.csv", 1, "ID,COALAREAID,OPENSTARTYEAR,OPENENDYEAR,SPLITTYPE,SPLITDESCR", 1,
       "COLLIERY", "missing"},
      {"coal_areas.csv", 5, "4,Small Mines,NORMAL,999,1,Small Mines Area", 5, "AVERAGE_COLLIERYID",
       "not the ID"},
      {"job_factors.csv", 0, "30, fw ,Again,1,0,1,1,0,0,0", 13, "CODE",
       "\"fw\" appears twice (also on line 2)"},
      {"job_factors.csv", 2, "1,FW,Face Worker,1,maybe,1.1,1,0,0,0", 2, "SURFACE",
       "is not Y, N, 0, 1, True or False"},
      {"resp_factors.csv", 0, "40000,Big,0,0,0,0,0,0", 10, "ID", "out of range"},
      {"tortious.csv", 2, "101,1947,1959,X,80", 2, "SURFACE", "is not Y, N, 0, 1, True or False"},
      {"equivalents.csv", 2, "104,102,x,1990", 2, "STARTYEAR", "is not a 16-bit whole number"},
      {"smoke_factors.csv", 3, "2,L,Light,1.5.0", 3, "FACTOR", "not a number"},
      {"parms.csv", 2, "Version", 2, "", "the record has 1 cells but the header has 2"},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.text);
    const fs::path work = dir_ / "case";
    fs::remove_all(work);
    const fs::path src = CopyFixture(work / "src");
    SetLine(src / c.file, c.line, c.text);
    const fs::path db = work / "out" / "DUST.db";
    try {
      dd::BuildFromCsv(src.string(), db.string());
      ADD_FAILURE() << "built";
    } catch (const InputError& e) {
      EXPECT_EQ(fs::path(e.File()).filename(), c.file);
      EXPECT_EQ(e.Line(), c.error_line);
      EXPECT_EQ(e.Field(), c.field);
      EXPECT_NE(std::string(e.what()).find(c.reason_part), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(db));
    EXPECT_TRUE(!fs::exists(work / "out") || fs::is_empty(work / "out"));
  }
}

TEST_F(BuildTest, MissingFilesAndFolders) {
  const fs::path src = CopyFixture(dir_ / "src");
  fs::remove(src / "equivalents.csv");  // optional
  EXPECT_NO_THROW(dd::BuildFromCsv(src.string(), (dir_ / "a.db").string()));
  fs::remove(src / "tortious.csv");
  try {
    dd::BuildFromCsv(src.string(), (dir_ / "b.db").string());
    ADD_FAILURE();
  } catch (const InputError& e) {
    EXPECT_EQ(e.File(), (src / "tortious.csv").string());
    EXPECT_EQ(e.Line(), 0);
  }
  EXPECT_THROW(dd::BuildFromCsv((dir_ / "nowhere").string(), (dir_ / "c.db").string()), InputError);
}

TEST_F(BuildTest, ExistingOutputNeedsForce) {
  const fs::path db = dir_ / "DUST.db";
  WriteText(db, "keep me");
  EXPECT_THROW(dd::BuildFromCsv(FixtureDir(), db.string()), InputError);
  EXPECT_EQ(ReadText(db), "keep me");
  // A forced build that fails keeps the old file too.
  const fs::path bad = CopyFixture(dir_ / "bad");
  SetLine(bad / "surveys.csv", 2, "101,SURVEY,1955,1955,");
  EXPECT_THROW(dd::BuildFromCsv(bad.string(), db.string(), true), InputError);
  EXPECT_EQ(ReadText(db), "keep me");
  fs::remove_all(bad);
  dd::BuildFromCsv(FixtureDir(), db.string(), true);
  EXPECT_EQ(Parm(db, "Version"), "48");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(BuildTest, ProgressIsReportedUpToTheTotal) {
  int64_t last_done = -1, last_total = -1;
  dd::BuildFromCsv(FixtureDir(), (dir_ / "p.db").string(), false,
                   [&](std::string_view, int64_t done, int64_t total) {
                     last_done = done;
                     last_total = total;
                   });
  EXPECT_GT(last_total, 0);
  EXPECT_EQ(last_done, last_total);
}

}  // namespace
