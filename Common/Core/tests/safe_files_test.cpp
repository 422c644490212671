// Temporary and side files: private, exclusive, never through a link, and
// replacements that keep the mode of what they replace.
#include "SafeFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "OrvError.h"
#include "ProfileIni.h"
#include "TempDir.h"

namespace orv::files {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

class SafeFilesTest : public ::testing::Test {
 protected:
  // A test may take its folder's write permission away; the folder is
  // given it back so that it can be removed.
  void TearDown() override { fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add); }
  std::string In(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
  }
  orv::test::TempDir tmp_;
  const std::string dir_ = tmp_.path();
};

TEST_F(SafeFilesTest, APrivateTempFolderIsTheOwnersAloneAndGoesAway) {
  std::string path;
  {
    PrivateTempDir temp("orv-test");
    path = temp.Path();
    EXPECT_EQ(ModeOf(path), 0700u);
    EXPECT_NE(fs::path(path).filename().string(), "orv-test-XXXXXX");
    Write(temp.File("a.htm"), "x");
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(SafeFilesTest, APrivateTempFolderPrefersTheUsersRuntimeFolder) {
  const char* old_runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old_runtime ? old_runtime : "";
  // A runtime folder that others may enter is not used.
  fs::create_directories(In("runtime"));
  for (mode_t mode : {0700, 0755}) {
    ::chmod(In("runtime").c_str(), mode);
    ::setenv("XDG_RUNTIME_DIR", In("runtime").c_str(), 1);
    PrivateTempDir temp("orv-test");
    EXPECT_EQ(fs::path(temp.Path()).parent_path() == fs::path(In("runtime")), mode == 0700)
        << temp.Path();
  }
  if (old_runtime) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST_F(SafeFilesTest, AnExclusiveFileIsNeverAnExistingOneNorALink) {
  Write(In("precious.txt"), "keep me");
  fs::create_symlink(In("precious.txt"), In("link"));
  fs::create_symlink(In("nowhere"), In("dangling"));
  for (const char* name : {"precious.txt", "link", "dangling"}) {
    SCOPED_TRACE(name);
    try {
      ::close(CreateExclusive(In(name)));
      ADD_FAILURE() << "created";
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), kFileExists);
      EXPECT_NE(e.Description().find(In(name)), std::string::npos);
    }
  }
  EXPECT_EQ(Read(In("precious.txt")), "keep me");
  EXPECT_FALSE(fs::exists(In("nowhere")));
  ::close(CreateExclusive(In("new")));
  EXPECT_EQ(ModeOf(In("new")), 0600u);
}

TEST_F(SafeFilesTest, RenameNoReplaceLeavesAnExistingNameAlone) {
  Write(In("a"), "new");
  Write(In("b"), "old");
  std::error_code ec;
  EXPECT_FALSE(RenameNoReplace(In("a"), In("b"), ec));
  EXPECT_FALSE(ec);
  EXPECT_EQ(Read(In("b")), "old");
  EXPECT_TRUE(RenameNoReplace(In("a"), In("c"), ec));
  EXPECT_EQ(Read(In("c")), "new");
  EXPECT_FALSE(fs::exists(In("a")));
}

TEST_F(SafeFilesTest, AReplacementKeepsTheModeOfWhatItReplaces) {
  Write(In("kept"), "old");
  ::chmod(In("kept").c_str(), 0640);
  Write(In("new"), "new");
  KeepModeAndGroup(In("kept"), In("new"));
  EXPECT_EQ(ModeOf(In("new")), 0640u);
  KeepModeAndGroup(In("missing"), In("new"));
  EXPECT_EQ(ModeOf(In("new")), 0640u);
}

TEST_F(SafeFilesTest, FirstFreeNameCountsOnFromTheName) {
  EXPECT_EQ(FirstFreeName(In("b.db")), In("b.db"));
  Write(In("b.db"), "");
  fs::create_symlink(In("nowhere"), In("b-2.db"));
  EXPECT_EQ(FirstFreeName(In("b.db")), In("b-3.db"));
}

TEST_F(SafeFilesTest, AStagedFolderReachesItsTargetOnlyWhenCommitted) {
  const std::string out = In("out");
  fs::create_directories(out);
  Write(out + "/a.csv", "old a");
  Write(out + "/b.csv", "old b");
  ::chmod((out + "/a.csv").c_str(), 0600);
  {
    StagedFolder staged(out);
    Write(staged.Folder() + "/a.csv", "new a");
    EXPECT_EQ(fs::path(staged.Folder()).parent_path(), fs::path(dir_));
    EXPECT_EQ(ModeOf(staged.Folder()), 0700u);
    // Dropped without Commit: a failure midway.
  }
  EXPECT_EQ(Read(out + "/a.csv"), "old a");
  {
    StagedFolder staged(out);
    Write(staged.Folder() + "/a.csv", "new a");
    Write(staged.Folder() + "/c.csv", "new c");
    staged.Commit();
  }
  EXPECT_EQ(Read(out + "/a.csv"), "new a");
  EXPECT_EQ(ModeOf(out + "/a.csv"), 0600u);
  EXPECT_EQ(Read(out + "/b.csv"), "old b");
  EXPECT_EQ(Read(out + "/c.csv"), "new c");
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_NE(e.path().filename().string().front(), '.') << "left behind: " << e.path();
}

TEST_F(SafeFilesTest, TheSettingsFileKeepsItsModeWhenWritten) {
  const std::string ini = In("TARNBY.INI");
  Write(ini, "[Data]\nDatabase=/x.db\n");
  ::chmod(ini.c_str(), 0600);
  ASSERT_TRUE(WriteProfileString(ini, "Data", "Database", "/y.db"));
  EXPECT_EQ(ModeOf(ini), 0600u);
  EXPECT_EQ(ReadProfileValue(ini, "Data", "Database"), "/y.db");
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_NE(e.path().filename().string().front(), '.') << "left behind: " << e.path();
}

}  // namespace
}  // namespace orv::files
