#include <gtest/gtest.h>

#include "EntryChecks.h"

namespace orv::tarnby {
namespace {

constexpr int kYear = 2026;

WorkEntry GoodJob() {
  WorkEntry e;
  e.colliery = {true, "Ashby Main", 101};
  e.job_factor = {true, "Face Worker", 1};
  e.resp_factor = {true, "No respirator", 1};
  e.start_year = "1960";
  e.end_year = "1970";
  return e;
}

TEST(WorkEntryCheck, EachRuleAddsItsOwnLine) {
  struct Case {
    const char* name;
    void (*change)(WorkEntry&);
    std::string expected;
  } cases[] = {
      {"good", [](WorkEntry&) {}, ""},
      {"this year passes", [](WorkEntry& e) { e.end_year = "2026"; }, ""},
      {"next year fails", [](WorkEntry& e) { e.end_year = "2027"; },
       "\r\nThe end year for the job must be between 1800 and 2026"},
      {"start before 1800", [](WorkEntry& e) { e.start_year = "1799"; },
       "\r\nThe start year for the job must be between 1800 and 2026"},
      {"start missing", [](WorkEntry& e) { e.start_year = " "; },
       "\r\nThe start year for the job must be given and must be a valid number"},
      {"typed colliery",
       [](WorkEntry& e) {
         e.colliery = {false, "Nowhere", 0};
       },
       "\r\nNowhere is not in the list of pits. Check that the pit is not known by another name "
       "or use the 'Area Average' for the area for unlisted pits"},
      {"no colliery",
       [](WorkEntry& e) {
         e.colliery = {false, "", 0};
       },
       "\r\nYou must choose a pit from the list. Use the 'Area Average' for the area for "
       "unlisted pits"},
      {"small mine without pit",
       [](WorkEntry& e) {
         e.colliery = {true, "Small Mines Area Average", 904};
       },
       "\r\nYou must give the name of the pit for a small mine"},
      {"small mine with pit",
       [](WorkEntry& e) {
         e.colliery = {true, "Small Mines Area Average", 904};
         e.pit_name = "Drift 3";
       },
       ""},
      {"area average with pit",
       [](WorkEntry& e) {
         e.colliery = {true, "Area Average North", 901};
         e.pit_name = "Drift 3";
       },
       "\r\nThe new 'Small Mine' area averages should be used for non NCB/BC mines now"},
      {"user factor with standard respirator",
       [](WorkEntry& e) {
         e.job_factor = {true, "Own (User defined)", 10000};
       },
       "\r\nWhen using user defined factors the same factor choice (by name) must be used for "
       "the Job and Respirator factors"},
      {"user factor on both",
       [](WorkEntry& e) {
         e.job_factor = {true, "Own", 10000};
         e.resp_factor = {true, "Own", 10000};
       },
       ""},
      {"two failures in one text",
       [](WorkEntry& e) {
         e.job_factor = {false, "", 0};
         e.resp_factor = {false, "Mask", 0};
       },
       "\r\nYou must choose a valid job factor from the list"
       "\r\nMask is not a valid respirator factor. You must choose one from the list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkEntry e = GoodJob();
    c.change(e);
    EXPECT_EQ(CheckWorkEntry(e, kYear), c.expected);
  }
}

TEST(SmokeEntryCheck, YearsAndCategory) {
  struct Case {
    bool in_list;
    bool by_years;
    const char* start;
    const char* end;
    const char* years;
    std::string expected;
  } cases[] = {
      {true, true, "", "", "120", ""},
      {true, true, "", "", "121", "\r\nThe years of smoking must be between 0 and 120"},
      {true, true, "", "", "", "\r\nThe years of smoking must be given and must be a valid number"},
      {true, false, "1960", "2026", "", ""},
      {true, false, "1960", "2027", "",
       "\r\nThe end year for the smoking period must be between 1800 and 2026"},
      {true, false, "x", "1970", "",
       "\r\nThe start year for the smoking period must be given and must be a valid number"},
      {false, true, "", "", "5", "\r\nYou must choose a valid smoking category from the list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.years);
    SmokeEntryInput e;
    e.category = {c.in_list, "", c.in_list ? 2 : 0};
    e.by_years = c.by_years;
    e.start_year = c.start;
    e.end_year = c.end;
    e.years = c.years;
    EXPECT_EQ(CheckSmokeEntry(e, kYear), c.expected);
  }
}

TEST(CollieryKind, FirstTenCharactersIgnoringCase) {
  EXPECT_EQ(KindOfColliery("Area Average North"), CollieryKind::kAreaAverage);
  EXPECT_EQ(KindOfColliery("small mines area average"), CollieryKind::kSmallMine);
  EXPECT_EQ(KindOfColliery("North Area Average"), CollieryKind::kListedPit);
  EXPECT_EQ(KindOfColliery("Small"), CollieryKind::kListedPit);
}

}  // namespace
}  // namespace orv::tarnby
