// The settings file: reading with the shared file's overrides, writing,
// clsINI2's operations, the per-user folders and a new user's first start.
#include "CoreTest.h"
#include "ProfileIni.h"
#include "Text.h"
#include "clsINI2.h"

namespace orv::tarnby::testing {
namespace {

class SettingsTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    local_ = PathOf("local.ini");
    shared_ = PathOf("shared.ini");
  }
  std::string local_;
  std::string shared_;
};

TEST_F(SettingsTest, CommandLineOfBlanksMeansTheDefaultSettingsFile) {
  EXPECT_EQ(SettingsFileFromCommandLine("   "), (dir_ / "config/tarnby/TARNBY.INI").string());
  EXPECT_EQ(SettingsFileFromCommandLine(" /x/my.ini "), "/x/my.ini");
}

TEST_F(SettingsTest, DefaultsAreThePerUserFolders) {
  SetDefaultSettings();
  const std::string data = (dir_ / "data/tarnby").string();
  EXPECT_EQ(Settings.Database, data + "/TARNBY.db");
  EXPECT_EQ(Settings.DustDatabase, data + "/DUSTDATA.db");
  EXPECT_EQ(Settings.HTMLFile, data + "/ORVDUST.HTM");
  EXPECT_EQ(Settings.SystemIni, "");
}

TEST_F(SettingsTest, SharedFileOverridesAndItsMissingKeysFollowTheTable) {
  WriteFile(local_,
            "[Setup]\nSystemIni=" + shared_ +
                "\n[DustModel]\nDustDatabase=/l/dust.db\nAllowUserDefine=True\n"
                "[Data]\nDatabase=/l/claims.db\n[Output]\nDustDetail=True\nDustAutoCalc=1\n"
                "DustOutputOption=3\nHTMLFile=/l/out.htm\n");
  WriteFile(shared_, "[data]\ndatabase=/s/claims.db\n");
  ASSERT_TRUE(ReadSettings(local_));
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_EQ(Settings.Database, "/s/claims.db");      // overridden
  EXPECT_EQ(Settings.DustDatabase, "/l/dust.db");    // path keys keep the local value
  EXPECT_EQ(Settings.HTMLFile, "/l/out.htm");
  EXPECT_EQ(Settings.Jurisdiction, 0);               // absent from both
  EXPECT_FALSE(Settings.DustDetail);                 // reset by the shared file
  EXPECT_TRUE(Settings.DustChart);                   // on unless a file turns it off
  EXPECT_FALSE(Settings.DustAutoCalc);
  EXPECT_EQ(Settings.DustOutputOption, 0);
  EXPECT_FALSE(Settings.AllowUserDefine);
}

TEST_F(SettingsTest, SharedFileNamingTheLocalOneInOtherCaseIsNotReadAgain) {
  // The local file names itself, in upper case: read once, so the values it
  // gives stand and no "Cannot find" box appears for the other spelling.
  WriteFile(local_, "[Setup]\nSystemIni= " + UpperAscii(local_) +
                        "\n[Output]\nDustDetail=True\nDustChart=False\n[DustModel]\nJurisdiction=1\n");
  ASSERT_TRUE(ReadSettings(local_));
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_TRUE(Settings.DustDetail);
  EXPECT_FALSE(Settings.DustChart);
  EXPECT_EQ(Settings.Jurisdiction, 1);
}

TEST_F(SettingsTest, MissingFilesAreReportedAndTheValuesStand) {
  WriteFile(local_, "[Setup]\nSystemIni=" + shared_ + "\n[DustModel]\nJurisdiction=1\n");
  ASSERT_TRUE(ReadSettings(local_));
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt, "Cannot find INI file " + shared_);
  EXPECT_EQ(boxes_->shown[0].title, "Dust Exposure Caculator");
  EXPECT_EQ(Settings.Jurisdiction, 1);
}

TEST_F(SettingsTest, AValueThatDoesNotConvertFailsWithDetails) {
  WriteFile(local_, "[DustModel]\nJurisdiction=north\n");
  EXPECT_FALSE(ReadSettings(local_));
  ASSERT_EQ(boxes_->shown.size(), 1u);
  const std::string& text = boxes_->shown[0].prompt;
  EXPECT_EQ(text.rfind("An error occurred reading INI while: \nSetting up defaults\nError detail: "
                       "0x8004000D(13): Type mismatch\nSource: modDataEntry:SetFromINI",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("\nNumber: -2147221491"), std::string::npos) << text;
  EXPECT_EQ(CurrentStep, "Getting settings: Jurisdiction");
}

TEST_F(SettingsTest, StartWithMissingFileCreatesItWithEveryKeyButAllowUserDefine) {
  SettingsFile = PathOf("new/TARNBY.INI");
  ASSERT_TRUE(ReadSettings(SettingsFile));
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt, "Cannot find INI file " + SettingsFile);
  Settings.DustAutoCalc = true;
  ASSERT_TRUE(SaveSettings());
  clsINI2 ini;
  IniTable rows;
  ini.SetIniFileName(SettingsFile);
  std::vector<std::string> all;
  std::vector<std::string> sections;
  ASSERT_TRUE(ini.SectionList(sections));
  EXPECT_EQ(sections, (std::vector<std::string>{"Setup", "DustModel", "Data", "Output"}));
  for (const std::string& s : sections) {
    ASSERT_TRUE(ini.ReadSection(rows, s) || s == "Setup");
    for (const auto& row : rows) all.push_back(s + "/" + row.first + "=" + row.second);
  }
  const std::string data = (dir_ / "data/tarnby").string();
  EXPECT_EQ(all, (std::vector<std::string>{
                     "Setup/SystemIni=", "DustModel/DustDatabase=" + data + "/DUSTDATA.db",
                     "DustModel/Jurisdiction=0", "Data/Database=" + data + "/TARNBY.db",
                     "Output/HTMLFile=" + data + "/ORVDUST.HTM", "Output/DustOutputOption=0",
                     "Output/DustDetail=False", "Output/DustChart=True",
                     "Output/DustAutoCalc=True"}));
  // Read back, the file gives the same settings.
  const SettingsRecord saved = Settings;
  boxes_->shown.clear();
  ASSERT_TRUE(ReadSettings(SettingsFile));
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_TRUE(Settings.DustAutoCalc);
  EXPECT_EQ(Settings.Database, saved.Database);
}

TEST_F(SettingsTest, SavingKeepsCommentsAndOtherSections) {
  SettingsFile = local_;
  WriteFile(local_, "; the office's settings\r\n[frmMAIN]\r\nLeft=120\r\n[data]\r\nDATABASE=/old\r\n");
  Settings.Database = "/new/claims.db";
  ASSERT_TRUE(SaveSettings());
  const std::string text = ReadFile(local_);
  EXPECT_EQ(text.rfind("; the office's settings\r\n[frmMAIN]\r\nLeft=120\r\n[data]\r\nDatabase=/new/claims.db\r\n", 0), 0u) << text;
}

TEST_F(SettingsTest, IniFileNameMustExistUnlessToldOtherwise) {
  clsINI2 ini;
  try {
    ini.SetIniFileName(PathOf("none.ini"));
    FAIL() << "no error";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 380);
    EXPECT_EQ(e.Source(), "IniFileName");
    EXPECT_EQ(e.Description(), "Ini file " + PathOf("none.ini") + " not found");
  }
  EXPECT_THROW(ini.SetIniFileName(dir_.string()), OrvError);  // a folder is not a file
  ini.MustExist = false;
  ini.SetIniFileName(PathOf("none.ini"));
  EXPECT_EQ(ini.IniFileName(), PathOf("none.ini"));
}

TEST_F(SettingsTest, SettingTheKeyClearsTheDefault) {
  WriteFile(local_, "[S]\nk=v\n");
  clsINI2 ini;
  ini.SetIniFileName(local_);
  ini.SetSection("s");
  ini.SetDefault("dflt");
  ini.SetKey("missing");
  EXPECT_EQ(ini.Default(), "");
  EXPECT_EQ(ini.GetIni(), "");
  ini.SetDefault("dflt");
  EXPECT_EQ(ini.GetIni(), "dflt");
  EXPECT_EQ(ini.GetIniKey("", "", "K"), "v");
  EXPECT_EQ(ini.GetIniKey("", "", "other", std::string("x")), "x");
  const std::string long_value(600, 'a');
  ASSERT_TRUE(ini.PutIni(long_value));
  EXPECT_EQ(ini.GetIni(), long_value);  // no 255-character limit
}

TEST_F(SettingsTest, SectionsAreReadWrittenAndListed) {
  WriteFile(local_, "[One]\nabc\n; note\nk = v=w\n\n[Two]\nx=1\n");
  clsINI2 ini;
  ini.SetIniFileName(local_);
  IniTable rows;
  ASSERT_TRUE(ini.ReadSection(rows, "one"));
  EXPECT_EQ(rows, (IniTable{{"abc", ""}, {"k ", " v=w"}}));
  EXPECT_FALSE(ini.ReadSection(rows, "Three"));
  ini.SetSection("ONE");
  ASSERT_TRUE(ini.WriteSection({{"a", "1"}, {"b", "2"}}));
  EXPECT_EQ(ReadFile(local_), "[One]\na=1\nb=2\n\n[Two]\nx=1\n");
  ini.SetSection("Three");
  ASSERT_TRUE(ini.WriteSection({{"c", "3"}}));
  std::vector<std::string> names;
  ASSERT_TRUE(ini.SectionList(names));
  EXPECT_EQ(names, (std::vector<std::string>{"One", "Two", "Three"}));
  ini.MustExist = false;
  ini.SetIniFileName(PathOf("empty.ini"));
  EXPECT_FALSE(ini.SectionList(names));
}

TEST_F(SettingsTest, FirstStartCopiesTheSamplesAndWritesTheSettingsOnce) {
  WriteFile(PathOf("sample/TARNBY.db"), "claims");
  WriteFile(PathOf("sample/DUSTDATA.db"), "dust");
  setenv("TARNBY_SAMPLE_DIR", PathOf("sample").c_str(), 1);
  EXPECT_FALSE(FirstStartSetup(true));  // a settings file named on the command line
  EXPECT_FALSE(std::filesystem::exists(DefaultSettingsFile()));
  ASSERT_TRUE(FirstStartSetup(false));
  EXPECT_EQ(ReadFile(DefaultClaimantDatabase()), "claims");
  EXPECT_EQ(ReadFile(DefaultDustDatabase()), "dust");
  ASSERT_TRUE(ReadSettings(DefaultSettingsFile()));
  EXPECT_EQ(Settings.Database, DefaultClaimantDatabase());
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_FALSE(FirstStartSetup(false));  // only once
}

// The copies are made under names no one can foresee: a link planted under
// the database's name and a temporary suffix does not send the sample over
// another file, and the files the user ends with are the samples.
TEST_F(SettingsTest, FirstStartCopiesNeverFollowALinkPlantedBesideTheTarget) {
  WriteFile(PathOf("sample/TARNBY.db"), "claims");
  WriteFile(PathOf("sample/DUSTDATA.db"), "dust");
  setenv("TARNBY_SAMPLE_DIR", PathOf("sample").c_str(), 1);
  const std::string victim = PathOf("victim.txt");
  WriteFile(victim, "kept");
  std::filesystem::create_directories(DataFolder());
  for (const std::string& target : {DefaultClaimantDatabase(), DefaultDustDatabase()})
    std::filesystem::create_symlink(victim, target + ".part");
  ASSERT_TRUE(FirstStartSetup(false));
  EXPECT_EQ(ReadFile(victim), "kept");
  EXPECT_FALSE(std::filesystem::is_symlink(DefaultClaimantDatabase()));
  EXPECT_EQ(ReadFile(DefaultClaimantDatabase()), "claims");
  EXPECT_EQ(ReadFile(DefaultDustDatabase()), "dust");
  // Nothing of the copying is left behind in the data folder.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(DataFolder())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 4);  // the two databases and the two planted links
}

TEST(JoinWords, TrimsAndDropsEmptyParts) {
  EXPECT_EQ(JoinWords(" John ", "Smith"), "John Smith");
  EXPECT_EQ(JoinWords("Mr", "", "  ", "Smith"), "Mr Smith");
  EXPECT_EQ(JoinNonEmpty(", ", {"1 Pit Row", "", " Ashby "}), "1 Pit Row, Ashby");
  EXPECT_EQ(ErrorSource("Main"), "modDataEntry:Main");
}

}  // namespace
}  // namespace orv::tarnby::testing
