// Jobs and the job collection on the fixture database.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "OrderModel.h"
#include "OrvError.h"
#include "TestDustData.h"
#include "colCoalJobs.h"
#include "modGlobals.h"

namespace orv::dust {
namespace {

class Jobs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetupDataDB(test::FixtureDb())); }

  // A user-defined job with the years and allowance after closure given.
  CoalJobPtr UserJob(int32_t colliery, int16_t start, int16_t end, float years_past_close = 0,
                     const std::string& key = {}) {
    return jobs_.AddWithFactorsPastClosure(10000, "U1", 0.8f, "Fitter", "N", 1, 0.5f, false, false,
                                           1, 0, "None", "N", 0, 0, 0, 0, key, colliery, start, end,
                                           "", years_past_close);
  }
  std::string Years() {
    std::string s;
    for (const CoalJobPtr& j : jobs_)
      s += std::to_string(j->StartYear()) + "-" + std::to_string(j->EndYear()) + " ";
    return s;
  }

  colCoalJobs jobs_;
};

OrvError FailureOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const OrvError& e) {
    return e;
  }
  ADD_FAILURE() << "no failure";
  return OrvError(0, {}, {});
}

TEST_F(Jobs, CodeIsTrimmedUpperCasedAndLookedUp) {
  CoalJob job;
  job.SetJobFactorCode(" ab1 ");
  EXPECT_EQ(job.JobFactorCode(), "AB1");
  EXPECT_EQ(job.JobFactorID(), 9);
  EXPECT_EQ(job.JobFactorText(), "Airway Borer");
  EXPECT_FLOAT_EQ(job.JobFactor(), 0.9f);
  job.SetJobFactorCode("fit");  // stored as "Fit"
  EXPECT_EQ(job.JobFactorCode(), "FIT");
  EXPECT_EQ(job.JobFactorID(), 10);
  EXPECT_TRUE(job.NonCHACheck());
  EXPECT_FLOAT_EQ(job.YearsPastClose(), 0.5f);
}

TEST_F(Jobs, LookupsFillTheirGroups) {
  CoalJob job;
  job.SetJobFactorID(4);
  EXPECT_EQ(job.JobFactorCode(), "SURF");
  EXPECT_EQ(job.Surface(), "Y");
  EXPECT_TRUE(job.NonCHA());
  job.SetJobFactorID(1);
  EXPECT_EQ(job.Surface(), "N");
  EXPECT_FLOAT_EQ(job.Uplift(), 1.1f);
  job.SetRespiratorFactorID(2);
  EXPECT_FLOAT_EQ(job.RespFactor(), 20);
  EXPECT_EQ(job.RespiratorFactorText(), "Respirator worn 1975 to 1990");
  EXPECT_EQ(job.RespStartYear(), 1975);
  EXPECT_EQ(job.RespEndYear(), 1990);
  EXPECT_FLOAT_EQ(job.RespStartYearVal(), 0.5f);
  job.SetCollieryID(103);
  EXPECT_EQ(job.Colliery(), "Carrow Pit");
  EXPECT_EQ(job.CoalArea(), "South");
}

TEST_F(Jobs, UnknownValuesFailWith380AndLeaveTheGroupCleared) {
  struct Case {
    const char* source;
    std::function<void(CoalJob&)> assign_bad;
    std::function<bool(const CoalJob&)> cleared;
  };
  const Case cases[] = {
      {"CoalJob:Property Let CollieryID", [](CoalJob& j) { j.SetCollieryID(999); },
       [](const CoalJob& j) { return j.CollieryID() == 0 && j.Colliery().empty(); }},
      {"CoalJob:Property Let JobFactorCode", [](CoalJob& j) { j.SetJobFactorCode("ZZZ"); },
       [](const CoalJob& j) {
         return j.JobFactorText().empty() && j.Surface() == "N" && j.JobFactorID() == 0;
       }},
      {"CoalJob:Property Let JobFactorID", [](CoalJob& j) { j.SetJobFactorID(777); },
       [](const CoalJob& j) { return j.JobFactorCode().empty() && j.Uplift() == 0; }},
      {"CoalJob:Property Let RespiratorFactorID", [](CoalJob& j) { j.SetRespiratorFactorID(77); },
       [](const CoalJob& j) { return j.RespFactor() == 0 && j.RespSurface() == "N"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    CoalJob job;
    job.SetCollieryID(101);
    job.SetJobFactorID(4);
    job.SetRespiratorFactorID(2);
    const OrvError e = FailureOf([&] { c.assign_bad(job); });
    EXPECT_EQ(e.Number(), 380);
    EXPECT_EQ(e.Source(), c.source);
    EXPECT_TRUE(c.cleared(job));
  }
}

TEST_F(Jobs, EmptyCodeAndZeroIdentifiersClearWithoutError) {
  CoalJob job;
  job.SetJobFactorCode("FW");
  job.SetJobFactorCode("  ");
  EXPECT_EQ(job.JobFactorID(), 0);
  EXPECT_EQ(job.Surface(), "N");
  job.SetCollieryID(101);
  job.SetCollieryID(0);
  EXPECT_TRUE(job.Colliery().empty());
}

TEST_F(Jobs, InsertionKeepsChronologicalOrderAndEqualJobsInArrivalOrder) {
  UserJob(101, 1970, 1975);
  UserJob(101, 1960, 1965);
  UserJob(101, 1970, 1972)->SetItemData(1);
  UserJob(101, 1970, 1972)->SetItemData(2);
  EXPECT_EQ(Years(), "1960-1965 1970-1972 1970-1972 1970-1975 ");
  EXPECT_EQ(jobs_.Item(2)->ItemData(), 1);
  EXPECT_EQ(jobs_.Item(3)->ItemData(), 2);
}

TEST_F(Jobs, ChangedYearsMoveOnlyOnSortAndKeysSurvive) {
  UserJob(101, 1960, 1965, 0, "a");
  UserJob(101, 1970, 1975, 0, "b");
  jobs_.Item("a")->SetStartYear(1980);
  jobs_.Item("a")->SetEndYear(1982);
  EXPECT_EQ(Years(), "1980-1982 1970-1975 ");
  EXPECT_TRUE(jobs_.Sort().IsNull());
  EXPECT_EQ(Years(), "1970-1975 1980-1982 ");
  EXPECT_EQ(jobs_.Item("A")->StartYear(), 1980);
  EXPECT_EQ(jobs_.Item(1)->Key(), "b");
}

// The collection against the plain rule it promises: each job goes before
// the first job (by its years as they are now) that starts later, or starts
// in the same year and ends later; Sort is a stable sort by the same years.
// Each case adds jobs in some order, with some years changed, some jobs
// removed and a Sort on the way, and after every step the keys must read as
// in the plain model.
TEST_F(Jobs, OrderMatchesThePlainInsertionRuleInEveryOrder) {
  struct Ref {
    std::string key;
    int16_t start, end;
  };
  enum class Pattern { kAscending, kDescending, kRandomWithTies, kOneYear };
  for (Pattern pattern : {Pattern::kAscending, Pattern::kDescending, Pattern::kRandomWithTies,
                          Pattern::kOneYear}) {
    SCOPED_TRACE(static_cast<int>(pattern));
    jobs_.Clear();
    std::vector<Ref> ref;
    std::mt19937 rng(19 + static_cast<unsigned>(pattern));
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto check = [&](const char* step) {
      std::string got, want;
      for (const CoalJobPtr& j : jobs_) got += j->Key() + " ";
      for (const Ref& r : ref) want += r.key + " ";
      ASSERT_EQ(got, want) << step;
    };
    auto add = [&](int i) {
      int16_t start = 0, end = 0;
      switch (pattern) {
        case Pattern::kAscending: start = static_cast<int16_t>(1900 + i / 3); break;
        case Pattern::kDescending: start = static_cast<int16_t>(2200 - i / 3); break;
        case Pattern::kRandomWithTies: start = static_cast<int16_t>(1950 + pick(20)); break;
        case Pattern::kOneYear: start = 1960; break;
      }
      end = static_cast<int16_t>(start + pick(4));
      const std::string key = "k" + std::to_string(i);
      UserJob(0, start, end, 0, key);
      size_t at = 0;
      while (at < ref.size() &&
             !(ref[at].start > start || (ref[at].start == start && ref[at].end > end)))
        ++at;
      ref.insert(ref.begin() + static_cast<std::ptrdiff_t>(at), Ref{key, start, end});
    };
    int next = 0;
    for (; next < 300; ++next) add(next);
    check("added");
    // Some years changed in place: the jobs stay where they are, and later
    // jobs go before the first later job as the years now read.
    for (int c = 0; c < 5; ++c) {
      Ref& r = ref[static_cast<size_t>(pick(static_cast<int>(ref.size())))];
      r.start = static_cast<int16_t>(1940 + pick(40));
      jobs_.Item(r.key)->SetStartYear(r.start);
    }
    for (; next < 400; ++next) add(next);
    check("added after changed years");
    for (int c = 0; c < 20; ++c) {
      const size_t at = static_cast<size_t>(pick(static_cast<int>(ref.size())));
      jobs_.Remove(ref[at].key);
      ref.erase(ref.begin() + static_cast<std::ptrdiff_t>(at));
    }
    for (; next < 450; ++next) add(next);
    check("added after removals");
    jobs_.Sort();
    std::stable_sort(ref.begin(), ref.end(), [](const Ref& a, const Ref& b) {
      return a.start < b.start || (a.start == b.start && a.end < b.end);
    });
    check("sorted");
    for (; next < 550; ++next) add(next);
    check("added after sort");
    // A job taken out and changed no longer bears on the order.
    const std::string out = ref.front().key;
    CoalJobPtr gone = jobs_.Item(out);
    jobs_.Remove(out);
    ref.erase(ref.begin());
    gone->SetStartYear(3000);
    for (; next < 600; ++next) add(next);
    check("added after a removed job changed");
  }
}

// The same rule over long runs of mixed steps, where jobs wait to be placed
// while held jobs' years change, jobs are removed and the jobs are sorted.
TEST_F(Jobs, MixedStepsMatchThePlainInsertionRule) {
  test::OrderedCollection<CoalJobPtr> c;
  c.add = [&](const std::string& key, int16_t start, int16_t end) {
    return UserJob(0, start, end, 0, key);
  };
  c.set_years = [](const CoalJobPtr& j, int16_t start, int16_t end) {
    j->SetStartYear(start);
    j->SetEndYear(end);
  };
  c.enumerate = [&] {
    std::vector<CoalJobPtr> all;
    for (const CoalJobPtr& e : jobs_) all.push_back(e);
    return all;
  };
  c.item = [&](int32_t i) { return jobs_.Item(i); };
  c.remove_key = [&](const std::string& key) { jobs_.Remove(key); };
  c.remove_index = [&](int32_t i) { jobs_.Remove(i); };
  c.clear = [&] { jobs_.Clear(); };
  c.sort = [&] { jobs_.Sort(); };
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(seed);
    jobs_.Clear();
    test::RunAgainstThePlainRule(c, seed, 3000);
  }
}

TEST_F(Jobs, AddLooksUpAndRefusesBadJobsWithoutInsertingThem) {
  const CoalJobPtr job = jobs_.Add("k", 2, 0, " fw", 102, "ignored", 1960, 1970, "Pit A");
  EXPECT_EQ(job->JobFactorID(), 1);
  EXPECT_EQ(job->Colliery(), "Bexley Colliery");
  EXPECT_EQ(job->Key(), "k");
  EXPECT_EQ(job->PitName(), "Pit A");

  const OrvError unknown = FailureOf([&] { jobs_.Add("x", 0, 0, "NOPE", 101); });
  EXPECT_EQ(unknown.Number(), 380);
  EXPECT_EQ(unknown.Source(), "colCoalJobs:Add");
  const OrvError dup = FailureOf([&] { jobs_.Add("K", 0, 1, "", 101); });
  EXPECT_EQ(dup.Number(), 457);
  EXPECT_EQ(dup.Source(), "colCoalJobs:Add");
  EXPECT_EQ(FailureOf([&] { UserJob(101, 1950, 1951, 0, "k"); }).Number(), 457);
  EXPECT_EQ(jobs_.Count(), 1);
}

TEST_F(Jobs, FactorsOutsideTheirRangeAndBadPositionsFail) {
  EXPECT_EQ(FailureOf([&] {
              jobs_.AddWithFactors(10000, "U", 1, "", "N", 1, 1, false, false, 40000, 0, "", "N", 0,
                                   0, 0, 0);
            }).Number(),
            6);
  EXPECT_EQ(jobs_.Count(), 0);
  const OrvError pos = FailureOf([&] { jobs_.Item(1); });
  EXPECT_EQ(pos.Number(), 9);
  EXPECT_EQ(pos.Source(), "colCoalJobs:Property Get Item");
  EXPECT_EQ(FailureOf([&] { jobs_.Remove("none"); }).Number(), 5);
  UserJob(101, 1960, 1961);
  UserJob(101, 1962, 1963);
  const CoalJobPtr kept = jobs_.Item(1);
  jobs_.Clear();
  EXPECT_EQ(jobs_.Count(), 0);
  EXPECT_EQ(kept->EndYear(), 1961);  // a job taken out stays valid
}

TEST_F(Jobs, OpenRangeCheck) {
  struct Case {
    int32_t colliery;
    int16_t start, end;
    float years_past_close;
    const char* message;
  };
  const Case cases[] = {
      {102, 1945, 1960, 0, "Records show colliery Bexley Colliery only opened in 1950"},
      {102, 1950, 2020, 0, ""},
      {101, 1975, 1987, 2, ""},  // 1985 + 2 - 1987 = 0
      {101, 1975, 1987, 1, "Records show colliery Ashby Main was open between 1947 and 1985"},
      {101, 1946, 1980, 0, "Records show colliery Ashby Main was open between 1947 and 1985"},
      {101, 1980, 1985, 0.5f, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.colliery << " " << c.start << "-" << c.end);
    const CoalJobPtr job = UserJob(c.colliery, c.start, c.end, c.years_past_close);
    EXPECT_EQ(job->OpenRangeCheck(), c.message);
    EXPECT_EQ(job->LastOpenRangeMessage(), c.message);
  }
}

}  // namespace
}  // namespace orv::dust
