// Histories the calculation refuses, with the message the host is given,
// and the failures it raises instead.
#include <gtest/gtest.h>

#include "CalcFixture.h"
#include "IMakeMatrix.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "Registry.h"
#include "TestDustData.h"

namespace orv::dust::calctest {
namespace {

class Refused : public CalcFixture {};

TEST_F(Refused, EachRuleWithItsMessage) {
  struct Case {
    std::vector<HistoryJob> jobs;
    const char* message;
  };
  const Case cases[] = {
      {{Job(101, 1960, 1965, 1, 1), Job(102, 1964, 1968, 1, 1)},
       "Work history overlap for colliery Bexley Colliery"},
      {{Job(0, 1960, 1962, 1, 1)}, "Job found without colliery"},
      {{Job(101, 1965, 1960, 1, 1)}, "Entry for colliery Ashby Main has invalid start/end years"},
      {{Job(101, 0, 1960, 1, 1)}, "Entry for colliery Ashby Main has invalid start/end years"},
      {{Job(104, 1963, 1966, 1, 1)}, "No Dust Matrix entry for colliery Dunmore in 1965"},
      {{Job(105, 1961, 1962, 1, 1)}, "No tortious percentage entry for colliery Eskdale in 1961"},
      {{Job(102, 1961, 1962, 3, 1)},
       "Surface marker for Job Factor (Y) does not match marker for Respirator Factor (N)"},
      {{Job(101, 1961, 1962, 1, 1, "Pit")},
       "If you are giving the name of a non NCB/BC Small Mine then you must use the Small Mine "
       "Area Averages for the colliery"},
      {{Job(904, 1961, 1962, 1, 5, "Pit")},
       "You must use the small mines job factor for all work in small mines"},
      {{Job(904, 1961, 1962, 20, 1, "Pit")},
       "You must use the small mines or respirator worn respirator factor for all work in small "
       "mines"},
      {{Job(101, 1961, 1962, 6, 1)},
       "If using the special strike job or respirator factor both the Job and Respirator factor "
       "must be set to the same value"},
      {{Job(101, 1961, 1961, 7, 1)},
       "If using the special job break job or respirator factor both the Job and Respirator "
       "factor must be set to the same value"},
      {{Job(101, 1961, 1962, 7, 7)},
       "The job break option can only be used for single years (start year = end year)"},
      {{Job(105, 1961, 1962, 9, 8)},
       "If using the special no data job or respirator factor both the Job and Respirator factor "
       "must be set to the same value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_FALSE(Run(c.jobs));
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0], c.message);
    ASSERT_FALSE(lines_.empty());
    EXPECT_EQ(lines_.back(), std::string("ERROR: ") + c.message);
  }
}

// A single job break year is accepted and counts nothing.
TEST_F(Refused, SingleJobBreakYearIsAccepted) {
  ASSERT_TRUE(Run({Job(101, 1961, 1961, 7, 7)}));
  EXPECT_FLOAT_EQ(model_->ActualYearsWorked(), 0);
}

TEST_F(Refused, MessageBoxModeShowsTheReason) {
  auto boxes = std::make_shared<orv::ScriptedMessageBox>();
  auto previous = orv::SetMessageBoxService(boxes);
  model_->SetErrorMode(orvShowMsg);
  EXPECT_FALSE(Run({Job(0, 1960, 1962, 1, 1)}));
  orv::SetMessageBoxService(previous);
  EXPECT_TRUE(errors_.empty());
  ASSERT_EQ(boxes->shown.size(), 1u);
  EXPECT_EQ(boxes->shown[0].prompt, "Job found without colliery");
  EXPECT_EQ(boxes->shown[0].style, orv::mb::kCritical);
  EXPECT_EQ(boxes->shown[0].title, "Dust Model Error");
  EXPECT_EQ(lines_.back(), "ERROR: Job found without colliery");
}

TEST(DustModelFailures, RunTimeFailureReachesTheHost) {
  // With PctPrevCat1 0 the dust insult conversion divides by zero.
  DustModel model;
  model.SetDustDatabase(HandDbWith({{"PctPrevCat1", "0"}}));
  model.SetOutputOption(orvNoOutput);
  auto jobs = std::make_shared<colCoalJobs>();
  jobs->Add({}, 1, 1, {}, 101, {}, 1961, 1962);
  model.SetCoalJobCollection(jobs);
  model.SetSmokeHistoryCollection(std::make_shared<colSmokeEntry>());
  try {
    (void)model.Calculate();
    FAIL() << "no failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 11);
    EXPECT_EQ(e.Description(), "Division by zero");
    EXPECT_EQ(e.Source(), "DustModel:Calculate - Division by zero");
  }
}

TEST(DustModelFailures, CalculateWithoutCollections) {
  DustModel model;
  model.SetDustDatabase(HandDb());
  model.SetOutputOption(orvNoOutput);
  try {
    (void)model.Calculate();
    FAIL() << "no failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 91);
    EXPECT_EQ(e.Source(), "DustModel:Calculate - " + e.Description());
  }
}

TEST(DustModelFailures, DustDatabaseThatCannotBeOpened) {
  DustModel model;
  try {
    model.SetDustDatabase("/no/such/folder/DUSTDATA.db");
    FAIL() << "no failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 53 + orv::kComponentErrorBase);
    EXPECT_EQ(e.Source(), "DustModel:Property Let DustDatabase");
  }
}

class RefusingExpansion : public orv::Component, public orv::IMakeMatrix {
 public:
  std::string ClassName() const override { return "OrvDustM.MakeMatrix"; }
  bool MakeMatrix(const std::string&, const std::string&, int16_t, int16_t, int16_t,
                  int16_t) override {
    return false;
  }
  bool MakeMatrixPastClosure(const std::string&, const std::string&, int16_t, int16_t, int16_t,
                             int16_t, int16_t) override {
    return false;
  }
};

TEST(DustModelFailures, DustDatabaseWhoseExpansionFails) {
  ScratchDir dir;
  const std::string db = dir.File("DUSTDATA.db");
  orv::dust::test::BuildUnexpanded(db);
  orv::RegisterFactory("OrvDustM.MakeMatrix", [] { return std::make_shared<RefusingExpansion>(); });
  DustModel model;
  try {
    model.SetDustDatabase(db);
    ADD_FAILURE() << "no failure";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), orv::err::kInvalidPropertyValue);
    EXPECT_EQ(e.Description(), "Invalid property value");
    EXPECT_EQ(e.Source(), "DustModel:Property Let DustDatabase");
  }
  orv::RegisterFactory("OrvDustM.MakeMatrix", {});
}

}  // namespace
}  // namespace orv::dust::calctest
