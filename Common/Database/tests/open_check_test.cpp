// The check an open makes at a cost that does not grow with the file
// (OpenCheck::Structure) against the whole-file check: what each refuses,
// with the same descriptions, and the whole-file check standing in where
// the header cannot vouch for the file's size.
#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

#include "TestDb.h"

namespace orv::db::testing {
namespace {

namespace fs = std::filesystem;

OpenOptions With(OpenCheck check, bool read_only = false, bool exclusive = false) {
  OpenOptions o;
  o.check = check;
  o.read_only = read_only;
  o.exclusive = exclusive;
  o.busy_timeout_ms = 50;
  return o;
}

class OpenCheckTest : public DbTest {
 protected:
  std::string Copy(const std::string& good, const std::string& name) {
    const std::string path = PathOf(name);
    fs::copy_file(good, path, fs::copy_options::overwrite_existing);
    return path;
  }
  // The page number of a table's or index's root page.
  static int64_t RootPage(const std::string& path, const std::string& name) {
    DatabasePtr db = OpenDatabase(path);
    const RecordsetPtr rs = db->OpenRecordset(
        "SELECT rootpage FROM sqlite_schema WHERE name = ?", RecordsetType::Snapshot, {name});
    const int64_t page = rs->Field(0).AsInt32();
    db->Close();
    return page;
  }
};

TEST_F(OpenCheckTest, TheStructureCheckRefusesWhatTheWholeFileCheckRefusesButPagesOfUserTables) {
  const std::string good = MakeManyPages();
  struct Case {
    const char* damage;  // one of the test support's Damages()
    const char* why;     // the structure check's reason; nullptr: as the whole-file check's
  };
  const Case cases[] = {
      {"truncated to half", "the file is damaged (database disk image is malformed)."},
      {"the last page cut off", "the file is damaged (database disk image is malformed)."},
      {"truncated inside the first page", nullptr},
      {"pages 2 to 4 overwritten", nullptr},  // the layer's own tables
      {"random bytes", "it is not a database."},
      {"a text file", "it is not a database."},
      {"a database of another program", "it is not a database of this system."},
  };
  // The reason without SQLite's own words in brackets.
  const auto reason = [](const std::string& d) { return d.substr(0, d.find(" (")); };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.damage);
    const std::string path = Copy(good, "bad" + std::to_string(n++) + ".db");
    orv::test::DamageNamed(c.damage).spoil(path);
    const std::string whole_file =
        DescriptionOf([&] { OpenDatabase(path, With(OpenCheck::WholeFile)); });
    ASSERT_FALSE(whole_file.empty());
    for (const OpenOptions& o : {With(OpenCheck::Structure), With(OpenCheck::Structure, true),
                                 With(OpenCheck::Structure, true, true)}) {
      const auto open = [&] { OpenDatabase(path, o); };
      EXPECT_EQ(ErrorOf(open), dberr::kCannotOpen);
      const std::string d = DescriptionOf(open);
      EXPECT_EQ(reason(d), reason(whole_file)) << d << "\n" << whole_file;
      if (c.why) {
        EXPECT_EQ(d, "The database engine cannot open the file '" + path + "': " + c.why);
      }
    }
  }

  // A page of the user's table overwritten: the whole-file check refuses
  // the file at open; the structure check opens it, and the damage is
  // found when the page is read, naming the file, before anything changes.
  const std::string page = Copy(good, "page.db");
  WriteBytes(page, RandomBytes(4096, 7), (RootPage(good, "T") - 1) * 4096);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(page, With(OpenCheck::WholeFile)); }),
            dberr::kCannotOpen);
  DatabasePtr db = OpenDatabase(page, With(OpenCheck::Structure));
  const auto scan = [&] {
    db->OpenRecordset("SELECT SUM(ID) FROM T NOT INDEXED", RecordsetType::Snapshot);
  };
  EXPECT_EQ(ErrorOf(scan), dberr::kDamaged);
  EXPECT_NE(DescriptionOf(scan).find(page), std::string::npos);
  db->Close();

  EXPECT_EQ(ErrorOf([&] { OpenDatabase(good, With(OpenCheck::Structure))->Close(); }), 0);
}

// A file whose header does not vouch for its page count (as an SQLite
// older than 3.7 writes it) is checked whole even when the structure check
// is asked for.
TEST_F(OpenCheckTest, AHeaderWithoutACurrentPageCountHasTheWholeFileChecked) {
  const std::string good = MakeManyPages();
  const int64_t root = RootPage(good, "T");
  const std::string path = Copy(good, "old-header.db");
  // The "valid for" number no longer matches the change counter.
  WriteBytes(path, std::string("\x7f\x7f\x7f\x7f", 4), 92);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(path, With(OpenCheck::Structure))->Close(); }), 0);
  WriteBytes(path, RandomBytes(4096, 5), (root - 1) * 4096);
  const auto open = [&] { OpenDatabase(path, With(OpenCheck::Structure)); };
  EXPECT_EQ(ErrorOf(open), dberr::kCannotOpen);
  EXPECT_NE(DescriptionOf(open).find("the file is damaged ("), std::string::npos);
}

// A whole-file check tells how far it has come in pages, ending with all of
// them; what the caller's progress raises stops the open with that failure
// and leaves nothing behind on the file.
TEST_F(OpenCheckTest, TheWholeFileCheckTellsItsProgressInPages) {
  const std::string path = PathOf("pages.db");
  {
    DatabasePtr db = CreateDatabase(path);
    db->CreateTable("T", {MakeField("ID", FieldType::Long), MakeField("TXT", FieldType::Text, 250)});
    db->CreateIndex("T", IndexDef{"ByText", {"TXT"}, false, false, false});
    db->BeginTrans();
    for (int i = 0; i < 20000; ++i)
      db->Execute("INSERT INTO T VALUES (?, ?)", {i, std::string(200, 'a' + i % 26) + std::to_string(i)});
    db->CommitTrans();
    db->Close();
  }
  // About twice the pages are read (each table's rows are counted again).
  const int64_t pages = static_cast<int64_t>(fs::file_size(path) / 4096);
  std::vector<std::pair<int64_t, int64_t>> told;
  OpenOptions o = With(OpenCheck::WholeFile);
  o.check_progress = [&](int64_t done, int64_t total) { told.emplace_back(done, total); };
  for (const bool read_only : {false, true}) {
    SCOPED_TRACE(read_only ? "read-only" : "read-write");
    told.clear();
    o.read_only = read_only;
    OpenDatabase(path, o)->Close();
    const int64_t total = 2 * pages;
    ASSERT_GE(told.size(), 3u);  // on the way, not only at the end
    EXPECT_EQ(told.back(), std::make_pair(total, total));
    for (size_t i = 1; i < told.size(); ++i) {
      EXPECT_EQ(told[i].second, total);
      EXPECT_GT(told[i].first, told[i - 1].first);
    }
    // Most of the way told before the end.
    EXPECT_GT(told[told.size() - 2].first, total / 2);
    EXPECT_LT(told[told.size() - 2].first, total);
  }
  o.read_only = false;

  // The structure check reads no pages of the user's tables: nothing to tell.
  told.clear();
  o.check = OpenCheck::Structure;
  OpenDatabase(path, o)->Close();
  EXPECT_TRUE(told.empty());

  struct Stop {};
  o.check = OpenCheck::WholeFile;
  o.check_progress = [](int64_t done, int64_t) {
    if (done > 0) throw Stop{};
  };
  EXPECT_THROW(OpenDatabase(path, o), Stop);
  // Opened again, and used, without the progress of the stopped open.
  DatabasePtr db = OpenDatabase(path, With(OpenCheck::WholeFile));
  EXPECT_EQ(db->OpenRecordset("SELECT COUNT(*) FROM T", RecordsetType::Snapshot)->Field(0),
            Value(20000));
}

// A table an open only appends to has its rows left unchecked against
// their declared sizes, and nothing more: its pages are still checked, so
// are every other table's rows, and the connection's own writes to it are
// checked again once it is open.
TEST_F(OpenCheckTest, AnAppendOnlyTableIsCheckedButForItsRowsDeclaredSizes) {
  const std::string good = MakeManyPages();
  {
    DatabasePtr db = OpenDatabase(good);
    db->CreateTable("H", {MakeField("ID", FieldType::Long), MakeField("TXT", FieldType::Text, 5)});
    db->BeginTrans();
    for (int i = 0; i < 2000; ++i) db->Execute("INSERT INTO H VALUES (?, 'abc')", {i});
    db->CommitTrans();
    db->Close();
  }
  OpenOptions append = With(OpenCheck::WholeFile);
  append.append_only_tables = {"h"};  // named in any case
  const auto refusal = [](const std::string& path, const OpenOptions& o) {
    return DescriptionOf([&] { OpenDatabase(path, o); });
  };

  // A row of H over its size, as another program could write it.
  const std::string long_h = Copy(good, "long-h.db");
  orv::test::WriteUnchecked(long_h, "UPDATE H SET TXT = 'abcdef' WHERE ID = 1500");
  EXPECT_NE(refusal(long_h, With(OpenCheck::WholeFile)).find("CHECK constraint failed in H"),
            std::string::npos);
  for (const bool read_only : {false, true}) {
    SCOPED_TRACE(read_only ? "read-only" : "read-write");
    append.read_only = read_only;
    DatabasePtr db = OpenDatabase(long_h, append);
    if (!read_only) {
      EXPECT_EQ(ErrorOf([&] { db->Execute("INSERT INTO H VALUES (3000, 'abcdef')"); }), 3163);
      EXPECT_EQ(ErrorOf([&] {
                  db->Execute("INSERT INTO T VALUES (3000, ?)", {std::string(201, 'x')});
                }),
                3163);
      db->Execute("INSERT INTO H VALUES (3001, 'abc')");
    }
    db->Close();
  }
  append.read_only = false;

  // A row of T over its size: refused as the usual check refuses it.
  const std::string long_t = Copy(good, "long-t.db");
  orv::test::WriteUnchecked(long_t,
                            "UPDATE T SET TXT = '" + std::string(201, 'x') + "' WHERE ID = 2000");
  const std::string usual = refusal(long_t, With(OpenCheck::WholeFile));
  EXPECT_NE(usual.find("CHECK constraint failed in T"), std::string::npos) << usual;
  EXPECT_EQ(refusal(long_t, append), usual);

  // A page of H overwritten: refused.
  const std::string page = Copy(good, "page-h.db");
  WriteBytes(page, RandomBytes(4096, 11), (RootPage(good, "H") - 1) * 4096);
  EXPECT_EQ(ErrorOf([&] { OpenDatabase(page, append); }), dberr::kCannotOpen);
  EXPECT_NE(refusal(page, append).find("the file is damaged ("), std::string::npos);
}

}  // namespace
}  // namespace orv::db::testing
