// Smoking entries and their collection on the fixture database.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OrderModel.h"
#include "OrvError.h"
#include "TestDustData.h"
#include "colSmokeEntry.h"
#include "modGlobals.h"

namespace orv::dust {
namespace {

class Smoking : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetupDataDB(test::FixtureDb())); }
  colSmokeEntry entries_;
};

TEST(SmokingBeforeConnection, CreationFailsWith9100) {
  test::OnFreshThread([] {
    try {
      SmokeEntry entry;
      ADD_FAILURE() << "created without a connection";
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), 9100);
      EXPECT_EQ(e.Description(), "Dust model database not initialised");
      EXPECT_EQ(e.Source(), "SmokeEntry:Initialize");
    }
    colSmokeEntry entries;
    try {
      entries.Add({}, 2);
      ADD_FAILURE() << "added without a connection";
    } catch (const OrvError& e) {
      EXPECT_EQ(e.Number(), 9100);
      EXPECT_EQ(e.Source(), "colSmokeEntry:Add");
    }
    EXPECT_EQ(entries.Count(), 0);
  });
}

TEST_F(Smoking, ValueNeedsTheYearsGivenFlag) {
  SmokeEntry entry;
  entry.SetStartYear(1960);
  entry.SetEndYear(1970);
  entry.SetCode(" h");
  EXPECT_EQ(entry.Code(), "H");
  EXPECT_EQ(entry.SmokeText(), "Heavy (over 20 a day)");
  EXPECT_EQ(entry.Years(), 10);
  EXPECT_FLOAT_EQ(entry.SmokeValue(), 0);  // years computed on writing, not given
  entry.SetYears(4);
  EXPECT_FLOAT_EQ(entry.SmokeValue(), 4 * 1.0f * 1.5f);
}

TEST_F(Smoking, AddedEntryComputesItsYearsWhenRead) {
  const SmokeEntryPtr e = entries_.Add({}, 0, "H", 0, 1960, 1970);
  EXPECT_EQ(e->Years(), 10);
  EXPECT_FLOAT_EQ(e->SmokeValue(), 10 * 1.0f * 1.5f);
  const SmokeEntryPtr by_id = entries_.Add({}, 2, "ignored", 6);
  EXPECT_EQ(by_id->Code(), "L");
  EXPECT_FLOAT_EQ(by_id->SmokeValue(), 3);
}

TEST_F(Smoking, YearsStayZeroWithoutBothYears) {
  SmokeEntry entry;
  entry.SetEndYear(1970);
  EXPECT_EQ(entry.Years(), 0);
  entry.SetCode("M");
  EXPECT_FLOAT_EQ(entry.SmokeValue(), 0);
}

TEST_F(Smoking, UnknownCategoryClearsAndFails) {
  SmokeEntry entry;
  entry.SetCode("M");
  entry.SetYears(5);
  try {
    entry.SetCode("Q");
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 380);
    EXPECT_EQ(e.Source(), "SmokeEntry:Property Let Code");
  }
  EXPECT_FLOAT_EQ(entry.SmokeValue(), 0);
  EXPECT_TRUE(entry.SmokeText().empty());
  try {
    entry.SetID(99);
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Source(), "SmokeEntry:Property Let ID");
  }
  try {
    entries_.Add("k", 0, "Q", 5);
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 380);
    EXPECT_EQ(e.Source(), "colSmokeEntry:Add");
  }
  EXPECT_EQ(entries_.Count(), 0);
}

TEST_F(Smoking, EntriesSortByStartYearInArrivalOrder) {
  entries_.Add("a", 0, "L", 1, 1970);
  entries_.Add("b", 0, "L", 1, 1955);
  entries_.Add("c", 0, "L", 1, 1970);
  std::string order;
  for (const SmokeEntryPtr& e : entries_) order += std::to_string(e->StartYear()) + " ";
  EXPECT_EQ(order, "1955 1970 1970 ");
  EXPECT_EQ(entries_.Item(2).get(), entries_.Item("A").get());
  EXPECT_EQ(entries_.Item(3).get(), entries_.Item("c").get());
  try {
    entries_.Add("B", 0, "L", 1);
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 457);
  }
  try {
    entries_.Add({}, 0, "L", 40000);
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), 6);
  }
  EXPECT_EQ(entries_.Count(), 3);
}

// Each entry goes before the first that starts later as the years read at
// that moment, over long runs of mixed steps (entries wait to be placed while
// held entries' start years change).
TEST_F(Smoking, MixedStepsMatchThePlainInsertionRule) {
  test::OrderedCollection<SmokeEntryPtr> c;
  c.add = [&](const std::string& key, int16_t start, int16_t end) {
    return entries_.Add(key, 0, "", 0, start, end);
  };
  c.set_years = [](const SmokeEntryPtr& e, int16_t start, int16_t end) {
    e->SetStartYear(start);
    e->SetEndYear(end);
  };
  c.enumerate = [&] {
    std::vector<SmokeEntryPtr> all;
    for (const SmokeEntryPtr& e : entries_) all.push_back(e);
    return all;
  };
  c.item = [&](int32_t i) { return entries_.Item(i); };
  c.remove_key = [&](const std::string& key) { entries_.Remove(key); };
  c.remove_index = [&](int32_t i) { entries_.Remove(i); };
  c.clear = [&] { entries_.Clear(); };
  c.end_year_orders = false;
  for (unsigned seed : {5u, 6u}) {
    SCOPED_TRACE(seed);
    entries_.Clear();
    test::RunAgainstThePlainRule(c, seed, 2000);
  }
}

}  // namespace
}  // namespace orv::dust
