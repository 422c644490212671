// Expansion of a new database's matrix through a stand-in expansion
// component, then compaction under a temporary name and reopening.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Database.h"
#include "DustDataPassword.h"
#include "IMakeMatrix.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "Registry.h"
#include "TestDustData.h"
#include "ToolRun.h"
#include "modGlobals.h"

namespace orv::dust {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr const char* kExpansion = "OrvDustM.MakeMatrix";

// What the stand-in was asked and how it answers.
struct ExpansionScript {
  bool answer = true;
  bool mark_ready = true;  // set MatrixReady to 1 in the file
  int calls = 0;
  std::string db_name, db_pass;
  int16_t years[5] = {};
};

class StandInExpansion : public Component, public IMakeMatrix {
 public:
  explicit StandInExpansion(ExpansionScript& s) : s_(s) {}
  std::string ClassName() const override { return kExpansion; }
  bool MakeMatrix(const std::string& n, const std::string& p, int16_t a, int16_t b, int16_t c,
                  int16_t d) override {
    return MakeMatrixPastClosure(n, p, a, b, c, d, 0);
  }
  bool MakeMatrixPastClosure(const std::string& n, const std::string& p, int16_t a, int16_t b,
                             int16_t c, int16_t d, int16_t e) override {
    ++s_.calls;
    s_.db_name = n;
    s_.db_pass = p;
    const int16_t y[5] = {a, b, c, d, e};
    std::copy(y, y + 5, s_.years);
    if (s_.mark_ready)
      test::EditDb(n, {{"UPDATE PARMS SET PARMVALUE = '1' WHERE PARM = 'MatrixReady'", {}}});
    return s_.answer;
  }

 private:
  ExpansionScript& s_;
};

ino_t Inode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class Expansion : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFactory(kExpansion, [this] { return std::make_shared<StandInExpansion>(script_); });
    previous_box_ = SetMessageBoxService(boxes_);
    db_ = fs::absolute(dir_.File("DUST.db")).string();
    test::BuildUnexpanded(db_);
    inode_ = Inode(db_);
  }
  void TearDown() override {
    RegisterFactory(kExpansion, nullptr);
    SetMessageBoxService(previous_box_);
    SetFreeSpaceProbe(nullptr);
  }
  void Take(int suffix) { std::ofstream(db_ + std::to_string(suffix)) << "taken"; }
  bool Compacted() const { return Inode(db_) != inode_; }

  TempDir dir_;
  std::string db_;
  ino_t inode_ = 0;
  ExpansionScript script_;
  std::shared_ptr<ScriptedMessageBox> boxes_ = std::make_shared<ScriptedMessageBox>();
  std::shared_ptr<MessageBoxService> previous_box_;
};

TEST_F(Expansion, ExpandsOnceCompactsUnderSuffixOneAndReopens) {
  ASSERT_TRUE(SetupDataDB(db_));
  EXPECT_EQ(script_.calls, 1);
  EXPECT_EQ(script_.db_name, db_);
  EXPECT_EQ(script_.db_pass, kDustDataPassword);
  const int16_t expected[5] = {1947, DefEndYear(), 1947, 2005, 5};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(script_.years[i], expected[i]) << i;
  EXPECT_TRUE(Compacted());
  EXPECT_FALSE(fs::exists(db_ + "1"));
  EXPECT_EQ(Parms().MatrixReady, 1);  // read again from the compacted file
  EXPECT_EQ(DataDBName(), db_);
  EXPECT_TRUE(DataReady());
  EXPECT_TRUE(boxes_->shown.empty());
}

TEST_F(Expansion, UsesTheFirstFreeSuffix) {
  Take(1);
  Take(2);
  Take(4);
  ASSERT_TRUE(SetupDataDB(db_));
  EXPECT_TRUE(Compacted());
  EXPECT_FALSE(fs::exists(db_ + "3"));
  for (int n : {1, 2, 4}) EXPECT_EQ(fs::file_size(db_ + std::to_string(n)), 5u) << n;
  EXPECT_EQ(Parms().MatrixReady, 1);
}

TEST_F(Expansion, TenTakenNamesSkipTheCompactionWithAWarning) {
  for (int n = 1; n <= 10; ++n) Take(n);
  ASSERT_TRUE(SetupDataDB(db_));
  EXPECT_FALSE(Compacted());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].title, "Warning");
  EXPECT_EQ(boxes_->shown[0].style, mb::kInformation);
  EXPECT_EQ(boxes_->shown[0].prompt,
            "Unable to compact the PXR data database as there are too many copies of the PXR "
            "database " +
                db_);
  EXPECT_TRUE(DataReady());
  EXPECT_EQ(script_.calls, 1);
}

TEST_F(Expansion, TooLittleDiskSpaceSkipsTheCompactionWithAWarning) {
  SetFreeSpaceProbe([](const std::string&) -> uintmax_t { return 0; });
  ASSERT_TRUE(SetupDataDB(db_));
  EXPECT_FALSE(Compacted());
  ASSERT_EQ(boxes_->shown.size(), 1u);
  EXPECT_EQ(boxes_->shown[0].prompt,
            "Unable to compact the PXR data database as there is not enough disk space");
}

TEST_F(Expansion, FailureReportedByTheExpansionLeavesTheConnectionNotReady) {
  script_.answer = false;
  script_.mark_ready = false;
  test::OnFreshThread([&] {
    EXPECT_FALSE(SetupDataDB(db_));
    EXPECT_FALSE(DataReady());
  });
  EXPECT_FALSE(Compacted());
}

TEST_F(Expansion, AnExpansionThatLeavesTheMatrixUnreadyStopsAfterOneCycle) {
  script_.mark_ready = false;
  try {
    (void)SetupDataDB(db_);
    FAIL() << "expected a failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), kComponentErrorBase + 5);
    EXPECT_EQ(e.Source(), "SetupDataDB: Checking/Filling PXR Matrix");
  }
  EXPECT_EQ(script_.calls, 1);
}

db::CompactStep g_stop_at = db::CompactStep::kCopied;

// A program stopped at any step of the compaction after an expansion leaves
// a whole expanded database under the file's name: the next start opens it
// without expanding again.
TEST_F(Expansion, AProgramStoppedWhileCompactingLeavesAnExpandedFile) {
  for (db::CompactStep step : {db::CompactStep::kCopied, db::CompactStep::kModeKept,
                               db::CompactStep::kFlushed, db::CompactStep::kRenamed}) {
    SCOPED_TRACE(static_cast<int>(step));
    const std::string file =
        fs::absolute(dir_.File("STOPPED" + std::to_string(static_cast<int>(step)) + ".db"))
            .string();
    test::BuildUnexpanded(file);
    g_stop_at = step;
    ASSERT_EQ(orv::test::RunInChild([&] {
                db::SetCompactStepHook([](db::CompactStep s) {
                  if (s == g_stop_at) _exit(42);
                });
                (void)SetupDataDB(file);
              }),
              42);
    ASSERT_TRUE(fs::exists(file));
    test::OnFreshThread([&] {
      ASSERT_TRUE(SetupDataDB(file));
      EXPECT_EQ(Parms().MatrixReady, 1);
    });
    EXPECT_EQ(script_.calls, 0);  // the child's expansion stands
  }
}

// The expansion cannot be created (as when its library is missing): the
// registry's 429 reaches the caller above the component base, with the step.
TEST_F(Expansion, AnExpansionThatCannotBeCreatedIsPassedOnWithTheLoadingStep) {
  RegisterFactory(kExpansion, [] { return ComponentPtr{}; });
  try {
    (void)SetupDataDB(db_);
    FAIL() << "expected a failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), kComponentErrorBase + 429);
    EXPECT_EQ(e.Source(), "SetupDataDB: Checking/Filling PXR Matrix");
    EXPECT_NE(e.Description().find(kExpansion), std::string::npos) << e.Description();
  }
}

}  // namespace
}  // namespace orv::dust
