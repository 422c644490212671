#include "detail/Schema.h"

#include "Database.h"
#include "Tables.h"

namespace orv::dustdata::detail {
namespace {

using orv::db::FieldDef;
using orv::db::FieldType;
using orv::db::IndexDef;

// Codes and parameter keys are compared ignoring case, codes after the
// caller's blanks are dropped. A run of years is found by its colliery and
// its first year, so both lookups are index seeks. Where matrix runs overlap
// the most specific one wins: the latest start, and among equal starts the
// earliest end (a one-year strike inside a longer run); where tortious runs
// overlap the one that starts last. Job and respirator factors keep their
// surface flag as a YesNo value; the engine reads it as "Y"/"N".
const std::vector<StoredQuery> kQueries = {
    // The latest run to start, then the earliest to end, found on the index
    // with no sort of its own (a sort is a temporary table per lookup).
    {"qDustMatrixData", "WhatCollieryID Long; WhatYear Integer",
     R"(SELECT MARKER AS Marker, DUSTVAL AS DustVal
FROM DUSTMATRIX
WHERE COLLIERYID = :WhatCollieryID AND ENDYEAR >= :WhatYear
  AND STARTYEAR = (SELECT MAX(STARTYEAR) FROM DUSTMATRIX
                   WHERE COLLIERYID = :WhatCollieryID AND STARTYEAR <= :WhatYear
                     AND ENDYEAR >= :WhatYear)
ORDER BY ENDYEAR
LIMIT 1)",
     "`Marker`, `DustVal` of the matrix run of colliery `WhatCollieryID` that holds year "
     "`WhatYear` (no row: no entry)"},
    // The calculated national averages (TORTIOUSDUST) where the colliery has
    // them for the surface flag, else the stored tortious values. The two
    // halves never both give a row, so the result is at most one row; each
    // half reads its index backwards, with no sort of its own.
    {"qTortiousDustData", "WhatCollieryID Long; WhatYear Integer; Surface Text",
     R"(SELECT TORTIOUSVAL
FROM (SELECT TORTIOUSVAL
      FROM TORTIOUSDUST
      WHERE COLLIERYID = :WhatCollieryID AND SURFACE = UPPER(TRIM(:Surface))
        AND STARTYEAR <= :WhatYear AND ENDYEAR >= :WhatYear
      ORDER BY STARTYEAR DESC
      LIMIT 1)
UNION ALL
SELECT TORTIOUSVAL
FROM (SELECT TORTIOUSVAL
      FROM TORTIOUS
      WHERE COLLIERYID = :WhatCollieryID AND SURFACE = UPPER(TRIM(:Surface))
        AND STARTYEAR <= :WhatYear AND ENDYEAR >= :WhatYear
        AND NOT EXISTS (SELECT 1 FROM TORTIOUSDUST AS D
                        WHERE D.COLLIERYID = :WhatCollieryID
                          AND D.SURFACE = UPPER(TRIM(:Surface)))
      ORDER BY STARTYEAR DESC
      LIMIT 1))",
     "`TORTIOUSVAL` of colliery `WhatCollieryID` in year `WhatYear` for surface flag `Surface` "
     "(\"Y\"/\"N\", any case): the calculated national average where the colliery has them, "
     "else the stored value"},
    {"qSmokeFactor", "WhatID Long",
     R"(SELECT CODE AS Code, FACTOR AS Factor, LISTDESCR
FROM SMOKEFACTORS
WHERE ID = :WhatID)",
     "`Code`, `Factor`, `LISTDESCR` of smoking category `WhatID`"},
    {"qSmokeFactorByCode", "WhatCode Text",
     R"(SELECT ID, FACTOR AS Factor, LISTDESCR
FROM SMOKEFACTORS
WHERE CODE = TRIM(:WhatCode) COLLATE NOCASE)",
     "`ID`, `Factor`, `LISTDESCR` of the smoking category whose code is `WhatCode` (ignoring "
     "case and surrounding blanks)"},
    {"qCollieryByID", "WhatID Long",
     R"(SELECT C.COLLIERY AS Colliery, A.AREA AS AREA, C.COALAREAID AS CoalAreaID
FROM COLLIERIES AS C LEFT JOIN COALAREAS AS A ON A.ID = C.COALAREAID
WHERE C.ID = :WhatID)",
     "`Colliery`, `AREA` (its coal area's name), `CoalAreaID` of colliery `WhatID`"},
    {"qRespFactor", "WhatID Long",
     R"(SELECT FACTOR AS Factor, DESCR AS Descr,
       CASE WHEN SURFACE IS NULL THEN NULL WHEN SURFACE <> 0 THEN 'Y' ELSE 'N' END AS Surface,
       STARTYEAR AS StartYear, ENDYEAR AS EndYear, STARTYEARVAL AS StartYearVal,
       ENDYEARVAL AS EndYearVal
FROM RESPFACTORS
WHERE ID = :WhatID)",
     "`Factor`, `Descr`, `Surface` (\"Y\"/\"N\"), `StartYear`, `EndYear`, `StartYearVal`, "
     "`EndYearVal` of respirator factor `WhatID`"},
    {"qJobFactor", "WhatID Long",
     R"(SELECT CODE AS Code, FACTOR AS Factor, DESCR AS Descr,
       CASE WHEN SURFACE IS NULL THEN NULL WHEN SURFACE <> 0 THEN 'Y' ELSE 'N' END AS Surface,
       UPLIFT AS Uplift, DUSTYTIMEFACTOR, NONCHA AS NonCHA, NONCHACHECK AS NonCHACheck,
       YEARSPASTCLOSE AS YearsPastClose
FROM JOBFACTORS
WHERE ID = :WhatID)",
     "`Code`, `Factor`, `Descr`, `Surface` (\"Y\"/\"N\"), `Uplift`, `DUSTYTIMEFACTOR`, `NonCHA`, "
     "`NonCHACheck`, `YearsPastClose` of job factor `WhatID`"},
    {"qJobFactorByCode", "WhatCode Text",
     R"(SELECT ID, FACTOR AS Factor, DESCR AS Descr,
       CASE WHEN SURFACE IS NULL THEN NULL WHEN SURFACE <> 0 THEN 'Y' ELSE 'N' END AS Surface,
       UPLIFT AS Uplift, DUSTYTIMEFACTOR, NONCHA AS NonCHA, NONCHACHECK AS NonCHACheck,
       YEARSPASTCLOSE AS YearsPastClose
FROM JOBFACTORS
WHERE CODE = TRIM(:WhatCode) COLLATE NOCASE)",
     "`ID` and the fields of `qJobFactor` but `Code`, for the job factor whose code is "
     "`WhatCode` (ignoring case and surrounding blanks)"},
    {"qOpenRangeCheck", "CollieryID Long",
     R"(SELECT OPENSTARTYEAR AS StartYear, OPENENDYEAR AS EndYear
FROM COLLIERIES
WHERE ID = :CollieryID)",
     "`StartYear`, `EndYear`: the open years of colliery `CollieryID` (null when not known)"},
    {"qGetParm", "WhatParm Text",
     R"(SELECT PARMVALUE
FROM PARMS
WHERE PARM = :WhatParm COLLATE NOCASE)",
     "`PARMVALUE` of model parameter `WhatParm` (key ignoring case)"},
    {"qCollieryLiabilitySplit", "WhatID Long",
     R"(SELECT C.SPLITTYPE AS COLLIERYSPLITTYPE, C.SPLITDESCR AS COLLIERYDESCR,
       A.SPLITTYPE AS COALAREASPLITTYPE, A.SPLITDESCR AS COALAREADESCR
FROM COLLIERIES AS C LEFT JOIN COALAREAS AS A ON A.ID = C.COALAREAID
WHERE C.ID = :WhatID)",
     "`COLLIERYSPLITTYPE`, `COLLIERYDESCR` of colliery `WhatID` and `COALAREASPLITTYPE`, "
     "`COALAREADESCR` of its coal area (nulls: no split)"},
    {"qCoalAreaList", "",
     R"(SELECT ID, AREA
FROM COALAREAS
ORDER BY AREA COLLATE NOCASE, ID)",
     "`ID`, `AREA` of every coal area, by name"},
    {"qSmokeFactorList", "",
     R"(SELECT ID, CODE AS Code, LISTDESCR AS Descr
FROM SMOKEFACTORS
ORDER BY ID)",
     "`ID`, `Code`, `Descr` of every smoking category, by identifier"},
    {"qRespFactorList", "",
     R"(SELECT ID, DESCR AS Descr
FROM RESPFACTORS
ORDER BY DESCR COLLATE NOCASE, ID)",
     "`ID`, `Descr` of every respirator factor, by description"},
    {"qJobFactorList", "",
     R"(SELECT ID, DESCR AS Descr
FROM JOBFACTORS
ORDER BY DESCR COLLATE NOCASE, ID)",
     "`ID`, `Descr` of every job factor, by description"},
    {"qCollieryList", "WhatCoalAreaID Long",
     R"(SELECT C.ID AS ID, C.COLLIERY AS Colliery, A.AREA AS AREA
FROM COLLIERIES AS C LEFT JOIN COALAREAS AS A ON A.ID = C.COALAREAID
WHERE :WhatCoalAreaID = 0 OR C.COALAREAID = :WhatCoalAreaID
ORDER BY C.COLLIERY COLLATE NOCASE, C.ID)",
     "`ID`, `Colliery`, `AREA` of the collieries of coal area `WhatCoalAreaID` (0: of every "
     "area), by name"},
    // The tortious table as the engine reads it, in the layout of TORTIOUS:
    // what an export of an expanded database writes as tortious.csv, so that
    // a build of the export reads the same values without expanding again.
    {kTortiousExportQuery, "",
     R"(SELECT COLLIERYID, STARTYEAR, ENDYEAR, SURFACE, TORTIOUSVAL
FROM TORTIOUS AS T
WHERE NOT EXISTS (SELECT 1 FROM TORTIOUSDUST AS D
                  WHERE D.COLLIERYID = T.COLLIERYID AND D.SURFACE = T.SURFACE)
UNION ALL
SELECT COLLIERYID, STARTYEAR, ENDYEAR, SURFACE, TORTIOUSVAL
FROM TORTIOUSDUST
ORDER BY COLLIERYID, SURFACE, STARTYEAR, ENDYEAR)",
     "every tortious row the engine reads: the calculated national averages in place of the "
     "national-average colliery's stored rows"},
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
    {"DUSTMATRIX", {"CollieryYear", {"COLLIERYID", "STARTYEAR", "ENDYEAR"}, false, false, false}},
    {"TORTIOUS",
     {"CollierySurfaceYear", {"COLLIERYID", "SURFACE", "STARTYEAR"}, false, false, false}},
    {"JOBFACTORS", {"PrimaryKey", {"ID"}, true, true, false}},
    {"JOBFACTORS", {"Code", {"CODE"}, false, true, false}},
    {"RESPFACTORS", {"PrimaryKey", {"ID"}, true, true, false}},
    {"SMOKEFACTORS", {"PrimaryKey", {"ID"}, true, true, false}},
    {"SMOKEFACTORS", {"Code", {"CODE"}, false, true, false}},
    {"TORTIOUSDUST",
     {"CollierySurfaceYear", {"COLLIERYID", "SURFACE", "STARTYEAR"}, false, false, false}},
};

// The calculated national averages, one row per national-average colliery,
// surface flag and year: filled by the matrix expansion, read by the
// engine's tortious lookup in preference to the colliery's stored rows.
const std::vector<Column> kTortiousDustColumns = {
    {"COLLIERYID", ColumnType::Long},
    {"STARTYEAR", ColumnType::Int16},
    {"ENDYEAR", ColumnType::Int16},
    {"SURFACE", ColumnType::Text, 1},
    {"TORTIOUSVAL", ColumnType::Single, 0, true},
};

std::vector<FieldDef> FieldsOf(const std::vector<Column>& columns) {
  std::vector<FieldDef> fields;
  for (const Column& c : columns) {
    FieldDef f;
    f.name = c.name;
    f.type = TypeOf(c.type);
    f.size = c.size;
    f.required = !c.nullable;
    fields.push_back(f);
  }
  return fields;
}

}  // namespace

const std::vector<StoredQuery>& BaseQueries() { return kQueries; }

void InstallBaseSchema(orv::db::Database& db) {
  for (const Table& t : BaseTables()) db.CreateTable(t.name, FieldsOf(t.columns));
  db.CreateTable("TORTIOUSDUST", FieldsOf(kTortiousDustColumns));
  for (const IndexSpec& i : kIndexes) db.CreateIndex(i.table, i.index);
  for (const StoredQuery& q : kQueries) db.CreateQueryDef(q.name, q.sql, q.parameters);
}

}  // namespace orv::dustdata::detail
