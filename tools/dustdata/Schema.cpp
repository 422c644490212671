#include "Schema.h"

#include "Database.h"
#include "Tables.h"

namespace orv::dustdata {
namespace {

using orv::db::FieldDef;
using orv::db::FieldType;
using orv::db::IndexDef;

// YesNo columns read as the one-letter surface flag the engine expects.
#define SURFACE_FLAG "CASE WHEN SURFACE IS NULL THEN NULL WHEN SURFACE <> 0 THEN 'Y' ELSE 'N' END"
#define JOB_FACTOR_FIELDS                                                                          \
  "FACTOR AS Factor, DESCR AS Descr, " SURFACE_FLAG                                                \
  " AS Surface, UPLIFT AS Uplift, DUSTYTIMEFACTOR, NONCHA AS NonCHA, NONCHACHECK AS NonCHACheck, " \
  "YEARSPASTCLOSE AS YearsPastClose FROM JOBFACTORS"
#define COLLIERY_WITH_AREA "FROM COLLIERIES AS C LEFT JOIN COALAREAS AS A ON A.ID = C.COALAREAID"

// Codes and parameter keys are compared ignoring case, codes after the
// caller's blanks are dropped. A run of years is found by its colliery and
// its first year, so both lookups are index seeks. Where matrix runs overlap
// the most specific one wins: the latest start, and among equal starts the
// earliest end (a one-year strike inside a longer run); where tortious runs
// overlap the one that starts last.
const std::vector<StoredQuery> kQueries = {
    {"qDustMatrixData", "WhatCollieryID Long; WhatYear Integer",
     "SELECT MARKER AS Marker, DUSTVAL AS DustVal FROM DUSTMATRIX WHERE COLLIERYID = "
     ":WhatCollieryID AND STARTYEAR <= :WhatYear AND ENDYEAR >= :WhatYear ORDER BY STARTYEAR "
     "DESC, ENDYEAR LIMIT 1",
     "`Marker`, `DustVal` of the matrix run of colliery `WhatCollieryID` that holds year "
     "`WhatYear` (no row: no entry)"},
    {"qTortiousDustData", "WhatCollieryID Long; WhatYear Integer; Surface Text",
     "SELECT TORTIOUSVAL FROM TORTIOUS WHERE COLLIERYID = :WhatCollieryID AND SURFACE = "
     "UPPER(TRIM(:Surface)) AND STARTYEAR <= :WhatYear AND ENDYEAR >= :WhatYear ORDER BY "
     "STARTYEAR DESC LIMIT 1",
     "`TORTIOUSVAL`, the tortious percentage of colliery `WhatCollieryID` in year `WhatYear` for "
     "the surface flag `Surface` (\"Y\"/\"N\", any case)"},
    {"qSmokeFactor", "WhatID Long",
     "SELECT CODE AS Code, FACTOR AS Factor, LISTDESCR FROM SMOKEFACTORS WHERE ID = :WhatID",
     "`Code`, `Factor`, `LISTDESCR` of smoking category `WhatID`"},
    {"qSmokeFactorByCode", "WhatCode Text",
     "SELECT ID, FACTOR AS Factor, LISTDESCR FROM SMOKEFACTORS WHERE CODE = TRIM(:WhatCode) "
     "COLLATE NOCASE",
     "`ID`, `Factor`, `LISTDESCR` of the smoking category whose code is `WhatCode` (ignoring "
     "case and surrounding blanks)"},
    {"qCollieryByID", "WhatID Long",
     "SELECT C.COLLIERY AS Colliery, A.AREA AS AREA, C.COALAREAID AS CoalAreaID " COLLIERY_WITH_AREA
     " WHERE C.ID = :WhatID",
     "`Colliery`, `AREA` (its coal area's name), `CoalAreaID` of colliery `WhatID`"},
    {"qRespFactor", "WhatID Long",
     "SELECT FACTOR AS Factor, DESCR AS Descr, " SURFACE_FLAG
     " AS Surface, STARTYEAR AS StartYear, ENDYEAR AS EndYear, STARTYEARVAL AS StartYearVal, "
     "ENDYEARVAL AS EndYearVal FROM RESPFACTORS WHERE ID = :WhatID",
     "`Factor`, `Descr`, `Surface` (\"Y\"/\"N\"), `StartYear`, `EndYear`, `StartYearVal`, "
     "`EndYearVal` of respirator factor `WhatID`"},
    {"qJobFactor", "WhatID Long", "SELECT CODE AS Code, " JOB_FACTOR_FIELDS " WHERE ID = :WhatID",
     "`Code`, `Factor`, `Descr`, `Surface` (\"Y\"/\"N\"), `Uplift`, `DUSTYTIMEFACTOR`, `NonCHA`, "
     "`NonCHACheck`, `YearsPastClose` of job factor `WhatID`"},
    {"qJobFactorByCode", "WhatCode Text",
     "SELECT ID, " JOB_FACTOR_FIELDS " WHERE CODE = TRIM(:WhatCode) COLLATE NOCASE",
     "`ID` and the fields of `qJobFactor` but `Code`, for the job factor whose code is "
     "`WhatCode` (ignoring case and surrounding blanks)"},
    {"qOpenRangeCheck", "CollieryID Long",
     "SELECT OPENSTARTYEAR AS StartYear, OPENENDYEAR AS EndYear FROM COLLIERIES WHERE ID = "
     ":CollieryID",
     "`StartYear`, `EndYear`: the open years of colliery `CollieryID` (null when not known)"},
    {"qGetParm", "WhatParm Text",
     "SELECT PARMVALUE FROM PARMS WHERE PARM = :WhatParm COLLATE NOCASE",
     "`PARMVALUE` of model parameter `WhatParm` (key ignoring case)"},
    {"qCollieryLiabilitySplit", "WhatID Long",
     "SELECT C.SPLITTYPE AS COLLIERYSPLITTYPE, C.SPLITDESCR AS COLLIERYDESCR, A.SPLITTYPE AS "
     "COALAREASPLITTYPE, A.SPLITDESCR AS COALAREADESCR " COLLIERY_WITH_AREA " WHERE C.ID = :WhatID",
     "`COLLIERYSPLITTYPE`, `COLLIERYDESCR` of colliery `WhatID` and `COALAREASPLITTYPE`, "
     "`COALAREADESCR` of its coal area (nulls: no split)"},
    {"qCoalAreaList", "", "SELECT ID, AREA FROM COALAREAS ORDER BY AREA COLLATE NOCASE, ID",
     "`ID`, `AREA` of every coal area, by name"},
    {"qSmokeFactorList", "",
     "SELECT ID, CODE AS Code, LISTDESCR AS Descr FROM SMOKEFACTORS ORDER BY ID",
     "`ID`, `Code`, `Descr` of every smoking category, by identifier"},
    {"qRespFactorList", "",
     "SELECT ID, DESCR AS Descr FROM RESPFACTORS ORDER BY DESCR COLLATE NOCASE, ID",
     "`ID`, `Descr` of every respirator factor, by description"},
    {"qJobFactorList", "",
     "SELECT ID, DESCR AS Descr FROM JOBFACTORS ORDER BY DESCR COLLATE NOCASE, ID",
     "`ID`, `Descr` of every job factor, by description"},
    {"qCollieryList", "WhatCoalAreaID Long",
     "SELECT C.ID AS ID, C.COLLIERY AS Colliery, A.AREA AS AREA " COLLIERY_WITH_AREA
     " WHERE :WhatCoalAreaID = 0 OR C.COALAREAID = :WhatCoalAreaID ORDER BY C.COLLIERY COLLATE "
     "NOCASE, C.ID",
     "`ID`, `Colliery`, `AREA` of the collieries of coal area `WhatCoalAreaID` (0: of every "
     "area), by name"},
};

FieldType TypeOf(ColumnType t) {
  switch (t) {
    case ColumnType::Long:
      return FieldType::Long;
    case ColumnType::Int16:
      return FieldType::Integer;
    case ColumnType::Single:
      return FieldType::Single;
    case ColumnType::YesNo:
      return FieldType::YesNo;
    case ColumnType::Text:
      break;
  }
  return FieldType::Text;
}

struct IndexSpec {
  const char* table;
  IndexDef index;
};

// Text columns collate ignoring case, so the unique keys and codes are
// unique ignoring case and the lookups by them seek on these indexes.
const std::vector<IndexSpec> kIndexes = {
    {"PARMS", {"PrimaryKey", {"PARM"}, true, true, false}},
    {"COALAREAS", {"PrimaryKey", {"ID"}, true, true, false}},
    {"COLLIERIES", {"PrimaryKey", {"ID"}, true, true, false}},
    {"COLLIERIES", {"CoalAreaID", {"COALAREAID"}, false, false, false}},
    {"EQUIVALENTS", {"CollieryYear", {"COLLIERYID", "STARTYEAR"}, false, false, false}},
    {"SURVEYROUNDS", {"StartYear", {"STARTYEAR"}, false, false, false}},
    {"SURVEYS", {"CollieryYear", {"COLLIERYID", "STARTYEAR"}, false, false, false}},
    {"DUSTMATRIX", {"CollieryYear", {"COLLIERYID", "STARTYEAR"}, false, false, false}},
    {"TORTIOUS",
     {"CollierySurfaceYear", {"COLLIERYID", "SURFACE", "STARTYEAR"}, false, false, false}},
    {"JOBFACTORS", {"PrimaryKey", {"ID"}, true, true, false}},
    {"JOBFACTORS", {"Code", {"CODE"}, false, true, false}},
    {"RESPFACTORS", {"PrimaryKey", {"ID"}, true, true, false}},
    {"SMOKEFACTORS", {"PrimaryKey", {"ID"}, true, true, false}},
    {"SMOKEFACTORS", {"Code", {"CODE"}, false, true, false}},
};

const std::vector<ModelParameter> kParameters = {
    {"Version", ParmKind::Text, true},
    {"AvgYrPXR", ParmKind::Single, true},
    {"BordPillarTFac", ParmKind::Single, true},
    {"AnnSmokeUnit", ParmKind::Single, true},
    {"PctPrevCat1", ParmKind::Single, true},
    {"YearsAvgSmokeEquiv", ParmKind::Single, true},
    {"BordPillarID", ParmKind::Int32, true},
    {"LimitationYear", ParmKind::Int16, true},
    {"RespiratorYear", ParmKind::Int16, true},
    {"LimitYearVal", ParmKind::Single, true},
    {"RespYearVal", ParmKind::Single, true},
    {"BaseYear", ParmKind::Int16, true},
    {"AAvgStartYear", ParmKind::Int16, true},
    {"AAvgEndYear", ParmKind::Int16, true},
    {"RespEndYear", ParmKind::Int16, true},
    {"RespEndYearVal", ParmKind::Single, true},
    {"SmallMineJobID", ParmKind::Int32, true},
    {"SmallMineRespID", ParmKind::Int32, true},
    {"RespiratorWornRespID", ParmKind::Int32, true},
    {"ScottishLimitationYear", ParmKind::Int16, true},
    {"ScottishLimitYearVal", ParmKind::Single, true},
    {"SurfaceData", ParmKind::Int16, true},
    {"MatrixReady", ParmKind::Int16, true},
    {"AreaAvgMode", ParmKind::Int16, true},
    {"CheckJobRespSurface", ParmKind::Int16, true},
    {"MaxYearsPastClosure", ParmKind::Int16, true},
    {"LiabilitySplitEnhancements", ParmKind::Bool, false},
};

}  // namespace

const std::vector<StoredQuery>& BaseQueries() { return kQueries; }

const std::vector<ModelParameter>& ModelParameters() { return kParameters; }

void InstallBaseSchema(orv::db::Database& db) {
  for (const Table& t : BaseTables()) {
    std::vector<FieldDef> fields;
    for (const Column& c : t.columns) {
      FieldDef f;
      f.name = c.name;
      f.type = TypeOf(c.type);
      f.size = c.size;
      f.required = !c.nullable;
      fields.push_back(f);
    }
    db.CreateTable(t.name, fields);
  }
  for (const IndexSpec& i : kIndexes) db.CreateIndex(i.table, i.index);
  for (const StoredQuery& q : kQueries) db.CreateQueryDef(q.name, q.sql, q.parameters);
}

}  // namespace orv::dustdata
