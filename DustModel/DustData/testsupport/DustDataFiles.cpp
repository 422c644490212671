#include "DustDataFiles.h"

#include <fstream>
#include <sstream>
#include <utility>

#include "DustDataBuild.h"
#include "DustDataPassword.h"
#include "SpoiltFiles.h"

namespace orv::dustdata::test {
namespace {

namespace fs = std::filesystem;

// In the order of the model parameter table; LiabilitySplitEnhancements is
// left out (it reads as False).
constexpr std::pair<const char*, const char*> kBaseParms[] = {
    {"Version", "48"},
    {"AvgYrPXR", "3.5"},
    {"BordPillarTFac", "1.2"},
    {"AnnSmokeUnit", "1"},
    {"PctPrevCat1", "12"},
    {"YearsAvgSmokeEquiv", "20"},
    {"BordPillarID", "9"},
    {"LimitationYear", "1954"},
    {"RespiratorYear", "1975"},
    {"LimitYearVal", "0.5"},
    {"RespYearVal", "0.5"},
    {"BaseYear", "1940"},
    {"AAvgStartYear", "1947"},
    {"AAvgEndYear", "1990"},
    {"RespEndYear", "1995"},
    {"RespEndYearVal", "1"},
    {"SmallMineJobID", "1"},
    {"SmallMineRespID", "1"},
    {"RespiratorWornRespID", "1"},
    {"ScottishLimitationYear", "1964"},
    {"ScottishLimitYearVal", "1"},
    {"SurfaceData", "1"},
    {"MatrixReady", "0"},
    {"AreaAvgMode", "1"},
    {"CheckJobRespSurface", "1"},
    {"MaxYearsPastClosure", "3"},
};

}  // namespace

std::string ParmsCsv(const std::map<std::string, std::string>& values) {
  std::string text = "PARM,PARMVALUE\n";
  std::map<std::string, std::string> rest = values;
  for (const auto& [key, value] : kBaseParms) {
    const auto it = rest.find(key);
    text += std::string(key) + "," + (it == rest.end() ? std::string(value) : it->second) + "\n";
    if (it != rest.end()) rest.erase(it);
  }
  for (const auto& [key, value] : rest) text += key + "," + value + "\n";
  return text;
}

CsvFiles BaseFiles() {
  return {
      {"parms.csv", ParmsCsv()},
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

std::string BaseWith(const std::string& file, const std::string& rows) {
  return BaseFiles().at(file) + rows;
}

std::string BuildDb(const TempDir& dir, const CsvFiles& files, const std::string& name) {
  CsvFiles all = BaseFiles();
  for (const auto& [file, text] : files) all[file] = text;
  const std::string src = dir.File(name + ".csv");
  fs::create_directories(src);
  for (const auto& [file, text] : all) WriteText(fs::path(src) / file, text);
  const std::string db = dir.File(name);
  BuildFromCsv(src, db, true);
  return db;
}

std::string FixtureDir() { return TARNBY_DUSTDATA_FIXTURE; }

fs::path CopyFixture(const fs::path& to) {
  fs::create_directories(to.parent_path());
  fs::copy(FixtureDir(), to, fs::copy_options::recursive);
  return to;
}

orv::db::DatabasePtr OpenDb(const std::string& path, bool read_only) {
  orv::db::OpenOptions o;
  o.read_only = read_only;
  o.connect = orv::DustDataConnect();
  return orv::db::OpenDatabase(path, o);
}

std::vector<std::vector<std::string>> Rows(orv::db::Database& db, const std::string& sql) {
  std::vector<std::vector<std::string>> out;
  auto rs = db.OpenRecordset(sql, orv::db::RecordsetType::Snapshot);
  for (; !rs->IsEOF(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (int i = 0; i < rs->FieldCount(); ++i) {
      const orv::Value v = rs->Field(i);
      row.push_back(v.IsNull() ? "<null>" : v.AsText());
    }
    out.push_back(row);
  }
  return out;
}

std::string ReadText(const fs::path& p) { return orv::test::FileBytes(p.string()); }

void WriteText(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

void SetLine(const fs::path& p, int n, const std::string& line) {
  std::istringstream in(ReadText(p));
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  if (n == 0) {
    lines.push_back(line);
  } else if (line.empty()) {
    lines.erase(lines.begin() + (n - 1));
  } else {
    lines.at(static_cast<size_t>(n - 1)) = line;
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  WriteText(p, out);
}

}  // namespace orv::dustdata::test
