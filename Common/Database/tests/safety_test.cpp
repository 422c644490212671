// Two users on one file, damaged and hostile files, and fields that keep
// their declared size and range.
#include <dlfcn.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <sqlite3.h>

#include "TestDb.h"

namespace orv::db::testing {
namespace {

namespace fs = std::filesystem;

OpenOptions Shared(int busy_ms = 50) {
  OpenOptions o;
  o.busy_timeout_ms = busy_ms;
  return o;
}
OpenOptions Exclusive(int busy_ms = 50) {
  OpenOptions o = Shared(busy_ms);
  o.exclusive = true;
  return o;
}
OpenOptions ReadOnly() {
  OpenOptions o = Shared();
  o.read_only = true;
  return o;
}

class SafetyTest : public DbTest {
 protected:
  // A small claimant table with a stored query.
  std::string MakeClaimants(const std::string& name = "c.db") {
    const std::string path = PathOf(name);
    DatabasePtr db = CreateDatabase(path);
    FieldDef id = F("ID", FieldType::Long);
    id.auto_increment = true;
    db->CreateTable("CLAIMANT", {id, F("SURNAME", FieldType::Text, 40),
                                 F("AGE", FieldType::Integer), F("NOTES", FieldType::Memo)});
    for (const char* s : {"Smith", "Jones", "Brown"}) {
      db->Execute("INSERT INTO CLAIMANT (SURNAME, AGE) VALUES (?, ?)", {s, 60});
    }
    db->CreateQueryDef("qdClaimant", "SELECT * FROM CLAIMANT WHERE ID = :WhatID", "WhatID Long");
    db->Close();
    return path;
  }

  // Row `id`'s SURNAME, empty when there is no such row.
  std::string Surname(Database& db, int id) {
    RecordsetPtr rs = db.OpenRecordset("SELECT SURNAME FROM CLAIMANT WHERE ID = ?",
                                       RecordsetType::Snapshot, {id});
    return rs->IsEOF() ? std::string() : rs->Field(0).TextOrEmpty();
  }
};

// What only a file has (its locks, its damage, its journal) stays on files.
using SafetyFileTest = SafetyTest;

// --- two users, one file ---------------------------------------------------------

TEST_P(SafetyTest, SharedAndExclusiveOpensExcludeEachOther) {
  const std::string path = MakeClaimants();
  struct Case {
    const char* name;
    OpenOptions first;
    OpenOptions second;
    int32_t error;
  };
  const Case cases[] = {
      {"shared, shared", Shared(), Shared(), 0},
      {"read-only, shared", ReadOnly(), Shared(), 0},
      {"shared, exclusive", Shared(), Exclusive(), 3051},
      {"read-only, exclusive", ReadOnly(), Exclusive(), 3051},
      {"exclusive, shared", Exclusive(), Shared(), 3051},
      {"exclusive, read-only", Exclusive(), ReadOnly(), 3051},
      {"exclusive, exclusive", Exclusive(), Exclusive(), 3051},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DatabasePtr first = OpenDatabase(path, c.first);
    // The first connection is idle: no statement, no transaction.
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, c.second); }), c.error);
    if (c.error) {
      EXPECT_NE(DescriptionOf([&] { OpenDatabase(path, c.second); }).find(NamedAs(path)),
                std::string::npos);
      try {
        OpenDatabase(path, c.second);
      } catch (const OrvError& e) {
        EXPECT_TRUE(IsRefusedForUse(e));  // the moment's, not the file's
      }
    }
    first->Close();
    EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, c.second)->Close(); }), 0);
  }
}

TEST_P(SafetyTest, ClosingOneConnectionKeepsTheOthersLocks) {
  const std::string path = MakeClaimants();
  DatabasePtr a = OpenDatabase(path, Shared());
  for (int i = 0; i < 5; ++i) {
    DatabasePtr b = OpenDatabase(path, Shared());
    EXPECT_EQ(Surname(*b, 1), "Smith");
    b->Close();
  }
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, Exclusive()); }), 3051);
  {
    // Dropped without Close: the lock goes with the last reference.
    DatabasePtr c = OpenDatabase(path, Shared());
  }
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, Exclusive()); }), 3051);
  EXPECT_EQ(Surname(*a, 2), "Jones");
  a.reset();
  DatabasePtr ex = OpenDatabase(path, Exclusive());
  EXPECT_EQ(Surname(*ex, 3), "Brown");
}

// Another user in another process: this test program run again, doing only
// the disabled ChildProcess test below with what the environment says. (A
// forked copy of this process would share SQLite's lock bookkeeping with
// it; only a program of its own is a true other user.) Returns the error
// number the other user met, less 3000, or 0.
int InAnotherProcess(const std::string& path, const char* what) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("ORVDB_OTHER_PATH", path.c_str(), 1);
    setenv("ORVDB_OTHER_DOES", what, 1);
    execl("/proc/self/exe", "orvcommon_db_tests", "--gtest_filter=ChildProcess.DISABLED_OtherUser",
          "--gtest_also_run_disabled_tests", static_cast<char*>(nullptr));
    _exit(98);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ChildProcess, DISABLED_OtherUser) {
  const char* path = std::getenv("ORVDB_OTHER_PATH");
  const std::string does = std::getenv("ORVDB_OTHER_DOES") ? std::getenv("ORVDB_OTHER_DOES") : "";
  if (!path) GTEST_SKIP();
  if (does == "write past the layer") {
    // SQLite's own locks only, as a program without this layer meets them.
    sqlite3* h = nullptr;
    int rc = sqlite3_open_v2(path, &h, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(h, "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    std::fflush(stdout);
    _exit(rc);
  }
  const int32_t error = ErrorOf([&] {
    OpenOptions o = does == "open exclusive" ? Exclusive() : Shared();
    o.read_only = does == "open read-only";
    DatabasePtr db = OpenDatabase(path, o);
    if (does == "write") db->BeginTrans();
  });
  std::fflush(stdout);
  _exit(error == 0 ? 0 : error - 3000);
}

TEST_F(SafetyFileTest, AnotherProcessIsKeptOutAndLocksSurviveOtherConnectionsClosing) {
  const std::string path = MakeClaimants();
  auto other = [&](const char* what) { return InAnotherProcess(path, what); };
  {
    DatabasePtr idle = OpenDatabase(path, Shared());
    EXPECT_EQ(other("open exclusive"), 51);
    EXPECT_EQ(other("write"), 0);
  }
  {
    DatabasePtr ex = OpenDatabase(path, Exclusive());
    EXPECT_EQ(other("open read-only"), 51);
  }
  // A writer's SQLite lock outlives other connections of its process to the
  // same file being opened (with each check an open makes) and closed.
  DatabasePtr writer = OpenDatabase(path, Shared());
  writer->BeginTrans();
  writer->Execute("UPDATE CLAIMANT SET AGE = 1");
  for (const OpenCheck check : {OpenCheck::WholeFile, OpenCheck::Structure}) {
    for (bool read_only : {true, false}) {
      SCOPED_TRACE(std::string(check == OpenCheck::Structure ? "structure" : "whole file") +
                   (read_only ? ", read-only" : ""));
      OpenOptions o = read_only ? ReadOnly() : Shared();
      o.check = check;
      OpenDatabase(path, o)->Close();
      EXPECT_EQ(other("write"), dberr::kCurrentlyLocked - 3000);
    }
  }
  writer->CommitTrans();
  EXPECT_EQ(other("write"), 0);
}

// A library loaded into the program (as the engine and the matrix expansion
// are) holds the file exclusively; the program's own open is refused and
// leaves the library's locks in place, as both go through one layer with one
// registry of open files: a second copy of the layer would close its
// descriptor on the refusal and with it drop SQLite's lock of the library's
// connection, letting another program write.
TEST_F(SafetyFileTest, AProgramAndALibraryItLoadsShareOneLayer) {
  const std::string path = MakeClaimants();
  const fs::path holder_file =
      fs::read_symlink("/proc/self/exe").parent_path() / "liborvdb_holder.so";
  void* holder = dlopen(holder_file.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(holder, nullptr) << dlerror();
  auto hold = reinterpret_cast<void (*)(const char*)>(dlsym(holder, "OrvTestHoldExclusive"));
  auto release = reinterpret_cast<void (*)()>(dlsym(holder, "OrvTestRelease"));
  ASSERT_TRUE(hold && release);
  hold(path.c_str());
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, Shared()); }), 3051);
  EXPECT_EQ(InAnotherProcess(path, "write past the layer"), SQLITE_BUSY);
  release();
  EXPECT_EQ(InAnotherProcess(path, "write past the layer"), SQLITE_OK);
  dlclose(holder);
}

TEST_F(SafetyFileTest, AWriterWaitsAndALockThatOutlastsTheWaitIsCurrentlyLocked) {
  const std::string path = MakeClaimants();
  DatabasePtr a = OpenDatabase(path, Shared());
  DatabasePtr b = OpenDatabase(path, Shared(30));
  a->BeginTrans();  // a writer from the start
  a->Execute("UPDATE CLAIMANT SET AGE = 61 WHERE ID = 1");
  EXPECT_EQ(ErrorOf([&] { b->BeginTrans(); }), dberr::kCurrentlyLocked);
  EXPECT_EQ(ErrorOf([&] { b->Execute("UPDATE CLAIMANT SET AGE = 62 WHERE ID = 2"); }),
            dberr::kCurrentlyLocked);
  EXPECT_NE(DescriptionOf([&] { b->BeginTrans(); }).find("currently locked"), std::string::npos);
  // Readers still read what was committed.
  EXPECT_EQ(
      b->OpenRecordset("SELECT AGE FROM CLAIMANT WHERE ID = 1", RecordsetType::Snapshot)->Field(0),
      Value(60));
  // A read transaction does not wait for the writer.
  b->BeginTrans(false);
  EXPECT_EQ(
      b->OpenRecordset("SELECT AGE FROM CLAIMANT WHERE ID = 1", RecordsetType::Snapshot)->Field(0),
      Value(60));
  b->CommitTrans();
  a->CommitTrans();
  b->BeginTrans();
  b->Execute("UPDATE CLAIMANT SET AGE = 62 WHERE ID = 2");
  b->CommitTrans();
  EXPECT_EQ(a->OpenRecordset("SELECT SUM(AGE) FROM CLAIMANT", RecordsetType::Snapshot)->Field(0),
            Value(183));

  // A lock given up while another writer waits for it: that writer goes on,
  // however its wait is paced.
  DatabasePtr c = OpenDatabase(path, Shared(5000));
  a->BeginTrans();
  a->Execute("UPDATE CLAIMANT SET AGE = 63 WHERE ID = 1");
  std::thread release([&a] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    a->CommitTrans();
  });
  c->BeginTrans();
  c->Execute("UPDATE CLAIMANT SET AGE = 64 WHERE ID = 2");
  c->CommitTrans();
  release.join();
  EXPECT_EQ(c->OpenRecordset("SELECT SUM(AGE) FROM CLAIMANT", RecordsetType::Snapshot)->Field(0),
            Value(187));
}

TEST_P(SafetyTest, AnUpdateOverAnotherUsersChangeIsRefused) {
  const std::string path = MakeClaimants();
  DatabasePtr a = OpenDatabase(path, Shared());
  DatabasePtr b = OpenDatabase(path, Shared());
  struct Case {
    const char* name;
    const char* other_sql;  // run by the other user between Edit and Update
    int32_t error;
    const char* stored;  // SURNAME of row 1 afterwards
  };
  const Case cases[] = {
      {"nobody else wrote", nullptr, 0, "Mine"},
      {"another row changed", "UPDATE CLAIMANT SET SURNAME = 'Other' WHERE ID = 2", 0, "Mine"},
      {"same row changed", "UPDATE CLAIMANT SET SURNAME = 'Theirs' WHERE ID = 1", 3197, "Theirs"},
      {"only the letter case", "UPDATE CLAIMANT SET SURNAME = 'SMITH' WHERE ID = 1", 3197, "SMITH"},
      {"a field not edited", "UPDATE CLAIMANT SET AGE = 70 WHERE ID = 1", 3197, "Smith"},
      {"a field not in the set", "UPDATE CLAIMANT SET NOTES = 'x' WHERE ID = 1", 3197, "Smith"},
      {"deleted", "DELETE FROM CLAIMANT WHERE ID = 1", 3167, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    a->Execute("DELETE FROM CLAIMANT");
    a->Execute("INSERT INTO CLAIMANT (ID, SURNAME, AGE) VALUES (1, 'Smith', 60), (2, 'Jones', 61)");
    RecordsetPtr rs = a->OpenRecordset("SELECT ID, SURNAME, AGE FROM CLAIMANT ORDER BY ID",
                                       RecordsetType::Dynaset);
    rs->Edit();
    rs->SetField("SURNAME", "Mine");
    if (c.other_sql) b->Execute(c.other_sql);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), c.error);
    EXPECT_EQ(Surname(*b, 1), c.stored);
    if (c.error == 3197) {
      // The edit is over and the row shows the other user's values; editing
      // again starts from them and is saved.
      EXPECT_EQ(rs->Field("SURNAME").AsText(), c.stored);
      EXPECT_EQ(ErrorOf([&] { rs->Update(); }), 3020);
      rs->Edit();
      rs->SetField("SURNAME", "Mine");
      rs->Update();
      EXPECT_EQ(Surname(*b, 1), "Mine");
    }
  }
  // Two recordsets of one connection are two editors too.
  RecordsetPtr one = a->OpenRecordset("CLAIMANT", RecordsetType::Dynaset);
  RecordsetPtr two = a->OpenRecordset("CLAIMANT", RecordsetType::Dynaset);
  one->Edit();
  two->Edit();
  two->SetField("AGE", 1);
  two->Update();
  one->SetField("AGE", 2);
  EXPECT_EQ(ErrorOf([&] { one->Update(); }), 3197);
  EXPECT_EQ(one->Field("AGE"), Value(1));
}

// --- damaged and foreign files ---------------------------------------------------

TEST_F(SafetyFileTest, DamagedAndForeignFilesAreRefusedNamingTheFile) {
  const std::string good = MakeManyPages();
  int n = 0;
  for (const orv::test::Damage& d : orv::test::Damages()) {
    SCOPED_TRACE(d.name);
    const std::string path = PathOf("bad" + std::to_string(n++) + ".db");
    fs::copy_file(good, path);
    d.spoil(path);
    for (const OpenOptions& o : {Shared(), ReadOnly(), Exclusive()}) {
      EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, o); }), dberr::kCannotOpen);
      EXPECT_NE(DescriptionOf([&] { OpenDatabase(path, o); }).find(path), std::string::npos);
    }
    EXPECT_EQ(ErrorOf([&] { CompactDatabase(path, path + ".copy"); }), dberr::kCannotOpen);
    EXPECT_FALSE(fs::exists(path + ".copy"));
  }
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(good, ReadOnly())->Close(); }), 0);
}

TEST_F(SafetyFileTest, DamageFoundWhileInUseIsReportedNamingTheFile) {
  const std::string path = PathOf("used.db");
  DatabasePtr db = CreateDatabase(path);
  db->CreateTable("T", {F("ID", FieldType::Long), F("TXT", FieldType::Text, 200)});
  db->BeginTrans();
  for (int i = 0; i < 3000; ++i)
    db->Execute("INSERT INTO T VALUES (?, ?)", {i, "row " + std::to_string(i)});
  db->CommitTrans();
  // Another program damages pages under the open connection and bumps the
  // file's change counter, so the connection reads them again.
  for (std::streamoff page = 3; page < 40; ++page)
    WriteBytes(path, RandomBytes(4096, 11), 4096 * page);
  WriteBytes(path, std::string("\x7f\x7f\x7f\x7f"), 24);
  const auto scan = [&] {
    RecordsetPtr rs = db->OpenRecordset("SELECT SUM(LENGTH(TXT)) FROM T", RecordsetType::Snapshot);
  };
  EXPECT_EQ(ErrorOf(scan), dberr::kDamaged);
  EXPECT_NE(DescriptionOf(scan).find(path), std::string::npos) << DescriptionOf(scan);
}

TEST_F(SafetyFileTest, TheOtherKindOfDatabaseIsNamedBeforeItsPassword) {
  const std::string claimants = MakeClaimants();
  const std::string dust = PathOf("dust.db");
  {
    DatabasePtr db = CreateDatabase(dust, ";pwd=secret");
    db->CreateTable("PARMS", {F("PARM", FieldType::Text, 50), F("PARMVALUE", FieldType::Text)});
    db->CreateTable("DUSTMATRIX", {F("COLLIERYID", FieldType::Long)});
  }
  const std::string neither = PathOf("new.db");
  CreateDatabase(neither)->Close();
  auto as = [](DatabaseKind kind, const char* connect = "") {
    OpenOptions o = Shared();
    o.kind = kind;
    o.connect = connect;
    return o;
  };
  struct Case {
    std::string path;
    OpenOptions options;
    const char* refusal;  // nullptr: opens
  };
  const Case cases[] = {
      {dust, as(DatabaseKind::Claimant), "it is a dust data database, not a claimant database."},
      {claimants, as(DatabaseKind::DustData),
       "it is a claimant database, not a dust data database."},
      {dust, as(DatabaseKind::DustData, ";pwd=secret"), nullptr},
      {dust, as(DatabaseKind::Any, ";pwd=secret"), nullptr},
      {claimants, as(DatabaseKind::Claimant), nullptr},
      {neither, as(DatabaseKind::DustData), nullptr},
      {neither, as(DatabaseKind::Claimant), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " as " + std::string(KindName(c.options.kind)));
    const auto open = [&] { OpenDatabase(c.path, c.options)->Close(); };
    if (!c.refusal) {
      EXPECT_EQ(ErrorOf(open), 0) << DescriptionOf(open);
      continue;
    }
    EXPECT_EQ(ErrorOf(open), dberr::kCannotOpen);
    EXPECT_EQ(DescriptionOf(open),
              "The database engine cannot open the file '" + c.path + "': " + c.refusal);
    try {
      open();
    } catch (const OrvError& e) {
      EXPECT_FALSE(IsRefusedForUse(e));
    }
  }
  // The right kind with the wrong password is still the password's error.
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(dust, as(DatabaseKind::DustData)); }), dberr::kBadPassword);
}

TEST_F(SafetyFileTest, StoredQueriesAreGuardedOnEveryConnection) {
  const std::string path = MakeClaimants();
  const std::string elsewhere = PathOf("elsewhere.db");
  // What each would do; `writes` ones are action queries a read-write
  // connection runs with Execute but never opens as a recordset.
  struct Tampered {
    const char* name;
    std::string sql;
    bool writes;
  };
  const Tampered tampered[] = {
      {"qWrite", "DELETE FROM CLAIMANT", true},
      {"qInsert", "INSERT INTO CLAIMANT (SURNAME) SELECT SURNAME FROM CLAIMANT", true},
      {"qAttach", "ATTACH DATABASE '" + elsewhere + "' AS other", false},
      {"qDetach", "DETACH DATABASE other", false},
      {"qPragma", "PRAGMA writable_schema = 1", false},
      {"qJournal", "PRAGMA journal_mode = OFF", false},
      {"qTemp", "CREATE TEMP TABLE stolen AS SELECT * FROM CLAIMANT", false},
      {"qDrop", "DROP TABLE CLAIMANT", false},
      {"qExtension", "SELECT load_extension('/tmp/evil.so')", false},
      {"qTransaction", "BEGIN IMMEDIATE", false},
  };
  {
    // Stored as another program could have written them.
    DatabasePtr db = OpenDatabase(path);
    for (const Tampered& t : tampered) {
      db->Execute("INSERT INTO StoredQueries(Name, Parameters, SQL) VALUES (?, '', ?)",
                  {t.name, t.sql});
    }
  }
  for (const OpenOptions& o : {ReadOnly(), Shared()}) {
    SCOPED_TRACE(o.read_only ? "read-only" : "read-write");
    DatabasePtr db = OpenDatabase(path, o);
    for (const Tampered& t : tampered) {
      SCOPED_TRACE(t.name);
      QueryDefPtr q = db->QueryDefs(t.name);
      for (RecordsetType type : {RecordsetType::Snapshot, RecordsetType::Dynaset}) {
        const auto open = [&] { q->OpenRecordset(type); };
        EXPECT_EQ(ErrorOf(open), dberr::kNoPermission) << DescriptionOf(open);
        const std::string why = DescriptionOf(open);
        EXPECT_NE(why.find(std::string("'") + t.name + "'"), std::string::npos) << why;
        EXPECT_NE(why.find(path), std::string::npos) << why;
      }
      if (o.read_only || !t.writes) {
        EXPECT_EQ(ErrorOf([&] { q->Execute(); }), dberr::kNoPermission);
      }
    }
    // Nothing was changed, attached or made, and plain SQL that writes is
    // no recordset either.
    EXPECT_EQ(db->OpenRecordset("CLAIMANT", RecordsetType::Snapshot)->RecordCount(), 3);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("DELETE FROM CLAIMANT", RecordsetType::Snapshot); }),
              dberr::kNoPermission);
    EXPECT_EQ(db->OpenRecordset("CLAIMANT", RecordsetType::Snapshot)->RecordCount(), 3);
    EXPECT_FALSE(fs::exists(elsewhere));
    // Reading queries run as before, on a dynaset too.
    QueryDefPtr q = db->QueryDefs("qdClaimant");
    q->SetParameter("WhatID", 2);
    EXPECT_EQ(q->OpenRecordset(RecordsetType::Dynaset)->Field("SURNAME").AsText(), "Jones");
  }
  EXPECT_EQ(ErrorOf([&] {
              OpenDatabase(path, ReadOnly())->Execute("ATTACH DATABASE ? AS other", {elsewhere});
            }),
            3000);
  EXPECT_FALSE(fs::exists(elsewhere));
  // A read-write connection runs its action queries, and the layer's own
  // settings and copies still work on it.
  DatabasePtr rw = OpenDatabase(path);
  EXPECT_EQ(rw->QueryDefs("qWrite")->Execute(), 3);
  rw->CopyTo(PathOf("copy.db"));
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(PathOf("copy.db"))->Close(); }), 0);
}

// --- fields keep their size and range -------------------------------------------

// A change another process never finished: killed half way with its cache
// spilled into the file, its journal left beside it.
void LeaveInterruptedChange(const std::string& path) {
  const pid_t pid = fork();
  ASSERT_NE(pid, -1);
  if (pid == 0) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(h, "PRAGMA cache_size = 1; BEGIN IMMEDIATE; DELETE FROM CLAIMANT;", nullptr,
                 nullptr, nullptr);
    _exit(0);  // neither committed nor rolled back
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

// Values no field of its type can hold: a date far outside the calendar is
// refused as it is set, as any number outside its field is; a whole-number field that another
// program filled with a huge real reads back as that value, which no whole-number reader takes (the
// overflow error, never an undefined conversion). A change that another process never finished
// (killed half way, its cache spilled into the file) leaves the file half written and its journal
// beside it. A read-only open undoes the change first and reads the file as
// it was before the change.
TEST_F(SafetyFileTest, AChangeKilledHalfWayIsUndoneBeforeAReadOnlyOpen) {
  const std::string path = MakeClaimants();
  {
    DatabasePtr db = OpenDatabase(path);
    const std::string notes(2000, 'n');  // rows over several pages
    for (int i = 0; i < 40; ++i) db->Execute("UPDATE CLAIMANT SET NOTES = ?", {notes});
    for (int i = 0; i < 40; ++i) {
      db->Execute("INSERT INTO CLAIMANT (SURNAME, NOTES) VALUES ('Row', ?)", {notes});
    }
    db->Close();
  }
  LeaveInterruptedChange(path);
  ASSERT_TRUE(fs::exists(path + "-journal"));

  DatabasePtr db = OpenDatabase(path, ReadOnly());
  EXPECT_EQ(db->OpenRecordset("SELECT COUNT(*) FROM CLAIMANT", RecordsetType::Snapshot)
                ->Field(0)
                .AsInt32(),
            43);
  EXPECT_EQ(Surname(*db, 1), "Smith");
}

// The same interrupted change in a folder that cannot be written, made so
// by a read-only mount in a private mount namespace (the superuser ignores
// mode bits, not a read-only mount): the file is not called damaged; the
// message says that the change must be undone first and that the folder
// cannot be written, for a read-only open and a read-write one.
TEST_F(SafetyFileTest, AnInterruptedChangeInAFolderThatCannotBeWrittenIsSaidSo) {
  const std::string path = MakeClaimants();
  {
    DatabasePtr db = OpenDatabase(path);
    const std::string notes(2000, 'n');
    for (int i = 0; i < 40; ++i) {
      db->Execute("INSERT INTO CLAIMANT (SURNAME, NOTES) VALUES ('Row', ?)", {notes});
    }
    db->Close();
  }
  LeaveInterruptedChange(path);
  ASSERT_TRUE(fs::exists(path + "-journal"));
  const std::string folder = fs::path(path).parent_path().string();
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_NE(pid, -1);
  if (pid == 0) {
    close(out[0]);
    std::string said;
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      said = "no mount";
    } else {
      for (const bool read_only : {true, false}) {
        try {
          OpenDatabase(path, read_only ? ReadOnly() : OpenOptions{})->Close();
          said += "opened\n";
        } catch (const OrvError& e) {
          said += std::to_string(e.Number()) + " " + e.Description() + "\n";
        }
      }
    }
    (void)!write(out[1], said.data(), said.size());
    _exit(0);
  }
  close(out[1]);
  std::string said;
  char buf[512];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (said == "no mount") GTEST_SKIP() << "no private read-only mount can be made here";
  std::istringstream lines(said);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    SCOPED_TRACE(line);
    EXPECT_EQ(line.rfind("3051 The database engine cannot open the file '" + path + "'", 0), 0u);
    EXPECT_NE(line.find("interrupted and must be undone first"), std::string::npos);
    EXPECT_NE(line.find("its folder '" + folder + "' cannot be written"), std::string::npos);
    EXPECT_EQ(line.find("damaged"), std::string::npos);
  }
  EXPECT_EQ(count, 2);
  // Outside the mount the change is still there to undo, and is undone.
  EXPECT_TRUE(fs::exists(path + "-journal"));
  DatabasePtr db = OpenDatabase(path, ReadOnly());
  EXPECT_EQ(Surname(*db, 1), "Smith");
}

TEST_F(SafetyFileTest, ValuesOutsideEveryRangeAreRefusedNotConverted) {
  DatabasePtr db = CreateDatabase(PathOf("g.db"));
  db->CreateTable("G", {F("W", FieldType::DateTime)});
  RecordsetPtr rs = db->OpenRecordset("G", RecordsetType::Dynaset);
  for (double serial : {1e300, -1e300, 2958466.0, -657435.0}) {
    SCOPED_TRACE(serial);
    rs->AddNew();
    EXPECT_EQ(ErrorOf([&] { rs->SetField("W", Value(serial)); }), dberr::kNumericOverflow);
    rs->CancelUpdate();
  }
  rs->AddNew();
  rs->SetField("W", Value(2958465.5));  // 31 December 9999, noon
  rs->Update();

  // Declared as the layer declares nothing: no range check on the column.
  db->Execute("CREATE TABLE H (I SMALLINT, L INTEGER)");
  db->Execute("INSERT INTO H VALUES (1e300, -1e300), (12.5, 13.5)");
  RecordsetPtr h = db->OpenRecordset("SELECT I, L FROM H", RecordsetType::Snapshot);
  EXPECT_EQ(ErrorOf([&] { (void)h->Field("I").AsInt16(); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([&] { (void)h->Field("L").AsInt32(); }), err::kOverflow);
  h->MoveNext();
  EXPECT_EQ(h->Field("I").AsInt16(), 12);  // to even, as every conversion rounds
  EXPECT_EQ(h->Field("L").AsInt32(), 14);
}

TEST_P(SafetyTest, TooLongTextsAndOutOfRangeNumbersAreRefused) {
  DatabasePtr db = CreateDatabase(PathOf("f.db"));
  FieldDef id = F("ID", FieldType::Long);
  id.auto_increment = true;  // a server's dynaset writes by its key
  db->CreateTable(
      "F", {id, F("T", FieldType::Text, 5), F("I", FieldType::Integer), F("L", FieldType::Long),
            F("S", FieldType::Single), F("M", FieldType::Currency), F("D", FieldType::Double)});
  db->CreateField("F", F("T2", FieldType::Text, 3));  // added later: checked too
  struct Case {
    const char* field;
    Value value;
    int32_t error;
  };
  const Case cases[] = {
      {"T", Value("abcde"), 0},
      {"T", Value("abcdef"), 3163},
      {"T", Value("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"), 0},  // five characters, ten bytes
      {"T", Value(123456), 3163},
      {"T2", Value("abcd"), 3163},
      {"I", Value(32767), 0},
      {"I", Value(40000), 3349},
      {"I", Value(-32769), 3349},
      {"I", Value("40000"), 3349},
      {"L", Value(2147483647), 0},
      {"L", Value(3e9), 3349},
      {"S", Value(3e38), 0},
      {"S", Value(1e39), 3349},
      {"S", Value("-1e39"), 3349},
      {"M", Value(9e14), 0},
      {"M", Value(1e16), 3349},
      {"D", Value(1e300), 0},
  };
  RecordsetPtr rs = db->OpenRecordset("F", RecordsetType::Dynaset);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " " + c.value.AsText());
    // Through a recordset: refused as the value is set, naming the field.
    rs->AddNew();
    EXPECT_EQ(ErrorOf([&] { rs->SetField(c.field, c.value); }), c.error);
    if (c.error) {
      EXPECT_NE(DescriptionOf([&] {
                  rs->SetField(c.field, c.value);
                }).find(std::string("'") + c.field + "'"),
                std::string::npos);
    }
    rs->CancelUpdate();
    // Through SQL: refused by the table itself, nothing stored.
    const std::string sql = std::string("INSERT INTO F (\"") + c.field + "\") VALUES (?)";
    EXPECT_EQ(ErrorOf([&] { db->Execute(sql, {c.value}); }), c.error);
  }
  int expected = 0;
  for (const Case& c : cases) expected += c.error == 0;
  EXPECT_EQ(db->OpenRecordset("F", RecordsetType::Snapshot)->RecordCount(), expected);
  // Text in a number field is still left to the readers on a file; a
  // server's column types refuse it.
  EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO F (I) VALUES ('n/a')"); }),
            OnServer() ? 3000 : 0);
}

// --- compaction and copies --------------------------------------------------------

TEST_F(SafetyFileTest, CompactionIsRefusedWhileTheFileIsOpen) {
  const std::string path = MakeClaimants();
  const std::string copy = PathOf("copy.db");
  for (const OpenOptions& o : {Shared(), ReadOnly(), Exclusive()}) {
    DatabasePtr db = OpenDatabase(path, o);
    EXPECT_EQ(ErrorOf([&] { CompactDatabase(path, copy); }), 3051);
    EXPECT_FALSE(fs::exists(copy));
    // The open connection can copy itself consistently instead.
    db->CopyTo(copy);
    EXPECT_EQ(Surname(*OpenDatabase(copy, ReadOnly()), 2), "Jones");
    EXPECT_EQ(ErrorOf([&] { db->CopyTo(copy); }), 3204);
    fs::remove(copy);
    // The connection goes on working after its copy.
    EXPECT_EQ(Surname(*db, 1), "Smith");
    if (!db->ReadOnly()) {
      EXPECT_EQ(db->Execute("UPDATE CLAIMANT SET AGE = 1 WHERE ID = 1"), 1);
    }
  }
  CompactDatabase(path, copy);
  EXPECT_EQ(Surname(*OpenDatabase(copy, Exclusive()), 3), "Brown");
}

INSTANTIATE_TEST_SUITE_P(Engines, SafetyTest, BothEngines(), EngineName);

}  // namespace
}  // namespace orv::db::testing
