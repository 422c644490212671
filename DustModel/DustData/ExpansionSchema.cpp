// Working tables and stored queries of the matrix expansion, installed into
// a dust data database after its base schema. docs/matrix-expansion.md says
// what each query does and why.
#include "ExpansionSchema.h"

#include "Database.h"
#include "OrvError.h"

namespace orv::dustdata {
namespace {

using orv::db::FieldDef;
using orv::db::FieldType;
using orv::db::IndexDef;

struct WorkTable {
  const char* name;
  std::vector<FieldDef> fields;
  std::vector<IndexDef> indexes;
};

FieldDef F(const char* name, FieldType type, int32_t size = 0, bool required = false) {
  return MakeField(name, type, size, required);
}

std::vector<WorkTable> WorkTables() {
  using T = FieldType;
  return {
      {"OPENRANGE",
       {F("COLLIERYID", T::Long, 0, true), F("STARTYEAR", T::Integer), F("ENDYEAR", T::Integer),
        F("EQUIVCOLLIERYID", T::Long)},
       {{"PrimaryKey", {"COLLIERYID"}, true, true, false}}},
      {"AREAAVERAGE",
       {F("ID", T::Long, 0, true), F("COLLIERYID", T::Long, 0, true), F("STARTYEAR", T::Integer),
        F("ENDYEAR", T::Integer), F("DUSTVAL", T::Single), F("MARKER", T::Text, 20),
        F("NOTE", T::Text, 255), F("EQUIVCOLLIERYID", T::Long)},
       {{"CollieryYear", {"COLLIERYID", "STARTYEAR"}, false, false, false}}},
      {"AVERAGECALC",
       {F("SURFACE", T::Text, 1, true), F("YEAR", T::Integer, 0, true), F("OPENCOUNT", T::Long),
        F("OPENSUM", T::Double), F("EQUIVCOUNT", T::Long), F("CLOSEDCOUNT", T::Long),
        F("TRUECOUNT", T::Long), F("TORTIOUSSUM", T::Double), F("WEIGHTEDTORTIOUS", T::Single)},
       {{"PrimaryKey", {"SURFACE", "YEAR"}, true, true, false}}},
      {"COLLIERYCOUNT",
       {F("COLLIERYID", T::Long, 0, true), F("SURFACE", T::Text, 1, true),
        F("STARTYEAR", T::Integer, 0, true), F("ENDYEAR", T::Integer, 0, true),
        F("TORTIOUSVAL", T::Single), F("STATE", T::Text, 6, true)},
       {{"SurfaceStateYear", {"SURFACE", "STATE", "STARTYEAR"}, false, false, false}}},
      {"TORTIOUSAVG",
       {F("COLLIERYID", T::Long, 0, true), F("YEAR", T::Integer, 0, true),
        F("SURFACE", T::Text, 1, true), F("TORTIOUSVAL", T::Single), F("COLLIERYCOUNT", T::Long)},
       {}},
  };
}

const std::vector<StoredQuery> kQueries = {
    // A colliery's matrix rows.
    {"qAddDustMatrix",
     "CollieryID Long; StartYear Integer; EndYear Integer; DustVal Single; Marker Text; Source "
     "Text",
     R"(INSERT INTO DUSTMATRIX (COLLIERYID, STARTYEAR, ENDYEAR, DUSTVAL, MARKER,
  SOURCE) VALUES (:CollieryID, :StartYear, :EndYear, :DustVal, :Marker, :Source))",
     "appends one matrix row"},
    {"qClearDustMatrixForColliery", "CollieryID Long",
     R"(DELETE FROM DUSTMATRIX
WHERE COLLIERYID = :CollieryID)",
     "deletes every matrix row of colliery `CollieryID`"},
    {"qDustMatrixForColliery", "CollieryID Long",
     R"(SELECT STARTYEAR AS StartYear, ENDYEAR AS EndYear, DUSTVAL AS DustVal, MARKER AS Marker,
  SOURCE AS Source
FROM DUSTMATRIX
WHERE COLLIERYID = :CollieryID
ORDER BY STARTYEAR, ENDYEAR)",
     "`StartYear`, `EndYear`, `DustVal`, `Marker`, `Source` of colliery `CollieryID`, by year"},

    // Open ranges.
    {"qOpenRangeEmpty", "", R"(DELETE FROM OPENRANGE)", "empties OPENRANGE"},
    {"qOpenRangeNormal", "",
     R"(INSERT INTO OPENRANGE (COLLIERYID, STARTYEAR, ENDYEAR, EQUIVCOLLIERYID)
SELECT C.ID, C.OPENSTARTYEAR, C.OPENENDYEAR, 0
FROM COLLIERIES AS C
WHERE C.OPENSTARTYEAR > 0 OR C.OPENENDYEAR > 0
  OR NOT EXISTS (SELECT 1 FROM EQUIVALENTS AS E WHERE E.COLLIERYID = C.ID))",
     "one row per colliery with open years of its own, or with no equivalent to take them from"},
    {"qOpenRangeFixStart", "DefStart Integer",
     R"(UPDATE OPENRANGE SET STARTYEAR = :DefStart
WHERE EQUIVCOLLIERYID = 0 AND (STARTYEAR IS NULL OR STARTYEAR <= 0))",
     "a missing open start year becomes `DefStart`"},
    {"qOpenRangeFixEnd", "DefEnd Integer",
     R"(UPDATE OPENRANGE SET ENDYEAR = :DefEnd
WHERE EQUIVCOLLIERYID = 0 AND (ENDYEAR IS NULL OR ENDYEAR <= 0))",
     "a missing open end year becomes `DefEnd`"},
    {"qOpenRangeEquiv", "",
     R"(INSERT INTO OPENRANGE (COLLIERYID, STARTYEAR, ENDYEAR, EQUIVCOLLIERYID)
SELECT L.ID, NULL, NULL, L.EQUIVID
FROM (SELECT C.ID AS ID,
  (SELECT E.EQUIVCOLLIERYID FROM EQUIVALENTS AS E WHERE E.COLLIERYID = C.ID ORDER BY CASE WHEN
  E.ENDYEAR > 0 THEN E.ENDYEAR ELSE 32767 END DESC, E.STARTYEAR DESC,
  E.EQUIVCOLLIERYID LIMIT 1) AS EQUIVID FROM COLLIERIES AS C WHERE NOT EXISTS (SELECT 1 FROM
  OPENRANGE AS O WHERE O.COLLIERYID = C.ID)) AS L
WHERE L.EQUIVID IS NOT NULL AND L.EQUIVID <> L.ID
  AND EXISTS (SELECT 1 FROM OPENRANGE AS O WHERE O.COLLIERYID = L.EQUIVID))",
     "adds the collieries whose equivalent already has a row, pointing at it (one link per run)"},
    {"qOpenRange", "CollieryID Long",
     R"(SELECT STARTYEAR AS StartYear, ENDYEAR AS EndYear, EQUIVCOLLIERYID
FROM OPENRANGE
WHERE COLLIERYID = :CollieryID)",
     "`StartYear`, `EndYear`, `EQUIVCOLLIERYID` of colliery `CollieryID`"},

    // Area averages. Pseudo collieries (the area-average collieries of the
    // coal areas) are never surveyed pits of their own; the national-average
    // area is the first area that is not an ordinary one.
    {"qSurveyRounds", "",
     R"(SELECT STARTYEAR AS StartYear, ENDYEAR AS EndYear
FROM SURVEYROUNDS
ORDER BY STARTYEAR, ENDYEAR)",
     "`StartYear`, `EndYear` of every survey round, in year order"},
    {"qSurveysInPeriodByArea", "AREAID Long; SYEAR Integer; EYEAR Integer",
     R"(SELECT S.DUSTVAL AS DustVal
FROM SURVEYS AS S JOIN COLLIERIES AS C ON C.ID = S.COLLIERYID
WHERE C.COALAREAID = :AREAID AND S.MARKER = 'SURVEY' AND S.STARTYEAR >= :SYEAR
  AND S.STARTYEAR <= :EYEAR
  AND C.ID NOT IN (SELECT AVERAGE_COLLIERYID FROM COALAREAS WHERE AVERAGE_COLLIERYID > 0))",
     "`DustVal` of each survey of area `AREAID` taken from `SYEAR` to `EYEAR`"},
    {"qNatAvgSurveysInPeriodByArea", "NATAVGAREAID Long; SYEAR Integer; EYEAR Integer",
     R"(SELECT S.DUSTVAL AS DustVal
FROM COLLIERIES AS C CROSS JOIN SURVEYS AS S ON S.COLLIERYID = C.ID JOIN COALAREAS AS A
  ON A.ID = C.COALAREAID
WHERE A.AREATYPE = 'NORMAL' AND C.COALAREAID <> :NATAVGAREAID AND S.MARKER = 'SURVEY'
  AND S.STARTYEAR >= :SYEAR AND S.STARTYEAR <= :EYEAR
  AND C.ID NOT IN (SELECT AVERAGE_COLLIERYID FROM COALAREAS WHERE AVERAGE_COLLIERYID > 0))",
     "`DustVal` of each survey of every ordinary area taken from `SYEAR` to `EYEAR`"},
    {"qAreaAvgCollieryByArea", "WhatAreaID Long",
     R"(SELECT AVERAGE_COLLIERYID AS ID
FROM COALAREAS
WHERE ID = :WhatAreaID AND AVERAGE_COLLIERYID > 0)",
     "`ID` of the area-average colliery of area `WhatAreaID` (no row: none)"},
    {"qAreaListForAverages", "",
     R"(SELECT ID, AREATYPE, AVERAGE_COLLIERYID
FROM COALAREAS
ORDER BY ID)",
     "`ID`, `AREATYPE`, `AVERAGE_COLLIERYID` of every coal area"},
    {"qAddAreaAverage",
     "NewID Long; NewCollieryID Long; NewStartYEar Integer; NewEndYear Integer; NewDustVal "
     "Double; NewMarker Text; NewNote Text; NewEquivCollieryID Long",
     R"(INSERT INTO AREAAVERAGE (ID, COLLIERYID, STARTYEAR, ENDYEAR, DUSTVAL, MARKER, NOTE,
  EQUIVCOLLIERYID) VALUES (:NewID, :NewCollieryID, :NewStartYEar, :NewEndYear, :NewDustVal,
  :NewMarker, :NewNote, :NewEquivCollieryID))",
     "appends one area average break point"},
    {"qEmptyAreaAverage", "", R"(DELETE FROM AREAAVERAGE)", "empties AREAAVERAGE"},
    {"qAppendSmallMineAverages", "",
     R"(INSERT INTO AREAAVERAGE (ID, COLLIERYID, STARTYEAR, ENDYEAR, DUSTVAL, MARKER, NOTE,
  EQUIVCOLLIERYID)
SELECT (SELECT COALESCE(MAX(ID), 0) FROM AREAAVERAGE) + ROW_NUMBER() OVER (ORDER BY SM.ID,
  N.ID), SM.AVERAGE_COLLIERYID, N.STARTYEAR, N.ENDYEAR, N.DUSTVAL, 'AVERAGE',
  'National average for small mines', N.COLLIERYID
FROM COALAREAS AS SM JOIN AREAAVERAGE AS N
  ON N.COLLIERYID = (SELECT NA.AVERAGE_COLLIERYID FROM COALAREAS AS NA WHERE NA.AREATYPE <>
  'NORMAL' AND NA.AVERAGE_COLLIERYID > 0 ORDER BY NA.ID LIMIT 1)
WHERE SM.SPLITTYPE = 1 AND SM.AREATYPE = 'NORMAL' AND SM.AVERAGE_COLLIERYID > 0
  AND NOT EXISTS (SELECT 1 FROM AREAAVERAGE AS X WHERE X.COLLIERYID = SM.AVERAGE_COLLIERYID))",
     "gives each small-mine area without averages of its own the national average break points"},

    // The filling.
    {"qAreaAverageCollieries", "",
     R"(SELECT DISTINCT COLLIERYID AS CollieryID
FROM AREAAVERAGE
ORDER BY COLLIERYID)",
     "`CollieryID` of every colliery with area average break points"},
    {"qAreaAverageDataByColliery", "CollieryID Long",
     R"(SELECT STARTYEAR AS StartYear, MAX(ENDYEAR) AS EndYear, AVG(DUSTVAL) AS DustVal
FROM AREAAVERAGE
WHERE COLLIERYID = :CollieryID
GROUP BY STARTYEAR
ORDER BY STARTYEAR)",
     "`StartYear`, `EndYear`, `DustVal`: one break point per year, in year order"},
    {"qCollieriesWithSurveys", "",
     R"(SELECT C.ID AS CollieryID
FROM COLLIERIES AS C
WHERE EXISTS (SELECT 1 FROM SURVEYS AS S WHERE S.COLLIERYID = C.ID AND S.MARKER = 'SURVEY')
  AND C.ID NOT IN (SELECT AVERAGE_COLLIERYID FROM COALAREAS WHERE AVERAGE_COLLIERYID > 0)
ORDER BY C.ID)",
     "`CollieryID` of every colliery with at least one survey"},
    {"qRawDataByColliery", "CollieryID Long",
     R"(SELECT 'SURVEY' AS Marker, STARTYEAR AS StartYear, MAX(ENDYEAR) AS EndYear,
  AVG(DUSTVAL) AS DustVal
FROM SURVEYS
WHERE COLLIERYID = :CollieryID AND MARKER = 'SURVEY'
GROUP BY STARTYEAR
UNION ALL SELECT MARKER, STARTYEAR, ENDYEAR, DUSTVAL
FROM SURVEYS
WHERE COLLIERYID = :CollieryID AND MARKER <> 'SURVEY'
ORDER BY StartYear, EndYear)",
     "`Marker`, `StartYear`, `EndYear`, `DustVal` of colliery `CollieryID`'s raw rows, by year; "
     "surveys begun in the same year are averaged"},
    {"qCollieriesWithoutSurveys", "",
     R"(SELECT C.ID AS CollieryID, C.COALAREAID AS CoalAreaID
FROM COLLIERIES AS C
WHERE NOT EXISTS (SELECT 1 FROM SURVEYS AS S WHERE S.COLLIERYID = C.ID
  AND S.MARKER = 'SURVEY')
  AND C.ID NOT IN (SELECT AVERAGE_COLLIERYID FROM COALAREAS WHERE AVERAGE_COLLIERYID > 0)
ORDER BY C.ID)",
     "`CollieryID`, `CoalAreaID` of every colliery without surveys"},
    {"qEmptyDustMatrix", "", R"(DELETE FROM DUSTMATRIX)", "empties DUSTMATRIX"},
    {"qListEquivalents", "",
     R"(WITH RECURSIVE REACH(COLLIERYID, TARGET, DEPTH) AS (SELECT COLLIERYID, EQUIVCOLLIERYID,
  1 FROM EQUIVALENTS UNION SELECT R.COLLIERYID, E.EQUIVCOLLIERYID,
  R.DEPTH + 1 FROM REACH AS R JOIN EQUIVALENTS AS E
  ON E.COLLIERYID = R.TARGET WHERE R.DEPTH < 10),
  LEVELS(COLLIERYID, LVL) AS (SELECT COLLIERYID, MAX(DEPTH) FROM REACH GROUP BY COLLIERYID)
SELECT E.COLLIERYID AS CollieryID, C.COLLIERY AS Colliery, E.EQUIVCOLLIERYID,
  E.STARTYEAR AS StartYear, E.ENDYEAR AS EndYear, C.OPENSTARTYEAR AS OpenStartYear,
  C.OPENENDYEAR AS OpenEndYear, Q.COLLIERY AS EquivColliery
FROM EQUIVALENTS AS E JOIN COLLIERIES AS C ON C.ID = E.COLLIERYID LEFT JOIN COLLIERIES AS Q
  ON Q.ID = E.EQUIVCOLLIERYID JOIN LEVELS AS L ON L.COLLIERYID = E.COLLIERYID
ORDER BY L.LVL, E.COLLIERYID, E.STARTYEAR, E.ENDYEAR, E.EQUIVCOLLIERYID)",
     "every equivalents row with the names and open years, the ends of chains first"},
    {"qDustMatrixClosedData", "YearsPastEnd Integer",
     R"(INSERT INTO DUSTMATRIX (COLLIERYID, STARTYEAR, ENDYEAR, DUSTVAL, MARKER, SOURCE)
SELECT L.ID, L.CLOSEYEAR + 1, L.CLOSEYEAR + :YearsPastEnd, L.DUSTVAL, 'CLOSED', 'Closed'
FROM (SELECT C.ID AS ID, C.OPENENDYEAR AS CLOSEYEAR,
  (SELECT M.DUSTVAL FROM DUSTMATRIX AS M WHERE M.COLLIERYID = C.ID
  AND M.STARTYEAR <= C.OPENENDYEAR AND M.ENDYEAR >= C.OPENENDYEAR ORDER BY M.STARTYEAR DESC,
  M.ENDYEAR LIMIT 1) AS DUSTVAL FROM COLLIERIES AS C WHERE C.OPENENDYEAR > 0
  AND :YearsPastEnd > 0
  AND NOT EXISTS (SELECT 1 FROM DUSTMATRIX AS X WHERE X.COLLIERYID = C.ID
  AND X.ENDYEAR > C.OPENENDYEAR AND X.STARTYEAR <= C.OPENENDYEAR + :YearsPastEnd)) AS L
WHERE L.DUSTVAL IS NOT NULL)",
     "one \"CLOSED\" row over the `YearsPastEnd` years after each closure, at the closing year's "
     "value"},
    {"qSetMatrixReady", "MatrixReady Text",
     R"(INSERT OR REPLACE INTO PARMS (PARM, PARMVALUE) VALUES ('MatrixReady', :MatrixReady))",
     "sets the model parameter MatrixReady"},

    // Tortious averages.
    {"qAverageCalcEmpty", "", R"(DELETE FROM AVERAGECALC)", "empties AVERAGECALC"},
    {"qAverageCalcPopulate", "",
     R"(WITH RECURSIVE YEARS(YEAR) AS (SELECT MIN(T.STARTYEAR) FROM TORTIOUS AS T WHERE T.COLLIERYID
  NOT IN (SELECT AVERAGE_COLLIERYID FROM COALAREAS WHERE AVERAGE_COLLIERYID > 0) UNION ALL
  SELECT YEAR + 1 FROM YEARS WHERE YEAR < (SELECT MAX(T.ENDYEAR) FROM TORTIOUS AS T WHERE
  T.COLLIERYID NOT IN (SELECT AVERAGE_COLLIERYID FROM COALAREAS WHERE AVERAGE_COLLIERYID > 0)))
INSERT INTO AVERAGECALC (SURFACE, YEAR, OPENCOUNT, OPENSUM, EQUIVCOUNT, CLOSEDCOUNT, TRUECOUNT,
  TORTIOUSSUM, WEIGHTEDTORTIOUS)
SELECT F.SURFACE, Y.YEAR, 0, 0, 0, 0, 0, 0, NULL
FROM YEARS AS Y CROSS JOIN (SELECT 'N' AS SURFACE UNION ALL SELECT 'Y') AS F
WHERE Y.YEAR IS NOT NULL)",
     "one row per surface flag and year of the collieries' tortious data"},
    {"qCollieryCountEmpty", "", R"(DELETE FROM COLLIERYCOUNT)", "empties COLLIERYCOUNT"},
    // OPEN runs: each tortious row of a colliery cut to the colliery's own
    // open years, and ended where a later-starting row of the same colliery
    // takes over (as the engine's lookup takes the row that starts last).
    // EQUIV and CLOSED runs: the parts of OPEN runs in which the colliery was
    // merged into another or closed.
    {"qCollieryCountLoad", "",
     R"(WITH RUNS AS MATERIALIZED (SELECT T.COLLIERYID AS COLLIERYID, T.SURFACE AS SURFACE,
  MAX(T.STARTYEAR, O.STARTYEAR) AS S,
  MIN(T.ENDYEAR, O.ENDYEAR,
  COALESCE((SELECT MIN(U.STARTYEAR) - 1 FROM TORTIOUS AS U WHERE U.COLLIERYID = T.COLLIERYID
  AND U.SURFACE = T.SURFACE AND U.STARTYEAR > T.STARTYEAR), 32767)) AS E,
  T.TORTIOUSVAL AS V FROM TORTIOUS AS T JOIN OPENRANGE AS O ON O.COLLIERYID = T.COLLIERYID
  AND O.EQUIVCOLLIERYID = 0 WHERE T.COLLIERYID NOT IN (SELECT AVERAGE_COLLIERYID FROM COALAREAS
  WHERE AVERAGE_COLLIERYID > 0))
INSERT INTO COLLIERYCOUNT (COLLIERYID, SURFACE, STARTYEAR, ENDYEAR, TORTIOUSVAL, STATE)
SELECT COLLIERYID, SURFACE, S, E, V, 'OPEN'
FROM RUNS
WHERE S <= E
UNION ALL SELECT R.COLLIERYID, R.SURFACE, MAX(R.S, COALESCE(Q.STARTYEAR, 0)),
  MIN(R.E, CASE WHEN Q.ENDYEAR > 0 THEN Q.ENDYEAR ELSE 32767 END), R.V, 'EQUIV'
FROM EQUIVALENTS AS Q CROSS JOIN RUNS AS R ON R.COLLIERYID = Q.COLLIERYID
WHERE MAX(R.S, COALESCE(Q.STARTYEAR, 0)) <= MIN(R.E,
  CASE WHEN Q.ENDYEAR > 0 THEN Q.ENDYEAR ELSE 32767 END)
UNION ALL SELECT R.COLLIERYID, R.SURFACE, MAX(R.S, C.STARTYEAR), MIN(R.E, C.ENDYEAR), R.V,
  'CLOSED'
FROM SURVEYS AS C CROSS JOIN RUNS AS R ON R.COLLIERYID = C.COLLIERYID
WHERE C.MARKER = 'CLOSED' AND MAX(R.S, C.STARTYEAR) <= MIN(R.E, C.ENDYEAR))",
     "the runs of years in which each colliery was open with one tortious value, and the parts of "
     "them in which it was merged or closed"},
    // The collieries open in a year are those whose runs began by then less
    // those whose runs ended before it: running sums of starts and ends.
    {"qAverageCalcOpenCount", "",
     R"(WITH CHANGES(SURFACE, YEAR, N, V) AS MATERIALIZED (SELECT SURFACE, STARTYEAR, COUNT(*),
  SUM(TORTIOUSVAL) FROM COLLIERYCOUNT WHERE STATE = 'OPEN' GROUP BY SURFACE,
  STARTYEAR UNION ALL SELECT SURFACE, ENDYEAR + 1, -COUNT(*),
  -SUM(TORTIOUSVAL) FROM COLLIERYCOUNT WHERE STATE = 'OPEN' GROUP BY SURFACE, ENDYEAR)
UPDATE AVERAGECALC SET (OPENCOUNT, OPENSUM) = (SELECT COALESCE(SUM(C.N), 0),
  COALESCE(SUM(C.V), 0) FROM CHANGES AS C WHERE C.SURFACE = AVERAGECALC.SURFACE
  AND C.YEAR <= AVERAGECALC.YEAR))",
     "collieries open in the year with a tortious value, and the sum of their values"},
    {"qAverageCalcEquivCount", "",
     R"(UPDATE AVERAGECALC SET EQUIVCOUNT = (SELECT COUNT(DISTINCT K.COLLIERYID) FROM COLLIERYCOUNT AS
  K WHERE K.STATE = 'EQUIV' AND K.SURFACE = AVERAGECALC.SURFACE
  AND K.STARTYEAR <= AVERAGECALC.YEAR AND K.ENDYEAR >= AVERAGECALC.YEAR))",
     "of those, collieries merged into another that year"},
    {"qAverageCalcClosedCount", "",
     R"(UPDATE AVERAGECALC SET CLOSEDCOUNT = (SELECT COUNT(DISTINCT K.COLLIERYID) FROM COLLIERYCOUNT AS
  K WHERE K.STATE = 'CLOSED' AND K.SURFACE = AVERAGECALC.SURFACE
  AND K.STARTYEAR <= AVERAGECALC.YEAR AND K.ENDYEAR >= AVERAGECALC.YEAR
  AND NOT EXISTS (SELECT 1 FROM COLLIERYCOUNT AS Q WHERE Q.COLLIERYID = K.COLLIERYID
  AND Q.SURFACE = K.SURFACE AND Q.STATE = 'EQUIV' AND Q.STARTYEAR <= AVERAGECALC.YEAR
  AND Q.ENDYEAR >= AVERAGECALC.YEAR)))",
     "of the rest, collieries closed that year"},
    {"qAverageCalcGetTrueCount", "",
     R"(UPDATE AVERAGECALC SET TRUECOUNT = OPENCOUNT - EQUIVCOUNT - CLOSEDCOUNT,
  TORTIOUSSUM = OPENSUM - (SELECT COALESCE(SUM(X.TORTIOUSVAL),
  0) FROM (SELECT DISTINCT K.COLLIERYID,
  K.TORTIOUSVAL FROM COLLIERYCOUNT AS K WHERE K.STATE IN ('EQUIV', 'CLOSED')
  AND K.SURFACE = AVERAGECALC.SURFACE AND K.STARTYEAR <= AVERAGECALC.YEAR
  AND K.ENDYEAR >= AVERAGECALC.YEAR) AS X))",
     "the collieries that count towards the average, and the sum of their values"},
    {"qAverageCalcWeightedTortious", "",
     R"(UPDATE AVERAGECALC SET WEIGHTEDTORTIOUS = CASE WHEN TRUECOUNT > 0 THEN CAST(TORTIOUSSUM * 100.0
  / TRUECOUNT + 0.5 AS INTEGER) / 100.0 ELSE NULL END)",
     "their mean, rounded to two decimals (none without any)"},
    {"qAverageCalcZeroTortious", "", R"(DELETE FROM TORTIOUSDUST)",
     "drops the national averages of any earlier run"},
    {"qTortAvgEmpty", "", R"(DELETE FROM TORTIOUSAVG)", "empties TORTIOUSAVG"},
    {"qTortAvgFill", "",
     R"(INSERT INTO TORTIOUSAVG (COLLIERYID, YEAR, SURFACE, TORTIOUSVAL, COLLIERYCOUNT)
SELECT N.AVERAGE_COLLIERYID, A.YEAR, A.SURFACE, A.WEIGHTEDTORTIOUS, A.TRUECOUNT
FROM AVERAGECALC AS A CROSS JOIN COALAREAS AS N
WHERE N.AREATYPE <> 'NORMAL' AND N.AVERAGE_COLLIERYID > 0 AND A.WEIGHTEDTORTIOUS IS NOT NULL)",
     "the yearly national averages for each national-average colliery"},
    {"qTortAvgUpdate", "",
     R"(INSERT INTO TORTIOUSDUST (COLLIERYID, STARTYEAR, ENDYEAR, SURFACE, TORTIOUSVAL)
SELECT COLLIERYID, YEAR, YEAR, SURFACE, TORTIOUSVAL
FROM TORTIOUSAVG)",
     "stores them where the engine reads them"},
};

}  // namespace

const std::vector<StoredQuery>& ExpansionQueries() { return kQueries; }

namespace {
bool IsActionQuery(const StoredQuery& q) {
  const std::string_view sql = q.sql;
  for (std::string_view verb : {"INSERT", "UPDATE", "DELETE"}) {
    if (sql.starts_with(verb)) return true;
  }
  return false;
}
}  // namespace

std::vector<std::string> ForeignActionQueries(orv::db::Database& db) {
  std::vector<std::string> foreign;
  for (const StoredQuery& q : kQueries) {
    if (!IsActionQuery(q)) continue;
    if (!db.QueryExists(q.name) || db.QueryDefs(q.name)->SQL() != q.sql) foreign.emplace_back(q.name);
  }
  return foreign;
}

void RequireOwnActionQueries(orv::db::Database& db) {
  const std::vector<std::string> foreign = ForeignActionQueries(db);
  if (foreign.empty()) return;
  throw OrvError(orv::db::dberr::kNoPermission, "DAO.QueryDef",
                 "The stored query '" + foreign.front() + "' of the database '" + db.Name() +
                     "' is not the matrix expansion's own: the expansion writes only through "
                     "its own queries, so the database was left unchanged. Build it again "
                     "from its CSV files (tarnby-dustdata build).");
}

void InstallExpansionSchema(orv::db::Database& db) {
  for (const WorkTable& t : WorkTables()) {
    db.CreateTable(t.name, t.fields);
    for (const IndexDef& i : t.indexes) db.CreateIndex(t.name, i);
  }
  for (const StoredQuery& q : kQueries) db.CreateQueryDef(q.name, q.sql, q.parameters);
}

}  // namespace orv::dustdata
