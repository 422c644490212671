// Start-up as a user meets it: a settings file that is missing, a claimant
// database that is missing or at structure level 0, either database spoilt,
// and a first start with empty per-user folders.
#include "MainFormFixture.h"

#include <fstream>

#include "DustDataPassword.h"
#include "SpoiltFiles.h"
#include "StartUp.h"
#include "TestServer.h"

namespace orv::tarnby::test {
namespace {

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ =
        TestHome() /
        ("start-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(home_);
    fs::create_directories(home_);
    // Empty per-user folders of this test's own.
    setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    setenv("TARNBY_SAMPLE_DIR", (home_ / "no-sample").c_str(), 1);
    old_boxes_ = SetMessageBoxService(boxes_);
    old_dialogs_ = SetFileDialogService(dialogs_);
    CloseClaimantDatabase();
  }
  void TearDown() override {
    if (program_.options) delete program_.options.data();
    program_.form.reset();
    CloseClaimantDatabase();
    SetMessageBoxService(old_boxes_);
    SetFileDialogService(old_dialogs_);
    setenv("XDG_CONFIG_HOME", (TestHome() / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (TestHome() / "data").c_str(), 1);
    unsetenv("TARNBY_SAMPLE_DIR");
    std::error_code ec;
    fs::remove_all(home_, ec);
  }

  std::string WriteSettings(const std::string& database) {
    const fs::path ini = home_ / "site.ini";
    std::ofstream out(ini);
    out << "[DustModel]\nDustDatabase=" << DustDatabasePath() << "\n[Data]\nDatabase=" << database
        << "\n";
    return ini.string();
  }

  std::string All() const {
    std::string all;
    for (const MessageBoxRequest& r : boxes_->shown) all += r.prompt + "\n";
    return all;
  }
  std::vector<std::string> Prompts() const {
    std::vector<std::string> p;
    for (const MessageBoxRequest& r : boxes_->shown) p.push_back(r.prompt);
    return p;
  }

  fs::path home_;
  Program program_;
  std::shared_ptr<ScriptedMessageBox> boxes_ = std::make_shared<ScriptedMessageBox>();
  std::shared_ptr<ScriptedFileDialog> dialogs_ = std::make_shared<ScriptedFileDialog>();

 private:
  std::shared_ptr<MessageBoxService> old_boxes_;
  std::shared_ptr<FileDialogService> old_dialogs_;
};

TEST_F(StartUpTest, MissingSettingsFileIsReportedAndTheOptionsScreenShows) {
  const std::string missing = (home_ / "absent.ini").string();
  program_ = Main("  " + missing + "  ");
  const std::vector<std::string> p = Prompts();
  ASSERT_EQ(p.size(), 3u) << All();
  EXPECT_EQ(p[0], "Cannot find INI file " + missing);
  // The defaults are in use already: no "not found - using default" box
  // naming the same file twice; the set-up names the missing database.
  EXPECT_EQ(p[1], "Cannot locate Claimant Data Database file " + DefaultClaimantDatabase() +
                      "\nUse menu Tools/Options to set the true location of the file");
  EXPECT_EQ(p.back(),
            "An error in setting up the claimant information database means that the program "
            "cannot load.\nYou may want to check configuration settings - options screen will now "
            "show");
  EXPECT_EQ(boxes_->shown.back().style, mb::kCritical);
  EXPECT_EQ(program_.form, nullptr);
  // The settings were written back, creating the file.
  EXPECT_TRUE(fs::exists(missing));
}

TEST_F(StartUpTest, MissingClaimantDatabaseFallsBackToTheDefault) {
  fs::create_directories(DataFolder());
  CreateClaimantDatabase(DefaultClaimantDatabase());
  const std::string gone = (home_ / "gone.db").string();
  program_ = Main(WriteSettings(gone));
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(Prompts()[0], "Warning - claimant database " + gone + " not found - using default " +
                              DefaultClaimantDatabase());
  EXPECT_EQ(boxes_->shown[0].title, "Warning");
  EXPECT_EQ(boxes_->shown[0].style, mb::kInformation);
  ASSERT_NE(program_.form, nullptr);
  EXPECT_TRUE(program_.form->isVisible());
  EXPECT_EQ(Settings.Database, DefaultClaimantDatabase());
}

TEST_F(StartUpTest, LevelZeroDatabaseIsUpgradedAfterOneQuestionAndABackup) {
  const std::string path = (home_ / "old.db").string();
  CreateClaimantDatabase(path, 0);
  boxes_->answers = {mb::kYes};
  FileDialogAnswer backup;
  backup.result = 1;
  backup.files = {(home_ / "old-backup.db").string()};
  dialogs_->answers = {backup};
  program_ = Main(WriteSettings(path));
  ASSERT_EQ(boxes_->shown.size(), 1u) << All();
  EXPECT_EQ(boxes_->shown[0].title, "Claimant Data Database Update");
  EXPECT_EQ(dialogs_->shown.size(), 1u);
  EXPECT_TRUE(fs::exists(home_ / "old-backup.db"));
  ASSERT_NE(program_.form, nullptr);
  EXPECT_TRUE(program_.form->isVisible());
  EXPECT_EQ(StructureLevel(*ClaimantDatabase), kLatestStructureLevel);
}

TEST_F(StartUpTest, RefusedUpgradeLeavesTheOptionsScreenAlone) {
  const std::string path = (home_ / "old.db").string();
  CreateClaimantDatabase(path, 0);
  boxes_->answers = {mb::kNo};
  program_ = Main(WriteSettings(path));
  const std::vector<std::string> p = Prompts();
  ASSERT_GE(p.size(), 3u);
  EXPECT_EQ(p[1],
            "Failed to update the claimant database to the latest structure. You could try "
            "exiting program and re-entering");
  EXPECT_EQ(program_.form, nullptr);
  EXPECT_EQ(p.back(),
            "An error in setting up the claimant information database means that the program "
            "cannot load.\nYou may want to check configuration settings - options screen will now "
            "show");
}

TEST_F(StartUpTest, AnEngineThatCannotStartLeavesTheOptionsScreenAlone) {
  const std::string claimants = (home_ / "claims.db").string();
  CreateClaimantDatabase(claimants);
  const fs::path not_dust = home_ / "notdust.db";
  std::ofstream(not_dust) << "this is not a database";
  const fs::path ini = home_ / "engine.ini";
  std::ofstream(ini) << "[DustModel]\nDustDatabase=" << not_dust.string()
                     << "\n[Data]\nDatabase=" << claimants << "\n";
  program_ = Main(ini.string());
  const std::vector<std::string> p = Prompts();
  ASSERT_EQ(p.size(), 2u) << All();
  EXPECT_TRUE(p[0].starts_with(
      "An error occurred while: \nSetting dust engine object database to: " + not_dust.string()))
      << p[0];
  EXPECT_EQ(p[1],
            "An error in setting up Dust Calculation Engine means that the program cannot load.\n"
            "You may want to check configuration settings - options screen will now show");
  EXPECT_EQ(boxes_->shown[1].title, "Tarnby Error");
  EXPECT_EQ(program_.form, nullptr);
  EXPECT_TRUE(EngineSetupFailed);
}

TEST_F(StartUpTest, FirstStartWithEmptyFoldersShowsTheMainWindowAndNoBox) {
  const fs::path sample = home_ / "sample";
  fs::create_directories(sample);
  fs::copy_file(DustDatabasePath(), sample / "DUSTDATA.db");
  CreateClaimantDatabase((sample / "TARNBY.db").string());
  setenv("TARNBY_SAMPLE_DIR", sample.c_str(), 1);
  program_ = Main("");
  EXPECT_TRUE(boxes_->shown.empty()) << All();
  ASSERT_NE(program_.form, nullptr);
  EXPECT_TRUE(program_.form->isVisible());
  EXPECT_EQ(program_.form->windowTitle(), "Tarnby Dust Exposure Model Data Entry");
  EXPECT_TRUE(fs::exists(DefaultSettingsFile()));
}

// The splash stays above other windows: a box of the start-up that came
// while it was up would be hidden behind it, so every box puts it away.
TEST_F(StartUpTest, ABoxOfTheStartUpIsNotHiddenBehindTheSplash) {
  class SplashWatch : public MessageBoxService {
   public:
    int32_t Show(const MessageBoxRequest&) override {
      int visible = 0;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("orv::tarnby::frmSplash") && w->isVisible()) ++visible;
      splash_seen.push_back(visible);
      return mb::kOk;
    }
    std::vector<int> splash_seen;
  };
  auto watch = std::make_shared<SplashWatch>();
  SetMessageBoxService(watch);
  program_ = Main((home_ / "absent.ini").string());
  SetMessageBoxService(boxes_);
  ASSERT_GE(watch->splash_seen.size(), 2u);
  for (int visible : watch->splash_seen) EXPECT_EQ(visible, 0);
}

// Either database damaged, not a database, of the other kind or with a
// stored query changed: the error box names the file (or the query), the
// program does not load, nothing is asked or backed up, the file is as it was.
TEST_F(StartUpTest, ASpoiltDatabaseTakesTheErrorPathAndIsLeftAsItWas) {
  const std::string claimants = (home_ / "claims.db").string();
  CreateClaimantDatabase(claimants);
  struct Side {
    const char* what;
    orv::test::Spoiling spoiling;
    bool dust;
  };
  const Side sides[] = {
      {"claimants", {claimants, "", DustDatabasePath(), "qdclaimant", "CLAIMANT"}, false},
      {"dust data",
       {DustDatabasePath(), orv::DustDataConnect(), claimants, "qDustMatrixData", "DUSTMATRIX"},
       true},
  };
  for (const Side& side : sides) {
    const fs::path folder = home_ / (side.dust ? "dust" : "claimants");
    fs::create_directories(folder);
    for (const orv::test::SpoiltFile& f : orv::test::SpoilCopies(side.spoiling, folder.string())) {
      SCOPED_TRACE(std::string(side.what) + ", " + f.kind);
      const std::string before = orv::test::FileBytes(f.path);
      boxes_->shown.clear();
      const fs::path ini = home_ / "spoilt.ini";
      std::ofstream(ini) << "[DustModel]\nDustDatabase=" << (side.dust ? f.path : DustDatabasePath())
                         << "\n[Data]\nDatabase=" << (side.dust ? claimants : f.path) << "\n";
      program_ = Main(ini.string());
      const std::vector<std::string> p = Prompts();
      ASSERT_EQ(p.size(), 2u) << All();
      const std::string first_line =
          side.dust ? "An error occurred while: \nSetting dust engine object database to: " + f.path
          : f.tampered ? "An error occurred while: \nInitialising claimant information records"
                       : "An error occurred while: \nOpening database " + f.path;
      EXPECT_TRUE(p[0].starts_with(first_line + "\nError detail: ")) << p[0];
      EXPECT_NE(p[0].find("'" + f.path + "'"), std::string::npos) << p[0];
      if (f.tampered) {
        EXPECT_NE(p[0].find("'" + side.spoiling.query + "'"), std::string::npos) << p[0];
      }
      EXPECT_TRUE(p[1].starts_with(side.dust ? "An error in setting up Dust Calculation Engine"
                                             : "An error in setting up the claimant information"))
          << p[1];
      EXPECT_EQ(program_.form, nullptr);
      if (!side.dust) {
        EXPECT_EQ(ClaimantDatabase, nullptr);
      }
      EXPECT_TRUE(dialogs_->shown.empty());
      EXPECT_EQ(orv::test::FileBytes(f.path), before);
      if (!f.attached.empty()) {
        EXPECT_FALSE(fs::exists(f.attached));
      }
      if (program_.options) delete program_.options.data();
      program_ = Program{};
      CloseClaimantDatabase();
    }
  }
}

// A claimant database on a server that cannot be reached, or named with a
// password (which the program refuses to use), takes the path of a database
// that cannot be opened: the box names the server and database, never the
// password, and the options screen shows alone. The URI stays the setting
// (no fallback to a file), written without its password.
TEST_F(StartUpTest, AServerThatCannotBeOpenedIsNamedAndTheOptionsScreenShows) {
  const std::string socket = (home_ / "no-server").string();
  struct Case {
    std::string uri;
    std::string kept;
    const char* why;
  };
  const Case cases[] = {
      {"postgresql:///claims?host=" + socket, "postgresql:///claims?host=" + socket,
       "the server cannot be reached"},
      {"postgresql://clerk:Hunter22@/claims?host=" + socket + "&password=Hunter22",
       "postgresql://clerk@/claims?host=" + socket, "holds a password"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    boxes_->shown.clear();
    const std::string ini = WriteSettings(c.uri);
    program_ = Main(ini);
    const std::vector<std::string> p = Prompts();
    ASSERT_EQ(p.size(), 2u) << All();
    EXPECT_TRUE(p[0].starts_with("An error occurred while: \nOpening the database 'claims' on "
                                 "the server '" +
                                 socket + "'\nError detail: "))
        << p[0];
    EXPECT_NE(p[0].find(c.why), std::string::npos) << p[0];
    EXPECT_EQ(p[1],
              "An error in setting up the claimant information database means that the program "
              "cannot load.\nYou may want to check configuration settings - options screen will "
              "now show");
    EXPECT_EQ(All().find("Hunter22"), std::string::npos) << All();
    EXPECT_EQ(program_.form, nullptr);
    ASSERT_NE(program_.options, nullptr);
    EXPECT_EQ(Settings.Database, c.uri);
    std::ifstream in(ini);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(written.find("Database=" + c.kept + "\n"), std::string::npos) << written;
    EXPECT_EQ(written.find("Hunter22"), std::string::npos) << written;
    delete program_.options.data();
    program_ = Program{};
  }
}

// A server database two levels behind (19) starts as a file's does: one
// question, the backup (a pg_dump archive), the upgrade, the main window.
TEST_F(StartUpTest, AServerDatabaseAtLevelNineteenIsUpgradedAfterOneQuestionAndABackup) {
  const std::string uri = orv::testing::NewServerDatabase("m_start_level19");
  CreateClaimantDatabase(uri, 19);
  boxes_->answers = {mb::kYes};
  FileDialogAnswer backup;
  backup.result = 1;
  backup.files = {(home_ / "claims-backup.dump").string()};
  dialogs_->answers = {backup};
  program_ = Main(WriteSettings(uri));
  ASSERT_EQ(boxes_->shown.size(), 1u) << All();
  EXPECT_EQ(boxes_->shown[0].title, "Claimant Data Database Update");
  EXPECT_GT(fs::file_size(home_ / "claims-backup.dump"), 0u);
  ASSERT_NE(program_.form, nullptr);
  EXPECT_TRUE(program_.form->isVisible());
  EXPECT_EQ(StructureLevel(*ClaimantDatabase), kLatestStructureLevel);
  EXPECT_TRUE(ClaimantDatabase->TableExists("USERFACTOR"));
  program_.form.reset();
  CloseClaimantDatabase();
  orv::testing::ServerAdmin("DROP DATABASE IF EXISTS m_start_level19 WITH (FORCE)");
}

}  // namespace
}  // namespace orv::tarnby::test
