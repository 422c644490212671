#include "CalcTestData.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "DustDataFiles.h"
#include "modGlobals.h"

namespace orv::dust::calctest {

namespace fs = std::filesystem;

namespace {

// The hand-worked values, over the base set's model parameters.
const std::map<std::string, std::string> kParms = {
    {"AvgYrPXR", "4"},          {"BordPillarTFac", "1"},
    {"PctPrevCat1", "10"},      {"BordPillarID", "0"},
    {"LimitationYear", "1960"}, {"BaseYear", "1947"},
    {"AAvgEndYear", "2005"},    {"SmallMineJobID", "20"},
    {"SmallMineRespID", "5"},   {"RespiratorWornRespID", "3"},
    {"MatrixReady", "1"},       {"MaxYearsPastClosure", "5"},
};

const char* kCoalAreas =
    "ID,AREA,AREATYPE,AVERAGE_COLLIERYID,SPLITTYPE,SPLITDESCR\n"
    "1,North,NORMAL,0,,\n"
    "2,South,NORMAL,0,,\n"
    "3,West,NORMAL,0,2,West Owners\n"
    "4,Small Mines,NORMAL,904,,\n";

const char* kCollieries =
    "ID,COLLIERY,COALAREAID,OPENSTARTYEAR,OPENENDYEAR,SPLITTYPE,SPLITDESCR\n"
    "101,Ashby Main,1,1947,,,\n"
    "102,Bexley Colliery,1,1947,,,\n"
    "103,Carrow Pit,2,1947,,2,\"Carrow Estates, Ltd\"\n"
    "104,Dunmore,2,1947,1964,,\n"
    "105,Eskdale,2,1947,,,\n"
    "106,UK Coal Eastfield,2,1947,,,\n"
    "107,Fenwick,2,1947,1969,,\n"
    "108,Gorse Hill,3,1947,,,\n"
    "109,Hatton,2,1947,,,\n"
    "904,Small Mines Area Average,4,,,1,Small Mine: %PITNAME%\n";

const char* kMatrix =
    "COLLIERYID,STARTYEAR,ENDYEAR,DUSTVAL,MARKER,SOURCE\n"
    "101,1947,1976,4,SURVEY,\n"
    "101,1977,1977,0,STRIKE,\n"
    "101,1978,2126,4,SURVEY,\n"
    "102,1947,2126,2,AVERAGE,\n"
    "103,1947,1983,6,SURVEY,\n"
    "103,1984,1984,0,STRIKE,\n"
    "103,1985,2126,6,SURVEY,\n"
    "104,1947,1964,4,SURVEY,\n"
    "105,1947,2126,4,SURVEY,\n"
    "106,1947,2126,4,SURVEY,\n"
    "107,1947,1969,4,SURVEY,\n"
    "107,1970,2126,4,CLOSED,\n"
    "108,1947,2126,4,SURVEY,\n"
    "109,1947,2126,4,SURVEY,\n"
    "904,1947,2126,3,AVERAGE,\n";

const char* kTortious =
    "COLLIERYID,STARTYEAR,ENDYEAR,SURFACE,TORTIOUSVAL\n"
    "101,1947,2126,N,50\n"
    "102,1947,2126,N,40\n"
    "102,1947,2126,Y,20\n"
    "103,1947,2126,N,80\n"
    "104,1947,2126,N,50\n"
    "106,1947,2126,N,50\n"
    "107,1947,2126,N,50\n"
    "108,1947,2126,N,88\n"
    "109,1947,2126,N,80\n"
    "904,1947,2126,N,60\n";

const char* kJobFactors =
    "ID,CODE,DESCR,FACTOR,SURFACE,UPLIFT,DUSTYTIMEFACTOR,NONCHA,NONCHACHECK,YEARSPASTCLOSE\n"
    "1,FW,Face Worker,1,0,1,1,0,0,0\n"
    "2,HAUL,Haulage Hand,0.5,0,1,1,0,0,0\n"
    "3,SURF,Surface Screens,0.5,1,1,0.5,1,1,0\n"
    "6,STR,Strike period,0,0,1,1,0,0,0\n"
    "7,JB,Job Break,0,0,1,1,0,0,0\n"
    "8,ND,No Data,0,0,1,1,0,0,0\n"
    "9,NDX,No Data - job not known,0,0,1,1,0,0,0\n"
    "11,CL15,Salvage,1,0,1,1,0,0,1.5\n"
    "12,CL0,Salvage,1,0,1,1,0,0,0\n"
    "13,UPL,Face Worker uplifted,1,0,1.25,1,0,0,0\n"
    "20,SM,Small Mine Worker,1,0,1,1,0,0,0\n";

const char* kRespFactors =
    "ID,DESCR,FACTOR,SURFACE,STARTYEAR,ENDYEAR,STARTYEARVAL,ENDYEARVAL\n"
    "1,No respirator,0,0,0,0,0,0\n"
    "2,Respirator worn 1975 to 1990,20,0,1975,1990,0.5,1\n"
    "3,Respirator worn,25,0,1970,1995,1,1\n"
    "4,Surface - no respirator,0,1,0,0,0,0\n"
    "5,Small mine - no respirator,0,0,0,0,0,0\n"
    "6,Strike period,0,0,0,0,0,0\n"
    "7,Job Break,0,0,0,0,0,0\n"
    "8,No Data,0,0,0,0,0,0\n"
    "10,Respirator 20 always,20,0,1947,2126,1,1\n"
    "11,Respirator 24 always,24,0,1947,2126,1,1\n"
    "12,Respirator 60 always,60,0,1947,2126,1,1\n";

const char* kSmokeFactors =
    "ID,CODE,LISTDESCR,FACTOR\n"
    "1,N,Non smoker,0\n"
    "2,L,Light,0.5\n"
    "4,H,Heavy,1.5\n";

orv::dustdata::test::CsvFiles HandFiles(const std::map<std::string, std::string>& replaced) {
  std::map<std::string, std::string> parms = kParms;
  for (const auto& [key, value] : replaced) parms[key] = value;
  return {
      {"parms.csv", orv::dustdata::test::ParmsCsv(parms)},
      {"coal_areas.csv", kCoalAreas},
      {"collieries.csv", kCollieries},
      {"survey_rounds.csv", "STARTYEAR,ENDYEAR\n1954,1956\n"},
      {"surveys.csv", "COLLIERYID,MARKER,STARTYEAR,ENDYEAR,DUSTVAL\n101,SURVEY,1955,1955,4\n"},
      {"dust_matrix.csv", kMatrix},
      {"tortious.csv", kTortious},
      {"job_factors.csv", kJobFactors},
      {"resp_factors.csv", kRespFactors},
      {"smoke_factors.csv", kSmokeFactors},
  };
}

ScratchDir& Databases() {
  static ScratchDir dir;
  return dir;
}

}  // namespace

std::string HandDbWith(const std::map<std::string, std::string>& parms) {
  static int serial = 0;
  return orv::dustdata::test::BuildDb(Databases(), HandFiles(parms),
                                      "hand" + std::to_string(++serial) + ".db");
}

const std::string& HandDb() {
  static const std::string db = HandDbWith({});
  return db;
}

void OpenHandDb(const std::string& db) {
  if (!SetupDataDB(db)) throw std::runtime_error("dust data connection not ready");
}

}  // namespace orv::dust::calctest
