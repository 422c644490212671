#include "TestDb.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "DustDataBuild.h"
#include "Interfaces.h"
#include "Numbers.h"

namespace orv::dustm::test {
namespace {

namespace fs = std::filesystem;

const char* const kParms =
    "PARM,PARMVALUE\n"
    "Version,48\nAvgYrPXR,3.5\nBordPillarTFac,1.2\nAnnSmokeUnit,1\nPctPrevCat1,12\n"
    "YearsAvgSmokeEquiv,20\nBordPillarID,9\nLimitationYear,1954\nRespiratorYear,1975\n"
    "LimitYearVal,0.5\nRespYearVal,0.5\nBaseYear,1940\nAAvgStartYear,1947\nAAvgEndYear,1990\n"
    "RespEndYear,1995\nRespEndYearVal,1\nSmallMineJobID,1\nSmallMineRespID,1\n"
    "RespiratorWornRespID,1\nScottishLimitationYear,1964\nScottishLimitYearVal,1\nSurfaceData,1\n"
    "MatrixReady,0\nAreaAvgMode,1\nCheckJobRespSurface,1\nMaxYearsPastClosure,3\n";

}  // namespace

namespace {
// The tests' error logs go into a folder of their own, not the user's.
struct LogFolder {
  LogFolder() {
    static TempDir logs;
    setenv("XDG_DATA_HOME", logs.path().c_str(), 1);
  }
};
}  // namespace

TempDir::TempDir() {
  static int counter = 0;
  path_ = (fs::temp_directory_path() /
           ("orvdustm-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter)))
              .string();
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

const LogFolder kLogFolder;

CsvFiles BaseFiles() {
  return {
      {"parms.csv", kParms},
      {"coal_areas.csv",
       "ID,AREA,AREATYPE,AVERAGE_COLLIERYID,SPLITTYPE,SPLITDESCR\n"
       "1,Northfield,NORMAL,901,,\n2,Southmoor,NORMAL,902,,\n3,National Average,NATIONAL,903,,\n"
       "4,Small Mines,NORMAL,904,1,Small Mine: %PITNAME%\n5,Westdale,NORMAL,0,,\n"},
      {"collieries.csv",
       "ID,COLLIERY,COALAREAID,OPENSTARTYEAR,OPENENDYEAR,SPLITTYPE,SPLITDESCR\n"
       "901,Northfield Area Average,1,,,,\n902,Southmoor Area Average,2,,,,\n"
       "903,National Average,3,,,,\n904,Small Mines Average,4,,,1,Small Mine: %PITNAME%\n"},
      {"survey_rounds.csv", "STARTYEAR,ENDYEAR\n1960,1964\n"},
      {"surveys.csv", "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n"},
      {"tortious.csv",
       "COLLIERYID,STARTYEAR,ENDYEAR,SURFACE,TORTIOUSVAL\n901,1940,2030,N,60\n"
       "902,1940,2030,N,60\n903,1940,2030,N,50\n904,1940,2030,N,55\n"},
      {"job_factors.csv",
       "ID,CODE,DESCR,FACTOR,SURFACE,UPLIFT,DUSTYTIMEFACTOR,NONCHA,NONCHACHECK,YEARSPASTCLOSE\n"
       "1,FW,Face Worker,1,0,1,1,0,0,0\n"},
      {"resp_factors.csv",
       "ID,DESCR,FACTOR,SURFACE,STARTYEAR,ENDYEAR,STARTYEARVAL,ENDYEARVAL\n"
       "1,No respirator,0,0,0,0,0,0\n"},
      {"smoke_factors.csv", "ID,CODE,LISTDESCR,FACTOR\n1,N,Non smoker,0\n"},
  };
}

RunValues TestRunValues() { return RunValues{1940, 2030, 1947, 1990, 3}; }

std::string BuildDb(const TempDir& dir, const CsvFiles& files, const std::string& name) {
  CsvFiles all = BaseFiles();
  for (const auto& [file, text] : files) all[file] = text;
  const std::string src = dir.File(name + ".csv");
  fs::create_directories(src);
  for (const auto& [file, text] : all) std::ofstream(src + "/" + file) << text;
  const std::string db = dir.File(name);
  orv::dustdata::BuildFromCsv(src, db, true);
  return db;
}

orv::db::DatabasePtr OpenDb(const std::string& path) {
  orv::db::OpenOptions o;
  o.connect = orv::DustDataConnect();
  return orv::db::OpenDatabase(path, o);
}

std::string RowText(int start, int end, float value, const Value& marker, const Value& source) {
  const auto text = [](const Value& v) {
    const std::string t = v.TextOrEmpty();
    return t.empty() ? std::string("-") : t;
  };
  return std::to_string(start) + "-" + std::to_string(end) + " " + FloatToText(value) + " " +
         text(marker) + " " + text(source);
}

std::vector<std::string> MatrixRows(orv::db::Database& db, int32_t colliery_id) {
  std::vector<std::string> rows;
  auto rs = db.OpenRecordset(
      "SELECT STARTYEAR, ENDYEAR, DUSTVAL, MARKER, SOURCE FROM DUSTMATRIX WHERE COLLIERYID = ? "
      "ORDER BY STARTYEAR, ENDYEAR",
      orv::db::RecordsetType::Snapshot, {Value(colliery_id)});
  for (; !rs->IsEOF(); rs->MoveNext()) {
    rows.push_back(RowText(rs->Field(0).AsInt32(), rs->Field(1).AsInt32(), rs->Field(2).AsSingle(),
                           rs->Field(3), rs->Field(4)));
  }
  return rows;
}

std::string Parm(orv::db::Database& db, const std::string& key) {
  auto rs = db.OpenRecordset("SELECT PARMVALUE FROM PARMS WHERE PARM = ? COLLATE NOCASE",
                             orv::db::RecordsetType::Snapshot, {Value(key)});
  return rs->IsEOF() ? std::string("(missing)") : rs->Field(0).TextOrEmpty();
}

ScriptedBoxes::ScriptedBoxes()
    : boxes_(std::make_shared<ScriptedMessageBox>()), previous_(SetMessageBoxService(boxes_)) {}

ScriptedBoxes::~ScriptedBoxes() { SetMessageBoxService(previous_); }

}  // namespace orv::dustm::test
