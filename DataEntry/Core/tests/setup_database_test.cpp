// SetupDatabase as the program's start-up runs it: the question, the backup,
// the upgrade, and the queries and recordsets it leaves open.
#include "CoreTest.h"

namespace orv::tarnby::testing {
namespace {

class SetupDatabaseTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    Settings.Database = PathOf("TARNBY.db");
  }

  void CreateAt(int16_t level) {
    CreateClaimantDatabase(Settings.Database, level);
    auto d = db::OpenDatabase(Settings.Database);
    d->Execute("INSERT INTO CLAIMANT (SURNAME, FIRSTNAME) VALUES ('Hardy', 'Tom')");
    d->Close();
  }

  int16_t LevelOnFile() {
    auto d = db::OpenDatabase(Settings.Database);
    const int16_t level = StructureLevel(*d);
    d->Close();
    return level;
  }
};

TEST_F(SetupDatabaseTest, LatestLevelOpensWithNoQuestionAndNoBackup) {
  CreateAt(kLatestStructureLevel);
  ASSERT_TRUE(SetupDatabase());
  EXPECT_TRUE(boxes_->shown.empty());
  EXPECT_TRUE(dialogs_->shown.empty());
  ASSERT_TRUE(rsClaimant);
  EXPECT_FALSE(rsClaimant->IsEOF());
  EXPECT_EQ(rsClaimant->Field("SURNAME").AsText(), "Hardy");
  EXPECT_TRUE(rsWork->IsEOF());
  EXPECT_EQ(qdclaimant->Parameter("WHATNAME").AsText(), "*");
  EXPECT_EQ(qdSmokeEntry->Parameter("WHATID").AsInt32(), 0);
  EXPECT_FALSE(ClaimantDatabase->ReadOnly());

  // The recordsets are the editing screens' dynasets: they take edits and
  // new rows.
  rsClaimant->Edit();
  rsClaimant->SetField("FIRSTNAME", Value("Thomas"));
  rsClaimant->Update();
  rsWork->AddNew();
  rsWork->SetField("CLAIMANTID", rsClaimant->Field("ID"));
  rsWork->SetField("COLLIERYID", Value(1001));
  rsWork->SetField("STARTYEAR", Value(1950));
  rsWork->Update();
  qdWork->SetParameter("WHATCLAIMANTID", rsClaimant->Field("ID"));
  rsWork->Requery(qdWork.get());
  EXPECT_EQ(rsWork->RecordCount(), 1);
  rsClaimant->Requery(qdclaimant.get());
  EXPECT_EQ(rsClaimant->Field("FIRSTNAME").AsText(), "Thomas");
}

// A file the previous program version left at level 20 gains the stored
// results' fingerprint after one question and one backup, its claimants kept.
TEST_F(SetupDatabaseTest, LevelTwentyIsUpgradedAfterOneQuestionAndOneBackup) {
  CreateAt(20);
  boxes_->answers = {mb::kYes};
  ChooseFile(PathOf("saved20.db"));
  ASSERT_TRUE(SetupDatabase());
  EXPECT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(dialogs_->shown.size(), 1u);
  EXPECT_EQ(LevelOnFile(), kLatestStructureLevel);
  EXPECT_EQ(rsClaimant->Field("SURNAME").AsText(), "Hardy");
  EXPECT_TRUE(rsClaimant->Field("CALCFINGERPRINT").IsNull());
}

TEST_F(SetupDatabaseTest, LevelZeroIsUpgradedAfterOneQuestionAndOneBackup) {
  CreateAt(0);
  boxes_->answers = {mb::kYes};
  const std::string backup = PathOf("saved.db");
  ChooseFile(backup);
  ASSERT_TRUE(SetupDatabase());

  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].title, "Claimant Data Database Update");
  EXPECT_EQ(boxes_->shown[0].style, mb::kQuestion | mb::kYesNo | 256);
  EXPECT_EQ(boxes_->shown[0].prompt.rfind("Warning the claimant data database structure needs "
                                          "updating.\nIf there are other users",
                                          0),
            0u);
  ASSERT_EQ(dialogs_->shown.size(), 1u);
  const FileDialogRequest& req = dialogs_->shown[0];
  EXPECT_EQ(req.kind, FileDialogRequest::Kind::kSave);
  EXPECT_EQ(req.title, "Backup claimant database");
  EXPECT_EQ(req.default_extension, "db");
  ASSERT_EQ(req.filters.size(), 1u);
  EXPECT_EQ(req.filters[0].first, "Databases (*.db)");
  EXPECT_EQ(req.file_name.rfind(PathOf("TARNBYBackup"), 0), 0u);

  // The backup is the file as it was: level 0, with its claimant.
  auto copy = db::OpenDatabase(backup);
  EXPECT_EQ(StructureLevel(*copy), 0);
  EXPECT_EQ(copy->OpenRecordset("CLAIMANT", db::RecordsetType::Snapshot)->RecordCount(), 1);
  copy->Close();

  EXPECT_EQ(StructureLevel(*ClaimantDatabase), kLatestStructureLevel);
  for (const char* t : {"PENSIONDATA", "PENSIONRESULTS", "USERFACTOR"}) {
    EXPECT_TRUE(ClaimantDatabase->TableExists(t)) << t;
  }
  EXPECT_EQ(rsClaimant->Field("FIRSTNAME").AsText(), "Tom");
  EXPECT_EQ(rsClaimant->Field("SEX").AsText(), "Male");
}

TEST_F(SetupDatabaseTest, RefusedQuestionOrCancelledBackupLeavesTheFileUnchanged) {
  struct Case {
    int32_t answer;
    bool choose_file;
  } cases[] = {{mb::kNo, false}, {mb::kYes, false}};
  for (const Case& c : cases) {
    std::filesystem::remove(Settings.Database);
    CreateAt(12);
    const std::string before = ReadFile(Settings.Database);
    boxes_->shown.clear();
    boxes_->answers = {c.answer};
    UpdateConfirmed = false;
    EXPECT_FALSE(SetupDatabase());
    EXPECT_EQ(ReadFile(Settings.Database), before);
    EXPECT_EQ(LevelOnFile(), 12);
    ASSERT_EQ(boxes_->shown.size(), 2u);
    EXPECT_EQ(boxes_->shown[1].prompt,
              "Failed to update the claimant database to the latest structure. You could try "
              "exiting program and re-entering");
    EXPECT_EQ(boxes_->shown[1].title, "Dust Exposure Caculator");
    EXPECT_FALSE(ClaimantDatabase);
  }
}

TEST_F(SetupDatabaseTest, MissingFileIsReportedWithItsPath) {
  EXPECT_FALSE(SetupDatabase());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt, "Cannot locate Claimant Data Database file " +
                                         Settings.Database +
                                         "\nUse menu Tools/Options to set the true location of "
                                         "the file");
  EXPECT_EQ(boxes_->shown[0].style, mb::kCritical);
}

TEST_F(SetupDatabaseTest, ABadBaseVersionIsReportedUnderTheOpeningStep) {
  CreateAt(20);
  {
    auto d = db::OpenDatabase(Settings.Database);
    d->Execute("DROP TABLE PARMS");
    d->Close();
  }
  EXPECT_FALSE(SetupDatabase());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  const std::string& text = boxes_->shown[0].prompt;
  EXPECT_EQ(text.rfind("An error occurred while: \nOpening database " + Settings.Database +
                           "\nError detail: 0x80040320(800): ",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("Source: modTarnbyDatabase:UpdateDataBase"), std::string::npos) << text;
}

TEST_F(SetupDatabaseTest, AnotherUserHoldingTheFileExclusivelyMakesSetupFail) {
  CreateAt(20);
  db::OpenOptions exclusive;
  exclusive.exclusive = true;
  auto other = db::OpenDatabase(Settings.Database, exclusive);
  EXPECT_FALSE(SetupDatabase());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_NE(boxes_->shown[0].prompt.find("Number: 3051"), std::string::npos)
      << boxes_->shown[0].prompt;
  other->Close();
}

TEST_F(SetupDatabaseTest, AnotherUserOpenDuringTheUpgradeRefusesItAndTheFileStaysAsItWas) {
  CreateAt(5);
  auto other = db::OpenDatabase(Settings.Database);  // another user's program, idle
  boxes_->answers = {mb::kYes};
  ChooseFile(PathOf("saved.db"));
  EXPECT_FALSE(SetupDatabase());
  ASSERT_EQ(boxes_->shown.size(), 2u);
  EXPECT_EQ(boxes_->shown[1].prompt.rfind("An error occurred while: \nOpening database ", 0), 0u);
  EXPECT_NE(boxes_->shown[1].prompt.find("Number: 3051"), std::string::npos)
      << boxes_->shown[1].prompt;
  EXPECT_EQ(StructureLevel(*other), 5);
  other->Close();
}

// The backup dialog never offers to replace a file: a name that is taken is
// kept as it is and asked for again, offering a free name, until the user
// gives a free one or cancels.
TEST_F(SetupDatabaseTest, TheBackupDialogAsksAgainForATakenNameAndNeverReplacesIt) {
  CreateAt(0);
  const std::string taken = DefaultBackupName(PathOf("TARNBY.db"), Clock::now());
  WriteFile(taken, "an earlier backup");
  const std::string free_name = PathOf("fresh.db");
  for (const bool then_free : {false, true}) {
    SCOPED_TRACE(then_free ? "then a free name" : "then cancelled");
    dialogs_->shown.clear();
    ChooseFile(taken);
    if (then_free) ChooseFile(free_name);
    EXPECT_EQ(BackupClaimantDatabase(PathOf("TARNBY.db")), then_free);
    EXPECT_TRUE(boxes_->shown.empty());  // no refusal afterwards
    EXPECT_EQ(ReadFile(taken), "an earlier backup");
    EXPECT_EQ(std::filesystem::exists(free_name), then_free);
    ASSERT_EQ(dialogs_->shown.size(), 2u);
    for (const FileDialogRequest& req : dialogs_->shown) EXPECT_EQ(req.flags & 2, 0);
    EXPECT_NE(dialogs_->shown[0].file_name, taken);  // the first free name is offered
    EXPECT_NE(dialogs_->shown[1].title.find(taken + " exists already"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dialogs_->shown[1].file_name));
  }
}

}  // namespace
}  // namespace orv::tarnby::testing
