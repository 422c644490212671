#include "Tables.h"

#include "OrvError.h"
#include "Text.h"

namespace orv::dustdata {
namespace {

using T = ColumnType;

Column Id() { return {"ID", T::Long, 0, false, false, true}; }
Column Ref(const char* name, const char* table, bool nullable = false) {
  return {name, T::Long, 0, nullable, false, false, table};
}
Column Year(const char* name, bool nullable = false) { return {name, T::Int16, 0, nullable}; }
Column Single(const char* name) { return {name, T::Single}; }
Column YesNo(const char* name) { return {name, T::YesNo}; }
Column SurfaceFlag() {
  Column c = YesNo("SURFACE");
  c.surface_flag = true;
  return c;
}
Column Text(const char* name, int size, bool nullable = false) {
  return {name, T::Text, size, nullable};
}
Column Code() { return {"CODE", T::Text, 10, false, true, true}; }

std::vector<Table> MakeTables() {
  // An empty cell, like 0, means the area has no area-average colliery.
  Column average = Ref("AVERAGE_COLLIERYID", "COLLIERIES", true);
  average.zero_is_none = true;
  Column resp_id = Id();
  resp_id.type = T::Int16;  // respirator factor identifiers are 16-bit
  Column parm = {"PARM", T::Text, 50, false, true, true};
  Column survey_marker = Text("MARKER", 20);
  survey_marker.allowed = {"SURVEY", "STRIKE", "CLOSED"};
  // The tortious table keeps its surface flag as the text the engine's
  // lookup compares.
  Column surface = Text("SURFACE", 1);
  surface.allowed = {"Y", "N"};
  surface.surface_flag = true;
  return {
      {"parms.csv", "PARMS", false, {parm, Text("PARMVALUE", 255)}, {}, {}},
      {"coal_areas.csv",
       "COALAREAS",
       false,
       {Id(), Text("AREA", 50), Text("AREATYPE", 20), average, Year("SPLITTYPE", true),
        Text("SPLITDESCR", 255, true)},
       {},
       {"ID"}},
      {"collieries.csv",
       "COLLIERIES",
       false,
       {Id(), Text("COLLIERY", 50), Ref("COALAREAID", "COALAREAS"), Year("OPENSTARTYEAR", true),
        Year("OPENENDYEAR", true), Year("SPLITTYPE", true), Text("SPLITDESCR", 255, true)},
       {{"OPENSTARTYEAR", "OPENENDYEAR"}},
       {"ID"}},
      {"equivalents.csv",
       "EQUIVALENTS",
       true,
       {Ref("COLLIERYID", "COLLIERIES"), Ref("EQUIVCOLLIERYID", "COLLIERIES"),
        Year("STARTYEAR", true), Year("ENDYEAR", true)},
       {},
       {"COLLIERYID", "STARTYEAR", "ENDYEAR", "EQUIVCOLLIERYID"}},
      {"survey_rounds.csv",
       "SURVEYROUNDS",
       false,
       {Year("STARTYEAR"), Year("ENDYEAR")},
       {{"STARTYEAR", "ENDYEAR"}},
       {"STARTYEAR", "ENDYEAR"}},
      {"surveys.csv",
       "SURVEYS",
       false,
       {Ref("COLLIERYID", "COLLIERIES"), survey_marker, Year("STARTYEAR"), Year("ENDYEAR"),
        Single("DUSTVAL")},
       {{"STARTYEAR", "ENDYEAR"}},
       {"COLLIERYID", "STARTYEAR", "ENDYEAR", "MARKER", "DUSTVAL"}},
      // An expanded matrix is taken as it is: no year order is imposed.
      {kDustMatrixFile,
       "DUSTMATRIX",
       true,
       {Ref("COLLIERYID", "COLLIERIES"), Year("STARTYEAR"), Year("ENDYEAR"), Single("DUSTVAL"),
        Text("MARKER", 20, true), Text("SOURCE", 50, true)},
       {},
       {"COLLIERYID", "STARTYEAR", "ENDYEAR", "MARKER", "DUSTVAL", "SOURCE"}},
      {"tortious.csv",
       "TORTIOUS",
       false,
       {Ref("COLLIERYID", "COLLIERIES"), Year("STARTYEAR"), Year("ENDYEAR"), surface,
        Single("TORTIOUSVAL")},
       {{"STARTYEAR", "ENDYEAR"}},
       {"COLLIERYID", "SURFACE", "STARTYEAR", "ENDYEAR", "TORTIOUSVAL"}},
      {"job_factors.csv",
       "JOBFACTORS",
       false,
       {Id(), Code(), Text("DESCR", 255), Single("FACTOR"), SurfaceFlag(), Single("UPLIFT"),
        Single("DUSTYTIMEFACTOR"), YesNo("NONCHA"), YesNo("NONCHACHECK"), Single("YEARSPASTCLOSE")},
       {},
       {"ID"}},
      {"resp_factors.csv",
       "RESPFACTORS",
       false,
       {resp_id, Text("DESCR", 255), Single("FACTOR"), SurfaceFlag(), Year("STARTYEAR"),
        Year("ENDYEAR"), Single("STARTYEARVAL"), Single("ENDYEARVAL")},
       {{"STARTYEAR", "ENDYEAR"}},
       {"ID"}},
      {"smoke_factors.csv",
       "SMOKEFACTORS",
       false,
       {Id(), Code(), Text("LISTDESCR", 255), Single("FACTOR")},
       {},
       {"ID"}},
  };
}

}  // namespace

std::vector<std::string> Table::ColumnNames() const {
  std::vector<std::string> names;
  for (const Column& c : columns) names.emplace_back(c.name);
  return names;
}

const Column* Table::Find(const std::string& column) const {
  for (const Column& c : columns) {
    if (IEquals(c.name, column)) return &c;
  }
  return nullptr;
}

const std::vector<Table>& BaseTables() {
  static const std::vector<Table> tables = MakeTables();
  return tables;
}

const Table& BaseTable(const std::string& name) {
  for (const Table& t : BaseTables()) {
    if (IEquals(t.name, name)) return t;
  }
  throw OrvError(err::kInvalidCall, "BaseTable", "no base table " + name);
}

}  // namespace orv::dustdata
