#include <gtest/gtest.h>

#include "OrvError.h"
#include "clsLiabilitySplit.h"

namespace orv::dust {
namespace {

TEST(LiabilitySplit, OwnersKeyedByTrimmedUpperCaseDescription) {
  clsLiabilitySplit split;
  split.Add("Small Mine: Lane End", 1.5f);
  split.Add("  small mine: LANE END ", 2.5f);
  split.Add("NCB/BC", 4);
  ASSERT_EQ(split.Count(), 2);
  EXPECT_EQ(split.Item(1)->Key(), "SMALL MINE: LANE END");
  EXPECT_FLOAT_EQ(split.Item(1)->TotalUnits(), 4);
  EXPECT_FLOAT_EQ(split.Total(), 8);
  split.CalculateProportions();
  EXPECT_FLOAT_EQ(split.Item("ncb/bc")->Percent(), 50);
}

TEST(LiabilitySplit, ProportionsOfATotalSetFromOutside) {
  clsLiabilitySplit split;
  split.Add("A", 1);
  split.SetTotal(3);
  split.CalculateProportions();
  EXPECT_FLOAT_EQ(split.Item(1)->Percent(), static_cast<float>(1.0 / 3.0 * 100.0));
  split.SetTotal(0);
  split.CalculateProportions();
  EXPECT_FLOAT_EQ(split.Item(1)->Percent(), 0);
  split.Clear();
  EXPECT_EQ(split.Count(), 0);
  EXPECT_FLOAT_EQ(split.Total(), 0);
}

TEST(LiabilitySplit, MissingEntryFailsWithItsSource) {
  clsLiabilitySplit split;
  try {
    (void)split.Item(1);
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), err::kSubscriptOutOfRange);
    EXPECT_EQ(e.Source(), "LiabilitySplit:Property Get Item");
  }
}

}  // namespace
}  // namespace orv::dust
