// Compacting a database in place: a program stopped at any step leaves the
// old file or the new one, and the new one keeps the old one's permissions.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "TestDb.h"
#include "ToolRun.h"

namespace orv::db::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kStoppedExit = 42;
CompactStep g_stop_at = CompactStep::kCopied;

class CompactInPlaceTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    path_ = PathOf("d.db");
    DatabasePtr db = CreateDatabase(path_, ";pwd=secret");
    db->CreateTable("T", {F("ID", FieldType::Long), F("NAME", FieldType::Text, 20)});
    for (int i = 1; i <= 200; ++i) db->Execute("INSERT INTO T VALUES (?, 'row')", {i});
    db->Execute("DELETE FROM T WHERE ID > 3");  // free pages for the compaction to drop
    db->Close();
  }

  // The rows of the file at path_, read as the program would (throws when
  // there is no whole database there).
  int64_t Rows() const {
    OpenOptions o;
    o.read_only = true;
    o.connect = ";pwd=secret";
    DatabasePtr db = OpenDatabase(path_, o);
    return db->OpenRecordset("SELECT COUNT(*) FROM T", RecordsetType::Snapshot)
        ->Field(0)
        .AsInt64();
  }

  std::string path_;
};

TEST_F(CompactInPlaceTest, AProgramStoppedAtAnyStepLeavesTheOldFileOrTheNewOne) {
  for (CompactStep step : {CompactStep::kCopied, CompactStep::kModeKept, CompactStep::kFlushed,
                           CompactStep::kRenamed, CompactStep::kFolderFlushed}) {
    SCOPED_TRACE(static_cast<int>(step));
    const std::string temp = PathOf("d.db.compact" + std::to_string(static_cast<int>(step)));
    g_stop_at = step;
    ASSERT_EQ(orv::test::RunInChild([&] {
                SetCompactStepHook([](CompactStep s) {
                  if (s == g_stop_at) _exit(kStoppedExit);
                });
                CompactInPlace(path_, temp, ";pwd=secret");
              }),
              kStoppedExit);
    ASSERT_TRUE(fs::exists(path_));
    EXPECT_EQ(Rows(), 3);
  }
}

TEST_F(CompactInPlaceTest, TheNewFileKeepsTheModeAndGroupOfTheOldOne) {
  // A second group to give the file: any group as the superuser, else one of
  // the user's own other groups.
  gid_t other = getegid();
  if (geteuid() == 0) {
    other = getegid() + 1;
  } else {
    std::vector<gid_t> groups(static_cast<size_t>(getgroups(0, nullptr)));
    groups.resize(static_cast<size_t>(getgroups(static_cast<int>(groups.size()), groups.data())));
    for (gid_t g : groups)
      if (g != getegid()) other = g;
  }
  ASSERT_EQ(chown(path_.c_str(), static_cast<uid_t>(-1), other), 0);
  for (mode_t mode : {mode_t{0600}, mode_t{0660}, mode_t{0644}}) {
    ASSERT_EQ(chmod(path_.c_str(), mode), 0);
    struct stat before {};
    ASSERT_EQ(stat(path_.c_str(), &before), 0);
    CompactInPlace(path_, PathOf("d.db.compact"), ";pwd=secret");
    struct stat after {};
    ASSERT_EQ(stat(path_.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not rewritten
    EXPECT_EQ(after.st_mode & 07777, mode);
    EXPECT_EQ(after.st_gid, other);
    EXPECT_FALSE(fs::exists(PathOf("d.db.compact")));
  }
  EXPECT_EQ(Rows(), 3);
}

TEST_F(CompactInPlaceTest, AFileInUseIsLeftAsItWasWithNoCopyBehind) {
  struct stat before {};
  ASSERT_EQ(stat(path_.c_str(), &before), 0);
  {
    OpenOptions o;
    o.connect = ";pwd=secret";
    DatabasePtr db = OpenDatabase(path_, o);
    EXPECT_EQ(ErrorOf([&] { CompactInPlace(path_, PathOf("d.db.compact"), ";pwd=secret"); }),
              3051);
  }
  EXPECT_FALSE(fs::exists(PathOf("d.db.compact")));
  struct stat after {};
  ASSERT_EQ(stat(path_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Rows(), 3);
}

}  // namespace
}  // namespace orv::db::testing
