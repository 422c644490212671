// Opening, passwords, locking, stored queries and their parameters.
#include <fstream>

#include "TestDb.h"

namespace orv::db::testing {
namespace {

constexpr const char* kConnect = ";pwd=Secret1";

class CoreTest : public DbTest {
 protected:
  // A database with a small dust table and a stored lookup query.
  std::string MakeDust() {
    const std::string path = PathOf("dust.db");
    DatabasePtr db = CreateDatabase(path, kConnect);
    db->CreateTable("DUST", {F("CollieryID", FieldType::Long), F("Year", FieldType::Integer),
                             F("DustVal", FieldType::Single), F("Marker", FieldType::Text, 20)});
    for (int id = 1; id <= 3; ++id) {
      for (int year = 1950; year <= 1952; ++year) {
        db->Execute("INSERT INTO DUST VALUES (?, ?, ?, ?)",
                    {id, year, 1.1f * static_cast<float>(id) + static_cast<float>(year - 1950),
                     year == 1951 ? Value("SURVEY") : Value()});
      }
    }
    db->CreateQueryDef("qDust",
                       "SELECT DustVal, Marker FROM DUST WHERE CollieryID = :WhatCollieryID AND "
                       "Year = :WhatYear",
                       "WhatCollieryID Long; WhatYear Integer");
    db->Close();
    return path;
  }
};

TEST_F(CoreTest, OpenChecksFileMarkAndPassword) {
  const std::string path = MakeDust();
  struct Case {
    const char* connect;
    int32_t error;
  };
  const Case cases[] = {{kConnect, 0},
                        {";pwd=secret1", 3031},
                        {"", 3031},
                        {";pwd=Wrong", 3031},
                        {"MS Access;PWD=Secret1", 0}};
  for (const Case& c : cases) {
    OpenOptions o;
    o.connect = c.connect;
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, o); }), c.error) << c.connect;
  }
  EXPECT_EQ(DescriptionOf([&] { OpenDatabase(path, {}); }),
            "Not a valid password for the database '" + path + "'.");

  EXPECT_EQ(ErrorOf([&] { OpenDatabase(PathOf("missing.db")); }), 3024);
  std::ofstream(PathOf("notes.txt")) << "not a database at all, just some text to fill a page";
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(PathOf("notes.txt")); }), 3051);
  // An SQLite file that is not one of ours.
  { CreateDatabase(PathOf("other.db"))->Execute("PRAGMA application_id=7"); }
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(PathOf("other.db")); }), 3051);
  EXPECT_EQ(ErrorOf([&] { CreateDatabase(path); }), 3204);
}

TEST_F(CoreTest, ReadOnlyRefusesWrites) {
  const std::string path = MakeDust();
  OpenOptions o;
  o.read_only = true;
  o.connect = kConnect;
  for (bool exclusive : {false, true}) {
    o.exclusive = exclusive;
    DatabasePtr db = OpenDatabase(path, o);
    EXPECT_TRUE(db->ReadOnly());
    EXPECT_EQ(ErrorOf([&] { db->Execute("DELETE FROM DUST"); }), 3027) << exclusive;
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef("qX", "SELECT 1"); }), 3027);
    RecordsetPtr rs = db->OpenRecordset("DUST", RecordsetType::Dynaset);
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), 3027);
    EXPECT_EQ(rs->RecordCount(), 9);
  }
}

TEST_F(CoreTest, ExclusiveBlocksOtherOpens) {
  const std::string path = MakeDust();
  OpenOptions ex;
  ex.exclusive = true;
  ex.connect = kConnect;
  ex.busy_timeout_ms = 50;
  OpenOptions shared = ex;
  shared.exclusive = false;
  OpenOptions shared_ro = shared;
  shared_ro.read_only = true;
  {
    DatabasePtr db = OpenDatabase(path, ex);
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, shared); }), 3051);
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, shared_ro); }), 3051);
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, ex); }), 3051);
    // The holder itself works normally.
    EXPECT_EQ(db->Execute("UPDATE DUST SET Marker = 'X' WHERE Year = 1950"), 3);
    db->Close();
    EXPECT_FALSE(db->IsOpen());
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, shared); }), 0);
  }
  // Two shared connections read and write side by side.
  DatabasePtr a = OpenDatabase(path, shared);
  DatabasePtr b = OpenDatabase(path, shared);
  a->Execute("UPDATE DUST SET Marker = 'A' WHERE Year = 1952");
  RecordsetPtr rs =
      b->OpenRecordset("SELECT COUNT(*) FROM DUST WHERE Marker = 'A'", RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsInt32(), 3);
}

TEST_F(CoreTest, StoredQueryRequeryReusesTheStatement) {
  const std::string path = MakeDust();
  OpenOptions o;
  o.read_only = true;
  o.connect = kConnect;
  DatabasePtr db = OpenDatabase(path, o);
  QueryDefPtr q = db->QueryDefs("QDUST");  // names ignore case
  EXPECT_EQ(q->Name(), "qDust");
  EXPECT_EQ(q->ParameterNames(), (std::vector<std::string>{"WhatCollieryID", "WhatYear"}));
  q->SetParameter("whatcollieryid", 2);
  q->SetParameter("WhatYear", 1951);
  RecordsetPtr rs = q->OpenRecordset(RecordsetType::Snapshot);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->Field("DustVal"), Value(1.1f * 2 + 1));  // a single, exactly
  EXPECT_EQ(rs->Field("Marker").AsText(), "SURVEY");

  // Every colliery and year through the one recordset, against fresh queries.
  for (int id = 0; id <= 4; ++id) {
    for (int year = 1949; year <= 1953; ++year) {
      q->SetParameter("WhatCollieryID", Value(std::to_string(id)));  // text converts to Long
      q->SetParameter("WhatYear", static_cast<double>(year));
      rs->Requery(q.get());
      QueryDefPtr fresh = db->QueryDefs("qDust");
      fresh->SetParameter("WhatCollieryID", id);
      fresh->SetParameter("WhatYear", year);
      RecordsetPtr other = fresh->OpenRecordset();
      ASSERT_EQ(rs->RecordCount(), other->RecordCount()) << id << " " << year;
      ASSERT_EQ(rs->IsEOF(), other->IsEOF());
      if (!rs->IsEOF()) {
        EXPECT_EQ(rs->Field("DustVal"), other->Field("DustVal"));
        EXPECT_EQ(rs->Field("Marker"), other->Field("Marker"));
      }
    }
  }
  EXPECT_EQ(q->Parameter("WhatCollieryID"), Value(4));
  EXPECT_EQ(q->Parameter("WhatYear"), Value(1953));
}

TEST_F(CoreTest, ParameterConversion) {
  DatabasePtr db = CreateDatabase(PathOf("p.db"));
  QueryDefPtr q = db->CreateQueryDef(
      "qTypes", "SELECT :L AS L, :I AS I, :S AS S, :D AS D, :Y AS Y, :T AS T, :W AS W",
      "L Long, I Integer, S Single, D Double, Y YesNo, T Text(10), W DateTime");
  struct Case {
    const char* name;
    Value in;
    Value out;
  };
  const Case cases[] = {
      {"L", Value(2.5), Value(2)},
      {"L", Value("41"), Value(41)},
      {"I", Value(3.5), Value(4)},
      {"S", Value(0.1), Value(0.1f)},
      {"D", Value("1.25"), Value(1.25)},
      {"Y", Value(-1), Value(1)},
      {"Y", Value("False"), Value(0)},
      {"T", Value(12.5), Value("12.5")},
      {"W", Value(2.5), Value("1900-01-01 12:00:00")},
      {"W", Value("2026-12-07 14:05:33"), Value("2026-12-07 14:05:33")},
      {"L", Value(), Value()},
  };
  for (const Case& c : cases) {
    q->SetParameter(c.name, c.in);
    EXPECT_EQ(q->Parameter(c.name), c.out) << c.name << " " << c.in.TextOrEmpty();
    RecordsetPtr rs = q->OpenRecordset();
    EXPECT_EQ(rs->Field(c.name), c.out) << c.name;
  }
  EXPECT_EQ(ErrorOf([&] { q->SetParameter("L", Value("abc")); }), 13);
  EXPECT_EQ(ErrorOf([&] { q->SetParameter("I", Value(40000)); }), 6);
  EXPECT_EQ(ErrorOf([&] { q->SetParameter("Nope", Value(1)); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef("qBad", "SELECT :a", "a Blob"); }), 3000);
  EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef("qBad", "SELEC 1"); }), 3000);
}

TEST_F(CoreTest, StoredQueriesLiveInTheDatabase) {
  const std::string path = PathOf("q.db");
  {
    DatabasePtr db = CreateDatabase(path);
    db->CreateTable("T", {F("ID", FieldType::Long), F("Name", FieldType::Text, 10)});
    db->Execute("INSERT INTO T VALUES (1, 'one'); INSERT INTO T VALUES (2, 'two')");
    db->CreateQueryDef("qByID", "SELECT * FROM T WHERE ID = :WhatID", "WhatID Long");
    // The other engine's form: a PARAMETERS clause and bracketed references.
    db->CreateQueryDef("qByName",
                       "PARAMETERS WHATNAME Text; SELECT * FROM T WHERE Name = [WHATNAME];");
    db->CreateQueryDef("qDelete", "DELETE FROM T WHERE ID = :WhatID", "WhatID Long");
    db->CreateQueryDef("qByID", "SELECT ID FROM T WHERE ID >= :WhatID", "WhatID Long");  // replaces
  }
  DatabasePtr db = OpenDatabase(path);
  EXPECT_EQ(db->QueryNames(), (std::vector<std::string>{"qByID", "qByName", "qDelete"}));
  QueryDefPtr by_name = db->QueryDefs("qbyname");
  EXPECT_EQ(by_name->SQL(), "SELECT * FROM T WHERE Name = :WHATNAME;");
  by_name->SetParameter("WhatName", "TWO");  // text fields compare ignoring case
  EXPECT_EQ(by_name->OpenRecordset()->Field("ID"), Value(2));

  QueryDefPtr by_id = db->QueryDefs("qByID");
  by_id->SetParameter("WhatID", 1);
  EXPECT_EQ(by_id->OpenRecordset()->RecordCount(), 2);

  QueryDefPtr del = db->QueryDefs("qDelete");
  del->SetParameter("WhatID", 2);
  EXPECT_EQ(del->Execute(), 1);
  EXPECT_EQ(del->Execute(), 0);

  db->DeleteQueryDef("QDELETE");
  EXPECT_FALSE(db->QueryExists("qDelete"));
  EXPECT_EQ(ErrorOf([&] { db->QueryDefs("qDelete"); }), 3078);
  EXPECT_EQ(ErrorOf([&] { db->DeleteQueryDef("qDelete"); }), 3265);
  EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"T"}));
}

TEST_F(CoreTest, ExecuteAndTransactions) {
  DatabasePtr db = CreateDatabase(PathOf("t.db"));
  db->CreateTable("T", {F("ID", FieldType::Long, 0, true), F("Name", FieldType::Text, 10)});
  db->CreateIndex("T", Ix("PrimaryKey", {"ID"}, true));
  EXPECT_EQ(db->Execute("INSERT INTO T VALUES (?, ?)", {1, "it's"}), 1);
  EXPECT_EQ(db->Execute("INSERT INTO T VALUES (?, ?)", {2, Value()}), 1);
  EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO T VALUES (?, ?)", {1, "dup"}); }), 3022);
  EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO T VALUES (?, ?)", {1}); }), 3000);
  EXPECT_EQ(ErrorOf([&] { db->Execute("SELECT * FROM NOPE"); }), 3078);
  EXPECT_EQ(DescriptionOf([&] { db->Execute("SELECT * FROM NOPE"); }),
            "The database engine cannot find the input table or query 'NOPE'. Make sure it "
            "exists and that its name is spelled correctly.");
  EXPECT_EQ(ErrorOf([&] { db->Execute("UPDATE T SET Nope = 1"); }), 3000);

  db->BeginTrans();
  db->Execute("DELETE FROM T");
  db->Rollback();
  EXPECT_EQ(db->OpenRecordset("T", RecordsetType::Snapshot)->RecordCount(), 2);
  db->BeginTrans();
  EXPECT_EQ(db->Execute("UPDATE T SET Name = 'x'"), 2);
  db->CommitTrans();
  EXPECT_EQ(ErrorOf([&] { db->CommitTrans(); }), 3034);
  EXPECT_EQ(db->OpenRecordset("SELECT Name FROM T WHERE ID = ?", RecordsetType::Snapshot, {2})
                ->Field("Name")
                .AsText(),
            "x");
  EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("NOPE"); }), 3078);
  // A closed database fails every use.
  RecordsetPtr rs = db->OpenRecordset("T", RecordsetType::Snapshot);
  db->Close();
  EXPECT_EQ(ErrorOf([&] { db->Execute("DELETE FROM T"); }), 3420);
  EXPECT_EQ(ErrorOf([&] { rs->Requery(); }), 3420);
}

}  // namespace
}  // namespace orv::db::testing
