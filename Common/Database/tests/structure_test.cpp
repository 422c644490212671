// Tables, fields, indexes, field rename and delete, and compaction.
#include "TestDb.h"

namespace orv::db::testing {
namespace {

class StructureTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    db_ = CreateDatabase(PathOf("s.db"), ";pwd=pw");
    FieldDef id = F("ID", FieldType::Long);
    id.auto_increment = true;
    FieldDef surname = F("SURNAME", FieldType::Text, 40, true);
    surname.allow_zero_length = false;
    FieldDef strike = F("STRIKE", FieldType::YesNo);
    strike.default_value = Value(false);
    FieldDef rate = F("RATE", FieldType::Single);
    rate.default_value = Value(0.5);
    db_->CreateTable("PENSIONDATA", {id, F("CLAIMANTID", FieldType::Long), surname, strike, rate,
                                     F("RUNDATE", FieldType::DateTime)});
    db_->CreateIndex("PENSIONDATA", Ix("PrimaryKey", {"ID"}, true));
    db_->CreateIndex("PENSIONDATA", Ix("CLAIMANTID", {"CLAIMANTID"}));
    db_->CreateIndex("PENSIONDATA",
                     Ix("UNIQUERELEASE", {"CLAIMANTID", "SURNAME"}, false, true, true));
    for (int i = 1; i <= 3; ++i) {
      db_->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, SURNAME, STRIKE) VALUES (?, ?, ?)",
                   {i, "Name" + std::to_string(i), i % 2});
    }
    db_->Execute("DELETE FROM PENSIONDATA WHERE ID = 3");  // the counter stays at 3
  }

  std::vector<std::string> FieldNames(const std::string& table) {
    std::vector<std::string> names;
    for (const FieldDef& f : db_->Fields(table)) names.push_back(f.name);
    return names;
  }

  std::string IndexSummary(const std::string& table) {
    std::string s;
    for (const IndexDef& ix : db_->Indexes(table)) {
      s += ix.name + "(";
      for (const std::string& f : ix.fields) s += f + (&f == &ix.fields.back() ? "" : ",");
      s += std::string(")") + (ix.primary ? "P" : "") + (ix.unique ? "U" : "") +
           (ix.ignore_nulls ? "N" : "") + " ";
    }
    return s;
  }

  // The rows as "ID:CLAIMANTID:SURNAME:STRIKE" in ID order.
  std::string Rows(const char* fields = "ID, CLAIMANTID, SURNAME, STRIKE") {
    RecordsetPtr rs = db_->OpenRecordset(
        std::string("SELECT ") + fields + " FROM PENSIONDATA ORDER BY ID", RecordsetType::Snapshot);
    std::string s;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      for (int i = 0; i < rs->FieldCount(); ++i)
        s += rs->Field(i).TextOrEmpty() + (i + 1 < rs->FieldCount() ? ":" : " ");
    }
    return s;
  }

  DatabasePtr db_;
};

TEST_F(StructureTest, FieldsAndIndexesReadBack) {
  const std::vector<FieldDef> f = db_->Fields("pensiondata");
  ASSERT_EQ(f.size(), 6u);
  EXPECT_EQ(f[0].type, FieldType::Long);
  EXPECT_TRUE(f[0].auto_increment);
  EXPECT_EQ(f[2].type, FieldType::Text);
  EXPECT_EQ(f[2].size, 40);
  EXPECT_TRUE(f[2].required);
  EXPECT_FALSE(f[2].allow_zero_length);
  EXPECT_TRUE(f[1].allow_zero_length);
  EXPECT_EQ(f[3].type, FieldType::YesNo);
  EXPECT_EQ(f[3].default_value, Value(0));
  EXPECT_EQ(f[4].default_value, Value(0.5f));
  EXPECT_EQ(f[5].type, FieldType::DateTime);
  EXPECT_EQ(IndexSummary("PENSIONDATA"),
            "PrimaryKey(ID)PU CLAIMANTID(CLAIMANTID) UNIQUERELEASE(CLAIMANTID,SURNAME)UN ");
  EXPECT_EQ(ErrorOf([&] { db_->CreateIndex("PENSIONDATA", Ix("PK2", {"ID"}, true)); }), 3283);
  EXPECT_EQ(ErrorOf([&] { db_->CreateIndex("PENSIONDATA", Ix("X", {"NOPE"})); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_->Fields("NOPE"); }), 3265);
  EXPECT_EQ(DescriptionOf([&] { db_->Indexes("NOPE"); }), "Item not found in this collection.");
  // Zero-length text refused where not allowed; text compares ignoring case.
  EXPECT_EQ(ErrorOf([&] { db_->Execute("UPDATE PENSIONDATA SET SURNAME = '' WHERE ID = 1"); }),
            3000);
  EXPECT_EQ(ErrorOf([&] {
              db_->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, SURNAME) VALUES (1, 'NAME1')");
            }),
            3022);
  // A table made by plain SQL with its own key.
  db_->Execute("CREATE TABLE PARMS (PARM TEXT(20) PRIMARY KEY, VALUE TEXT(50))");
  EXPECT_EQ(IndexSummary("parms"), "PrimaryKey(PARM)PU ");
}

TEST_F(StructureTest, RenameAndDeleteKeepOrderDataAndIndexes) {
  db_->RenameField("PENSIONDATA", "surname", "LASTNAME");
  EXPECT_EQ(FieldNames("PENSIONDATA"), (std::vector<std::string>{"ID", "CLAIMANTID", "LASTNAME",
                                                                 "STRIKE", "RATE", "RUNDATE"}));
  EXPECT_FALSE(db_->Fields("PENSIONDATA")[2].allow_zero_length);
  EXPECT_EQ(IndexSummary("PENSIONDATA"),
            "PrimaryKey(ID)PU CLAIMANTID(CLAIMANTID) UNIQUERELEASE(CLAIMANTID,LASTNAME)UN ");
  EXPECT_EQ(Rows("ID, LASTNAME"), "1:Name1 2:Name2 ");

  db_->DeleteField("PENSIONDATA", "RATE");
  EXPECT_EQ(FieldNames("PENSIONDATA"),
            (std::vector<std::string>{"ID", "CLAIMANTID", "LASTNAME", "STRIKE", "RUNDATE"}));
  EXPECT_EQ(Rows("ID, LASTNAME, STRIKE"), "1:Name1:1 2:Name2:0 ");

  EXPECT_EQ(ErrorOf([&] { db_->DeleteField("PENSIONDATA", "LASTNAME"); }), 3280);  // indexed
  EXPECT_EQ(ErrorOf([&] { db_->DeleteField("PENSIONDATA", "NOPE"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_->RenameField("PENSIONDATA", "NOPE", "X"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_->RenameField("NOPE", "ID", "X"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_->RenameField("PENSIONDATA", "ID", "STRIKE"); }), 3000);
}

// Retyping a field: rename it away, create the new field at its position,
// copy, delete the old one.
TEST_F(StructureTest, RetypeAtTheOldPosition) {
  db_->RenameField("PENSIONDATA", "STRIKE", "OLDSTRIKE");
  FieldDef strike = F("STRIKE", FieldType::Integer);
  strike.ordinal = 3;
  db_->CreateField("PENSIONDATA", strike);
  EXPECT_EQ(FieldNames("PENSIONDATA"),
            (std::vector<std::string>{"ID", "CLAIMANTID", "SURNAME", "STRIKE", "OLDSTRIKE", "RATE",
                                      "RUNDATE"}));
  db_->Execute("UPDATE PENSIONDATA SET STRIKE = OLDSTRIKE");
  db_->DeleteField("PENSIONDATA", "OLDSTRIKE");
  EXPECT_EQ(FieldNames("PENSIONDATA"),
            (std::vector<std::string>{"ID", "CLAIMANTID", "SURNAME", "STRIKE", "RATE", "RUNDATE"}));
  EXPECT_EQ(db_->Fields("PENSIONDATA")[3].type, FieldType::Integer);
  EXPECT_EQ(Rows(), "1:1:Name1:1 2:2:Name2:0 ");
  EXPECT_EQ(IndexSummary("PENSIONDATA"),
            "PrimaryKey(ID)PU CLAIMANTID(CLAIMANTID) UNIQUERELEASE(CLAIMANTID,SURNAME)UN ");
  // The rebuilt table keeps its counter, its checks and its defaults.
  db_->Execute("INSERT INTO PENSIONDATA (CLAIMANTID, SURNAME) VALUES (9, 'New')");
  EXPECT_EQ(
      db_->OpenRecordset("SELECT MAX(ID), MAX(RATE) FROM PENSIONDATA", RecordsetType::Snapshot)
          ->Field(0),
      Value(4));
  EXPECT_EQ(ErrorOf([&] { db_->Execute("UPDATE PENSIONDATA SET SURNAME = ''"); }), 3000);

  // A required field with no default is added by a rebuild, at the end.
  FieldDef version = F("VERSION", FieldType::Text, 10, true);
  EXPECT_EQ(ErrorOf([&] { db_->CreateField("PENSIONDATA", version); }), 3000);  // rows have none
  version.default_value = Value("v1");
  db_->CreateField("PENSIONDATA", version);
  EXPECT_EQ(Rows("VERSION"), "v1 v1 v1 ");
  EXPECT_EQ(ErrorOf([&] { db_->CreateField("PENSIONDATA", version); }), 3000);  // twice
}

TEST_F(StructureTest, DropTableAndTableNames) {
  db_->CreateTable("EXTRA", {F("A", FieldType::Memo)});
  EXPECT_TRUE(db_->TableExists("extra"));
  EXPECT_EQ(db_->TableNames(), (std::vector<std::string>{"EXTRA", "PENSIONDATA"}));
  db_->DropTable("Extra");
  EXPECT_FALSE(db_->TableExists("EXTRA"));
  EXPECT_EQ(ErrorOf([&] { db_->DropTable("EXTRA"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("SELECT * FROM EXTRA", RecordsetType::Snapshot); }),
            3078);
  EXPECT_EQ(ErrorOf([&] { db_->CreateTable("EXTRA", {}); }), 3000);
  EXPECT_EQ(ErrorOf([&] { db_->CreateTable("", {F("A", FieldType::Long)}); }), 3000);
  // Names holding quotes are quoted, not pasted.
  db_->CreateTable("odd \"name\"", {F("it's", FieldType::Long)});
  db_->Execute("INSERT INTO \"odd \"\"name\"\"\" VALUES (?)", {5});
  EXPECT_EQ(db_->OpenRecordset("odd \"name\"", RecordsetType::Dynaset)->Field("it's"), Value(5));
}

TEST_F(StructureTest, CompactionKeepsDataQueriesAndPassword) {
  db_->CreateQueryDef("qByClaimant", "SELECT * FROM PENSIONDATA WHERE CLAIMANTID = :WhatID",
                      "WhatID Long");
  db_->Close();
  const std::string copy = PathOf("s.db1");
  EXPECT_EQ(ErrorOf([&] { CompactDatabase(PathOf("s.db"), copy, ";pwd=bad"); }), 3031);
  EXPECT_EQ(ErrorOf([&] { CompactDatabase(PathOf("none.db"), copy, ";pwd=pw"); }), 3024);
  CompactDatabase(PathOf("s.db"), copy, ";pwd=pw");
  EXPECT_EQ(ErrorOf([&] { CompactDatabase(PathOf("s.db"), copy, ";pwd=pw"); }), 3204);

  EXPECT_EQ(ErrorOf([&] { OpenDatabase(copy); }), 3031);
  OpenOptions o;
  o.connect = ";pwd=pw";
  db_ = OpenDatabase(copy, o);
  EXPECT_EQ(Rows(), "1:1:Name1:1 2:2:Name2:0 ");
  EXPECT_EQ(IndexSummary("PENSIONDATA"),
            "PrimaryKey(ID)PU CLAIMANTID(CLAIMANTID) UNIQUERELEASE(CLAIMANTID,SURNAME)UN ");
  QueryDefPtr q = db_->QueryDefs("qbyclaimant");
  q->SetParameter("WhatID", 2);
  EXPECT_EQ(q->OpenRecordset()->Field("SURNAME").AsText(), "Name2");
}

}  // namespace
}  // namespace orv::db::testing
