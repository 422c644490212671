// Tables, fields, indexes and queries of the claimant database, level by
// level. Types follow the layer's field types; text fields are compared
// ignoring case. A field with "no default" has none; a text field given the
// empty text as default keeps it until level 8 clears every default.
#include "ClaimantSchema.h"

#include <string>

#include "ChangeHistory.h"
#include "Text.h"
#include "UserFactorFields.h"
#include "modTarnbyDatabase.h"

namespace orv::tarnby::schema {

namespace {

using db::FieldDef;
using db::FieldType;
using db::IndexDef;

constexpr const char* kPension = "PENSIONDATA";

FieldDef Field(const char* name, FieldType type, Value default_value = {}) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.allow_zero_length = false;
  f.default_value = std::move(default_value);
  return f;
}

FieldDef Counter(const char* name) {
  FieldDef f = Field(name, FieldType::Long);
  f.required = true;
  f.auto_increment = true;
  return f;
}

FieldDef Required(const char* name, FieldType type) {
  FieldDef f = Field(name, type);
  f.required = true;
  return f;
}

// Text of `size`; `zero_length` allows the empty text, `default_text` (when
// given) is the default.
FieldDef TextField(const char* name, int32_t size, bool zero_length = true,
                   Value default_value = {}) {
  FieldDef f = Field(name, FieldType::Text, std::move(default_value));
  f.size = size;
  f.allow_zero_length = zero_length;
  return f;
}

FieldDef EmptyDefaultText(const char* name, int32_t size) {
  return TextField(name, size, true, Value(""));
}

FieldDef Date(const char* name) { return Field(name, FieldType::DateTime); }
FieldDef YesNo(const char* name, bool default_value) {
  return Field(name, FieldType::YesNo, Value(default_value));
}

void AddFields(db::Database& d, const char* table, std::initializer_list<FieldDef> fields) {
  for (const FieldDef& f : fields) d.CreateField(table, f);
}

IndexDef PrimaryKey(const char* field) {
  IndexDef ix;
  ix.name = "PrimaryKey";
  ix.fields = {field};
  ix.primary = true;
  ix.unique = true;
  return ix;
}

IndexDef Plain(const char* name, std::vector<std::string> fields, bool unique = false) {
  IndexDef ix;
  ix.name = name;
  ix.fields = std::move(fields);
  ix.unique = unique;
  return ix;
}

// Retypes a Yes/No field to Integer where it stands: renamed to OLD<field>,
// the new field made at the old one's position, filled by `copy_sql`, and the
// old one deleted.
void RetypeToInteger(db::Database& d, const std::string& field, const std::string& copy_sql) {
  const std::vector<FieldDef> fields = d.Fields(kPension);
  int32_t position = -1;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (IEquals(fields[i].name, field)) position = static_cast<int32_t>(i);
  }
  const std::string old = "OLD" + field;
  d.RenameField(kPension, field, old);
  FieldDef f = Field(field.c_str(), FieldType::Integer);
  f.ordinal = position;
  d.CreateField(kPension, f);
  d.Execute(copy_sql);
  d.DeleteField(kPension, old);
}

// --- the levels ----------------------------------------------------------------

void Level1(db::Database& d) {
  d.CreateTable(kPension, {
      Counter("ID"),
      Required("CLAIMANTID", FieldType::Long),
      EmptyDefaultText("GRADE", 20),
      YesNo("LIGHTERWORK", true),
      Date("LIGHTERWORKDATE"),
      YesNo("LEFTDUETOCOPD", true),
      YesNo("PREVENTEDFROMWORK", true),
      YesNo("OTHERWORKSTANDARD", true),
      Date("OTHERWORKSTARTDATE"),
      Date("OTHERWORKENDDATE"),
      Date("BIRTHDATE"),
      YesNo("DECEASED", false),
      Date("DEATHDATE"),
      YesNo("DEATHDUETOCOPD", false),
      YesNo("MARRIED", false),
      Date("SPOUSEBIRTHDATE"),
      Date("SPOUSEDEATHDATE"),
      Field("IMPAIRCOPD", FieldType::Double, Value(0)),
      Field("IMPAIROTHER", FieldType::Double, Value(0)),
      Date("ENTERMPSDATE"),
      Date("LEFTMPSDATE"),
      YesNo("STRIKE", true),
      YesNo("DEFAULTSTRIKE", true),
      Date("STRIKESTARTDATE"),
      Date("STRIKEENDDATE"),
      Date("CALCBASEDATE"),
      Date("CALCDATE"),
      TextField("ENGINEVERSION", 10, false),
      TextField("PENSIONDATAVERSION", 10, false),
  });
  d.CreateIndex(kPension, PrimaryKey("ID"));
  d.CreateQueryDef("qdPension",
                   "SELECT PENSIONDATA.* FROM PENSIONDATA "
                   "WHERE PENSIONDATA.CLAIMANTID = :WHATCLAIMANTID",
                   "WHATCLAIMANTID Long");
  d.CreateQueryDef(
      "qdClaimantPension",
      "SELECT CLAIMANT.*, PENSIONDATA.* FROM CLAIMANT LEFT JOIN PENSIONDATA "
      "ON CLAIMANT.ID = PENSIONDATA.CLAIMANTID WHERE (" +
          LikePattern("CLAIMANT.SURNAME", "WHATNAME", d.IsServer()) + " OR CLAIMANT.SURNAME IS NULL) AND (" +
          LikePattern("CLAIMANT.REF", "WHATREF", d.IsServer()) + " OR CLAIMANT.REF IS NULL) AND (" +
          LikePattern("CLAIMANT.ZURIRREF", "WHATZURIR", d.IsServer()) + " OR CLAIMANT.ZURIRREF IS NULL)",
      "WHATNAME Text, WHATREF Text, WHATZURIR Text");
}

void Level2(db::Database& d) {
  AddFields(d, kPension,
            {Date("ENTERBCSSSDATE"), Date("LEFTBCSSSDATE"), EmptyDefaultText("LEFTBCSSSREASON", 20)});
  d.CreateField("CLAIMANT", TextField("SEX", 6, false, Value("Male")));
}

void Level3(db::Database& d) { d.CreateField(kPension, Date("EARNINGSLOSSDATE")); }

void Level4(db::Database& d) {
  AddFields(d, kPension,
            {Field("COMORBIDPCT", FieldType::Double, Value(0)),
             Field("MAPLIFEEXPECT", FieldType::Double, Value(0)), EmptyDefaultText("OGDENVER", 5)});
  d.CreateField("CLAIMANT", Field("JURISDICTION", FieldType::Integer, Value(0)));
}

void Level5(db::Database& d) { d.CreateField(kPension, EmptyDefaultText("GRADEMLW", 20)); }

void Level6(db::Database& d) {
  AddFields(d, kPension,
            {Field("STDPERIODPCT", FieldType::Double, Value(30)), YesNo("MPSSERVICE", true),
             YesNo("BCSSSSERVICE", true), YesNo("SERPSSERVICE", true), Date("SERPSDOE"),
             Date("SERPSDOL")});
}

void Level7(db::Database& d) {
  d.CreateField(kPension, EmptyDefaultText("BCSSSREASON", 50));
  d.Execute("UPDATE PENSIONDATA SET BCSSSREASON=LEFTBCSSSREASON");
  d.Execute(
      "UPDATE PENSIONDATA SET BCSSSREASON='Incapacity Retirement' "
      "WHERE LEFTBCSSSREASON='Ill-health'");
}

// Every field but ID loses its default. Defaults cannot be changed in place,
// so the table is made again without them and the rows copied across.
void Level8(db::Database& d) {
  if (d.IsServer()) {
    // A server drops a default in place.
    for (const FieldDef& f : d.Fields(kPension)) {
      if (!IEquals(f.name, "ID") && !f.default_value.IsNull()) {
        d.Execute("ALTER TABLE PENSIONDATA ALTER COLUMN \"" + f.name + "\" DROP DEFAULT");
      }
    }
    return;
  }
  std::vector<FieldDef> fields = d.Fields(kPension);
  const std::vector<IndexDef> indexes = d.Indexes(kPension);
  std::string columns;
  for (FieldDef& f : fields) {
    if (!IEquals(f.name, "ID")) f.default_value = Value();
    columns += (columns.empty() ? "\"" : ", \"") + f.name + "\"";
  }
  const std::string work = "PENSIONDATA_LEVEL8";
  if (d.TableExists(work)) d.DropTable(work);
  d.CreateTable(work, fields);
  d.Execute("INSERT INTO \"" + work + "\" (" + columns + ") SELECT " + columns +
            " FROM PENSIONDATA");
  d.DropTable(kPension);
  d.Execute("ALTER TABLE \"" + work + "\" RENAME TO PENSIONDATA");
  for (const IndexDef& ix : indexes) d.CreateIndex(kPension, ix);
}

void Level9(db::Database& d) {
  // COALESCE on a server, which has no IFNULL.
  const std::string ifnull = d.IsServer() ? "COALESCE(" : "IFNULL(";
  auto optional = [&](const std::string& column, const std::string& parameter) {
    return "(" + ifnull + ":" + parameter + ", '') = '' OR " +
           LikePattern(ifnull + column + ", '')", parameter, d.IsServer()) + ")";
  };
  d.CreateQueryDef("qdClaimantPension2",
                   "SELECT CLAIMANT.*, PENSIONDATA.* FROM CLAIMANT LEFT JOIN PENSIONDATA "
                   "ON CLAIMANT.ID = PENSIONDATA.CLAIMANTID WHERE " +
                       optional("CLAIMANT.REF", "WHATREF") + " AND " +
                       optional("CLAIMANT.SURNAME", "WHATNAME") + " AND " +
                       optional("CLAIMANT.ZURIRREF", "WHATZURIR") + " AND " +
                       optional("CAST(CLAIMANT.ID AS TEXT)", "WHATID"),
                   "WHATNAME Text, WHATREF Text, WHATZURIR Text, WHATID Text");
}

void Level10(db::Database& d) {
  RetypeToInteger(d, "STRIKE", "UPDATE PENSIONDATA SET STRIKE=OLDSTRIKE");
}

void Level11(db::Database& d) {
  RetypeToInteger(d, "LEFTDUETOCOPD", "UPDATE PENSIONDATA SET LEFTDUETOCOPD=OLDLEFTDUETOCOPD");
}

void Level12(db::Database& d) {
  d.CreateTable("PENSIONRESULTS", {
      Counter("ID"),
      Required("CLAIMANTID", FieldType::Long),
      EmptyDefaultText("RELEASE", 100),
      Date("RUNDATE"),
      Field("TOTALLOSS", FieldType::Currency, Value(0)),
      Field("PASTLOSS", FieldType::Currency, Value(0)),
      Field("PASTLOSSSPOUSE", FieldType::Currency, Value(0)),
      Field("FUTURELOSS", FieldType::Currency, Value(0)),
      Field("TOTALLOSSA", FieldType::Currency, Value(0)),
  });
  d.CreateIndex("PENSIONRESULTS", PrimaryKey("ID"));
  d.CreateIndex("PENSIONRESULTS", Plain("CLAIMANTID", {"CLAIMANTID"}));
  d.CreateIndex("PENSIONRESULTS", Plain("UNIQUERELEASE", {"CLAIMANTID", "RELEASE"}, true));
  const char* params =
      "WhatClaimantID Long, WhatRelease Text, WhatRunDate DateTime, WhatTotalLoss Currency, "
      "WhatPastLoss Currency, WhatPastLossSpouse Currency, WhatFutureLoss Currency, "
      "WhatTotalLossA Currency";
  d.CreateQueryDef("qAppendPensionResults",
                   "INSERT INTO PENSIONRESULTS (CLAIMANTID, RELEASE, RUNDATE, TOTALLOSS, PASTLOSS, "
                   "PASTLOSSSPOUSE, FUTURELOSS, TOTALLOSSA) SELECT :WhatClaimantID, :WhatRelease, "
                   ":WhatRunDate, :WhatTotalLoss, :WhatPastLoss, :WhatPastLossSpouse, "
                   ":WhatFutureLoss, :WhatTotalLossA",
                   params);
  d.CreateQueryDef("qUpdatePensionResults",
                   "UPDATE PENSIONRESULTS SET RUNDATE = :WhatRunDate, TOTALLOSS = :WhatTotalLoss, "
                   "PASTLOSS = :WhatPastLoss, PASTLOSSSPOUSE = :WhatPastLossSpouse, "
                   "FUTURELOSS = :WhatFutureLoss, TOTALLOSSA = :WhatTotalLossA "
                   "WHERE CLAIMANTID = :WhatClaimantID AND RELEASE = :WhatRelease",
                   params);
}

void Level14(db::Database& d) { d.CreateField(kPension, Date("MAPDATE")); }

// True (stored as any non-zero value) becomes 1, False 2; empty stays empty.
void Level15(db::Database& d) {
  RetypeToInteger(d, "MARRIED",
                  "UPDATE PENSIONDATA SET MARRIED = CASE WHEN OLDMARRIED IS NULL THEN NULL "
                  "WHEN OLDMARRIED <> 0 THEN 1 ELSE 2 END");
  d.CreateField(kPension, Field("SPOUSEALIVE", FieldType::Integer));
  d.Execute("UPDATE PENSIONDATA SET SPOUSEALIVE=2 WHERE SPOUSEDEATHDATE IS NOT NULL");
}

void Level16(db::Database& d) {
  d.CreateField(kPension, Field("FORCENOSTRIKE", FieldType::Integer));
}

void Level17(db::Database& d) {
  d.DeleteField(kPension, "FORCENOSTRIKE");
  d.CreateField(kPension, Field("EXPECTEDSTRIKE", FieldType::Integer));
}

void Level18(db::Database& d) {
  d.CreateField(kPension, Field("LEADJ", FieldType::Integer, Value(0)));
}

// The user-defined factors: their fields come from the one list that every
// reader and writer of them takes (UserFactorFields.h).
void Level19(db::Database& d) {
  d.CreateTable(kUserFactorTable, UserFactorColumnsOfLevel(19));
  d.CreateIndex(kUserFactorTable, PrimaryKey("ID"));
}

void Level20(db::Database& d) {
  for (const FieldDef& f : UserFactorColumnsOfLevel(20)) d.CreateField(kUserFactorTable, f);
}

// What a stored result was calculated from: a digest of the histories, the
// user-defined factors they use and the jurisdiction, written with the result.
// And the change history: a record of every change to a claimant, his
// histories and the user-defined factors, made by the file's own triggers
// (declared with the structure, ChangeHistoryTriggers) after the new field,
// so that it is recorded too.
void Level21(db::Database& d) {
  d.CreateField("CLAIMANT", TextField("CALCFINGERPRINT", 100));
  CreateChangeHistory(d);
}

}  // namespace

const std::vector<std::string>& DefinedTables() {
  static const std::vector<std::string> tables = {
      "PARMS",      "CLAIMANT",       "WORKHISTORY", "SMOKEHISTORY",
      "USERFACTOR", "PENSIONDATA",    "PENSIONRESULTS", kChangeHistoryTable};
  return tables;
}

std::string LikePattern(const std::string& column, const std::string& parameter, bool server) {
  return column + (server ? " ILIKE" : " LIKE") + " replace(replace(replace(replace(replace(:" + parameter +
         ", '\\', '\\\\'), '%', '\\%'), '_', '\\_'), '*', '%'), '?', '_') ESCAPE '\\'";
}

void CreateBase(db::Database& d) {
  d.CreateTable("PARMS", {Required("PARM", FieldType::Text), TextField("Value", 255)});
  d.CreateIndex("PARMS", PrimaryKey("PARM"));
  d.Execute("INSERT INTO PARMS (PARM, Value) VALUES ('VERSION', ?)",
            {Value(std::to_string(kBaseVersion))});

  d.CreateTable("CLAIMANT", {
      Counter("ID"),
      TextField("REF", 50),
      TextField("ZURIRREF", 50),
      TextField("SURNAME", 50),
      TextField("FIRSTNAME", 50),
      TextField("MIDDLENAMES", 50),
      TextField("TITLE", 10),
      TextField("ADD1", 50),
      TextField("ADD2", 50),
      TextField("ADD3", 50),
      TextField("ADD4", 50),
      TextField("COUNTY", 50),
      TextField("POSTCODE", 50),
      TextField("SALUTATION", 80),
      TextField("ADDRESSEE", 80),
      Date("CALCDATE"),
      TextField("ENGINEVERSION", 20),
      TextField("DUSTDATAVERSION", 20),
      Field("RECOVERABLEQUANTUM", FieldType::Single),
  });
  d.CreateIndex("CLAIMANT", Plain("SURNAME", {"SURNAME"}));

  d.CreateTable("WORKHISTORY", {
      Counter("ID"),
      Required("CLAIMANTID", FieldType::Long),
      Field("COLLIERYID", FieldType::Long),
      Field("JOBFACTORID", FieldType::Long),
      Field("RESPFACTORID", FieldType::Integer),
      Field("STARTYEAR", FieldType::Integer),
      Field("ENDYEAR", FieldType::Integer),
      TextField("PITNAME", 50),
  });
  d.CreateIndex("WORKHISTORY", Plain("CLAIMANTID", {"CLAIMANTID"}));

  d.CreateTable("SMOKEHISTORY", {
      Counter("ID"),
      Required("CLAIMANTID", FieldType::Long),
      Field("SMOKECATEGORYID", FieldType::Long),
      Field("STARTYEAR", FieldType::Integer),
      Field("ENDYEAR", FieldType::Integer),
      Field("YEARS", FieldType::Integer),
  });
  d.CreateIndex("SMOKEHISTORY", Plain("CLAIMANTID", {"CLAIMANTID"}));

  // A surname, reference or ZURIR reference left empty matches any pattern,
  // so "*" in all three finds every claimant.
  d.CreateQueryDef("qdclaimant",
                   "SELECT * FROM CLAIMANT WHERE (" + LikePattern("SURNAME", "WHATNAME", d.IsServer()) +
                       " OR SURNAME IS NULL) AND (" + LikePattern("REF", "WHATREF", d.IsServer()) +
                       " OR REF IS NULL) AND (" + LikePattern("ZURIRREF", "WHATZURIR", d.IsServer()) +
                       " OR ZURIRREF IS NULL) ORDER BY ID",
                   "WHATNAME Text, WHATREF Text, WHATZURIR Text");
  d.CreateQueryDef("qdWork",
                   "SELECT * FROM WORKHISTORY WHERE CLAIMANTID = :WHATCLAIMANTID "
                   "ORDER BY STARTYEAR, ENDYEAR, ID",
                   "WHATCLAIMANTID Long");
  d.CreateQueryDef("qdJob", "SELECT * FROM WORKHISTORY WHERE ID = :WHATID", "WHATID Long");
  d.CreateQueryDef("qdSmoke",
                   "SELECT * FROM SMOKEHISTORY WHERE CLAIMANTID = :WHATCLAIMANTID "
                   "ORDER BY STARTYEAR, ID",
                   "WHATCLAIMANTID Long");
  d.CreateQueryDef("qdSmokeEntry", "SELECT * FROM SMOKEHISTORY WHERE ID = :WHATID",
                   "WHATID Long");
}

const std::vector<Level>& Levels() {
  static const std::vector<Level> levels = {
      {1, Level1},   {2, Level2},   {3, Level3},   {4, Level4},   {5, Level5},
      {6, Level6},   {7, Level7},   {8, Level8},   {9, Level9},   {10, Level10},
      {11, Level11}, {12, Level12}, {14, Level14}, {15, Level15}, {16, Level16},
      {17, Level17}, {18, Level18}, {19, Level19}, {20, Level20},
      {21, Level21},
  };
  return levels;
}

}  // namespace orv::tarnby::schema
