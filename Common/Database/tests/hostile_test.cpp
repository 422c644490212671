// What a file from elsewhere, or a database on a server another program
// writes too, can make the layer do: its stored queries run under a budget,
// and copies never write through a name another program put in their way.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestDb.h"

namespace orv::db::testing {
namespace {

namespace fs = std::filesystem;

// A recursive query that never ends, one row at a time or all in one step.
constexpr const char* kEndlessRows =
    "WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r) SELECT x FROM r";
constexpr const char* kEndlessCount =
    "WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r) SELECT count(*) FROM r";
// The same on a server, where a recordset's stored query must begin with
// SELECT (and rows that would take hours are as good as never ending).
constexpr const char* kServerEndlessRows = "SELECT generate_series(1, 2000000000) AS x";
constexpr const char* kServerEndlessCount =
    "SELECT count(*) FROM (SELECT generate_series(1, 2000000000)) AS r";

class HostileFileTest : public DbTest {
 protected:
  // A small table and the given stored queries, as another program could
  // have written them: in a file, or in a database on the server.
  std::string MakeFile(const std::vector<std::pair<std::string, std::string>>& queries) {
    const std::string path = PathOf("h.db");
    DatabasePtr db = CreateDatabase(path);
    db->CreateTable("T", {F("ID", FieldType::Long), F("NAME", FieldType::Text, 50)});
    db->Execute("INSERT INTO T (ID, NAME) VALUES (1, 'a'), (2, 'b')");
    for (const auto& [name, sql] : queries) {
      db->Execute("INSERT INTO StoredQueries(Name, Parameters, SQL) VALUES (?, '', ?)",
                  {name, sql});
    }
    db->Close();
    return path;
  }

  static OpenOptions Small(bool read_only) {
    OpenOptions o;
    o.read_only = read_only;
    o.query_budget.steps = 2'000'000;
    o.query_budget.memory_bytes = 4 << 20;
    o.query_budget.value_bytes = 1 << 20;
    o.query_budget.server_ms = 500;
    return o;
  }
};

// The budget on both engines: a file counts a query's steps, a server its time.
class HostileQueryTest : public HostileFileTest {};

TEST_P(HostileQueryTest, AStoredQueryOverItsBudgetIsStoppedNamingIt) {
  struct Case {
    const char* name;
    std::string sql;
    std::string server_sql;  // empty: the same as in a file (which has no qSleep)
    bool action;             // run with Execute on a read-write connection
    const char* why;
  };
  const Case cases[] = {
      // Stopped by its steps or time, or by the rows it returns, whichever
      // comes first.
      {"qEndlessRows", kEndlessRows, kServerEndlessRows, false, "was stopped"},
      {"qEndlessCount", kEndlessCount, kServerEndlessCount, false, "ran for more than"},
      {"qHugeValue", "SELECT randomblob(50000000) AS B FROM T",
       "SELECT repeat('x', 2000000) AS B FROM T", false, "made a value larger"},
      {"qManyRows",
       "WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r LIMIT 200) "
       "SELECT randomblob(500000) AS B FROM r",
       "SELECT repeat('x', 500000) AS B FROM generate_series(1, 20)",
       false, "returned rows of more than"},
      {"qEndlessAction", std::string("DELETE FROM T WHERE ID IN (") + kEndlessCount + ")", "",
       true, "ran for more than"},
      {"qSleep", "", "SELECT pg_sleep(3600)", false, "ran for more than 500 ms"},
  };
  auto sql_of = [&](const Case& c) {
    return OnServer() && !c.server_sql.empty() ? c.server_sql : c.sql;
  };
  std::vector<std::pair<std::string, std::string>> stored;
  for (const Case& c : cases) {
    if (!sql_of(c).empty()) stored.emplace_back(c.name, sql_of(c));
  }
  const std::string path = MakeFile(stored);
  for (const Case& c : cases) {
    if (sql_of(c).empty()) continue;
    SCOPED_TRACE(c.name);
    DatabasePtr db = OpenDatabase(path, Small(!c.action));
    QueryDefPtr q = db->QueryDefs(c.name);
    try {
      if (c.action) {
        q->Execute();
      } else {
        q->OpenRecordset(RecordsetType::Snapshot);
      }
      ADD_FAILURE() << "not stopped";
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), dberr::kQueryBudget) << e.Description();
      EXPECT_NE(e.Description().find(std::string("'") + c.name + "'"), std::string::npos)
          << e.Description();
      EXPECT_NE(e.Description().find(NamedAs(path)), std::string::npos) << e.Description();
      EXPECT_NE(e.Description().find(c.why), std::string::npos) << e.Description();
    }
    // The connection goes on: the layer's own statements have no budget.
    EXPECT_EQ(db->OpenRecordset("SELECT count(*) FROM T", RecordsetType::Snapshot)
                  ->Field(0)
                  .AsInt64(),
              2);
    db->Close();
  }
}

TEST_P(HostileQueryTest, TheBudgetIsPerRunAndLeavesOrdinaryQueriesAlone) {
  const std::string path = MakeFile(
      {{"qOne", "SELECT NAME FROM T WHERE ID = :WhatID"},
       {"qCount", OnServer() ? "SELECT count(*) FROM (SELECT generate_series(1, 100000)) AS r"
                             : "WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL "
                               "SELECT x + 1 FROM r WHERE x < 100000) SELECT count(*) FROM r"}});
  DatabasePtr db = OpenDatabase(path, Small(true));
  QueryDefPtr q = db->QueryDefs("qOne");
  q->SetParameter("WhatID", 2);
  RecordsetPtr rs = q->OpenRecordset(RecordsetType::Snapshot);
  EXPECT_EQ(rs->Field(0).AsText(), "b");
  // Each run has the whole budget: many runs of a query that takes a part
  // of it never add up to a stop.
  QueryDefPtr count = db->QueryDefs("qCount");
  RecordsetPtr c = count->OpenRecordset(RecordsetType::Snapshot);
  for (int i = 0; i < 20; ++i) {
    c->Requery(count.get());
    EXPECT_EQ(c->Field(0).AsInt64(), 100000);
  }
  // The caller's own SQL is not a query from the file.
  EXPECT_EQ(db->OpenRecordset((OnServer() ? kServerEndlessRows : kEndlessRows) +
                                  std::string(" LIMIT 1"),
                              RecordsetType::Snapshot)
                ->RecordCount(),
            1);
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileQueryTest, BothEngines(), EngineName);

TEST_F(HostileFileTest, CopiesNeverWriteThroughANameInTheirWay) {
  const std::string path = MakeFile({});
  ::chmod(path.c_str(), 0600);
  const std::string precious = PathOf("precious.txt");
  std::ofstream(precious) << "keep me";
  // A link where the copy is to go, a file, and a dangling link.
  const std::string link = PathOf("link.db");
  fs::create_symlink(precious, link);
  const std::string dangling = PathOf("dangling.db");
  fs::create_symlink(PathOf("nowhere.db"), dangling);
  DatabasePtr db = OpenDatabase(path);
  for (const std::string& target : {link, precious, dangling}) {
    SCOPED_TRACE(target);
    EXPECT_EQ(ErrorOf([&] { db->CopyTo(target); }), 3204);
    EXPECT_EQ(ErrorOf([&] { CreateDatabase(target); }), 3204);
  }
  EXPECT_FALSE(fs::exists(PathOf("nowhere.db")));
  std::ifstream in(precious);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "keep me");

  // A copy keeps the database's mode, and leaves nothing else behind.
  const std::string copy = PathOf("copy.db");
  db->CopyTo(copy);
  struct stat st {};
  ASSERT_EQ(::stat(copy.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_NE(e.path().filename().string().front(), '.') << "left behind: " << e.path();
}

TEST_F(HostileFileTest, SchemaObjectsListsWhatTheFileHoldsButNotTheLayersOwn) {
  const std::string path = MakeFile({{"qAny", "SELECT * FROM T"}});
  DatabasePtr db = OpenDatabase(path);
  db->CreateIndex("T", Ix("ByName", {"NAME"}));
  db->Execute("CREATE VIEW V AS SELECT * FROM T");
  db->Execute("CREATE TRIGGER Tr AFTER INSERT ON T BEGIN DELETE FROM T; END");
  std::vector<std::string> seen;
  for (const SchemaObject& o : db->SchemaObjects())
    seen.push_back(std::string(KindName(o.kind)) + " " + o.name + " " + o.table);
  EXPECT_EQ(seen, (std::vector<std::string>{"table T T", "index T.ByName T", "trigger Tr T",
                                            "view V V"}));
}

}  // namespace
}  // namespace orv::db::testing
