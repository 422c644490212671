// The places where the year walk can go wrong, each worked by hand on the
// test database (Ashby Main: dust 4, tortious 50; K(x) = x / 2; limitation
// 1960 at 0.5 for England and Wales, 1964 at 1 for Scotland).
#include <gtest/gtest.h>

#include "CalcFixture.h"
#include "Numbers.h"

namespace orv::dust::calctest {
namespace {

class Edges : public CalcFixture {};

// Two jobs at Ashby Main: 1960 to `first_end`, then 1970-1975 (last job,
// 1975 halved). The first job's 1960 is halved as the first start.
TEST_F(Edges, HalvingAgainstPreviousAndNextJobs) {
  struct Case {
    int first_end;
    float first_years, second_years;
  };
  const Case cases[] = {
      // Ends 1969: the next starts the year after, so 1969 and 1970 are whole:
      // 0.5 + 9 = 9.5 and 5 + 0.5 = 5.5.
      {1969, 9.5f, 5.5f},
      // Ends 1970, the year the next starts: both halve it: 0.5 + 9 + 0.5 =
      // 10 and 0.5 + 4 + 0.5 = 5.
      {1970, 10, 5},
      // Ends 1968, a gap: 0.5 + 7 + 0.5 = 8; the next starts halved: 5.
      {1968, 8, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first_end);
    ASSERT_TRUE(Run({Job(101, 1960, c.first_end, 1, 1), Job(101, 1970, 1975, 1, 1)}));
    EXPECT_FLOAT_EQ(JobAt(1).EmployedYears(), c.first_years);
    EXPECT_FLOAT_EQ(JobAt(2).EmployedYears(), c.second_years);
    EXPECT_FLOAT_EQ(model_->ActualYearsWorked(), c.first_years + c.second_years);
  }
}

TEST_F(Edges, SingleYearLastJobCountsHalf) {
  ASSERT_TRUE(Run({Job(101, 1960, 1969, 1, 1), Job(101, 1970, 1970, 1, 1)}));
  EXPECT_FLOAT_EQ(JobAt(2).EmployedYears(), 0.5f);
}

// 1960-1965, 1965, 1965-1970: the middle job's one year is the end of the
// one before and the start of the one after, so it is discounted: 0 years,
// 0 dust. The neighbours each halve 1965: 0.5 + 4 + 0.5 = 5 twice.
TEST_F(Edges, SingleYearJobBetweenTwoIsDiscounted) {
  model_->SetPrintDetail(true);
  ASSERT_TRUE(
      Run({Job(101, 1960, 1965, 1, 1), Job(102, 1965, 1965, 1, 1), Job(101, 1965, 1970, 1, 1)}));
  EXPECT_FLOAT_EQ(JobAt(2).EmployedYears(), 0);
  EXPECT_FLOAT_EQ(JobAt(2).CumulativeDustInsultUnits(), 0);
  EXPECT_FLOAT_EQ(model_->ActualYearsWorked(), 10);
  EXPECT_TRUE(HasLine(
      "\tDiscounting single year job which is the same as end of previous and start of next job"));
}

// Discounted, but still looked up: Dunmore has no matrix entry after 1964.
TEST_F(Edges, DiscountedJobStillNeedsItsMatrixEntry) {
  EXPECT_FALSE(
      Run({Job(101, 1960, 1965, 1, 1), Job(104, 1965, 1965, 1, 1), Job(101, 1965, 1970, 1, 1)}));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0], "No Dust Matrix entry for colliery Dunmore in 1965");
}

// An underground year at 1960 (first job, halved: 0.5 x the time in dust)
// then a surface job. Time in dust 9.98 gives exactly the single 4.99
// underground equivalent years, which discounts surface work; 9.99 gives
// 4.995, which includes it. The surface job 1961-1962 (last: 1962 halved)
// is 1.5 years x 0.5 in dust = 0.75 years when included.
TEST_F(Edges, SurfaceExclusionAt499) {
  struct Case {
    float dusty_time;
    bool excluded;
    float surface_years;
  };
  const Case cases[] = {{9.98f, true, 0}, {9.99f, false, 0.75f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dusty_time);
    jobs_->Clear();
    smoking_->Clear();
    lines_.clear();
    jobs_->AddWithFactors(50, "BND", 1, "Boundary worker", "N", 1, c.dusty_time, false, false, 1, 0,
                          "No respirator", "N", 0, 0, 0, 0, {}, 101, 1960, 1960);
    jobs_->Add({}, 4, 3, {}, 102, {}, 1961, 1962);
    ASSERT_TRUE(model_->Calculate());
    EXPECT_TRUE(HasLine(c.excluded
                            ? "Surface Dusty jobs will be excluded as <5 years underground"
                            : "Surface Dusty jobs will be included as >=5 years underground"));
    EXPECT_TRUE(HasLine(c.excluded ? "This is a surface job and will be discounted"
                                   : "This is a surface job but will be included"));
    EXPECT_FLOAT_EQ(JobAt(2).EmployedYears(), c.surface_years);
  }
}

// 1955 to the limitation year 1960. As the last job its end year is halved,
// and with LimitYearVal 0.5 that year adds nothing after the limitation
// date. Followed by a job from 1961, 1960 is whole and counts 1 x 0.5:
// 0.5 years and 4 x 0.5 = 2 weighted units (K 1), tortious 25.
TEST_F(Edges, LimitationYearAtHalfValue) {
  ASSERT_TRUE(Run({Job(101, 1955, 1960, 1, 1)}));
  EXPECT_FLOAT_EQ(model_->PercentEmploymentPostLimitation(), 0);
  EXPECT_FLOAT_EQ(JobAt(1).CumulativeWgtDustInsultUnitsPostLimit(), 0);
  EXPECT_FLOAT_EQ(JobAt(1).TortiousPostLimit(), 0);
  EXPECT_FLOAT_EQ(model_->RecoverableQuantumPercent(), 0);

  ASSERT_TRUE(Run({Job(101, 1955, 1960, 1, 1), Job(102, 1961, 1961, 1, 1)}));
  EXPECT_FLOAT_EQ(JobAt(1).CumulativeWgtDustInsultUnitsPostLimit(), 1);
  EXPECT_FLOAT_EQ(JobAt(1).TortiousPostLimit(), 25);
}

// Scotland: limitation 1964 at value 1. A last job 1960-1964 halves 1964,
// which still counts its half (the value is not 0.5): post-limitation 0.5 of
// 0.5 + 3 + 0.5 = 4 years worked = 12.5%.
TEST_F(Edges, ScottishLimitationYear) {
  model_->SetJurisdiction(orvScotland);
  ASSERT_TRUE(Run({Job(101, 1960, 1964, 1, 1)}));
  EXPECT_TRUE(HasLine("Jurisdiction: Scotland"));
  EXPECT_FLOAT_EQ(model_->ActualYearsWorked(), 4);
  EXPECT_FLOAT_EQ(model_->PercentEmploymentPostLimitation(), 12.5f);
  EXPECT_FLOAT_EQ(JobAt(1).TortiousPostLimit(), 25);
}

// Uplift 1.25 on 1961-1962 (halved both ends: 1 year at dust 4): 5 units,
// except at a colliery named with "UK Coal", where the uplift is 1.
TEST_F(Edges, UKCoalCollieriesAreNotUplifted) {
  struct Case {
    int32_t colliery;
    float pxr;
    const char* line;
  };
  const Case cases[] = {{101, 5, "Uplift: = 1.25"}, {106, 4, "Uplift: = 1.00"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(Run({Job(c.colliery, 1961, 1962, 13, 1)}));
    EXPECT_FLOAT_EQ(JobAt(1).CumulativeDustInsultUnits(), c.pxr);
    EXPECT_TRUE(HasLine(c.line));
  }
}

// Ashby 1961-1964 (0.5 + 2 + 1 = 3.5, 1964 whole before the next job) and a
// "No Data" job at Eskdale 1965-1966 (1 + 0.5): employed years of its own,
// none in the claimant's years, and no tortious lookup (Eskdale has none).
TEST_F(Edges, NoDataJob) {
  ASSERT_TRUE(Run({Job(101, 1961, 1964, 1, 1), Job(105, 1965, 1966, 8, 8)}));
  EXPECT_FLOAT_EQ(JobAt(2).EmployedYears(), 1.5f);
  EXPECT_FLOAT_EQ(JobAt(2).CumulativeDustInsultUnits(), 0);
  EXPECT_FLOAT_EQ(model_->ActualYearsWorked(), 3.5f);
}

// Fenwick closed after 1969 (matrix "CLOSED" from 1970). A job 1968-1971
// with the next job from 1972: 1970 and 1971 are whole closed years.
TEST_F(Edges, ClosedYears) {
  // Allowed 1.5: the first closed year is accepted, the second refused.
  EXPECT_FALSE(Run({Job(107, 1968, 1971, 11, 1), Job(101, 1972, 1973, 1, 1)}));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0],
            "Colliery Fenwick was not open in 1971 - job type only allows 1.5 years work in "
            "closed years ");
  EXPECT_TRUE(HasLine("1.5 years work in closed years allowed, used is = 1.00"));

  // Allowed 0: the first closed year is refused.
  EXPECT_FALSE(Run({Job(107, 1968, 1971, 12, 1), Job(101, 1972, 1973, 1, 1)}));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0],
            "Colliery Fenwick was not open in 1970 and job type does not allow work in closed "
            "years");

  // As the last job 1971 is halved: 1 + 0.5 = 1.5 closed years, allowed.
  ASSERT_TRUE(Run({Job(107, 1968, 1971, 11, 1)}));
  EXPECT_FLOAT_EQ(JobAt(1).YearsAfterClosure(), 1.5f);
}

// Ashby 1961 to `end` (first and last job: both ends halved, so end - 1961
// years), dust 4: the cumulative PXR 4 x years times the short employment
// factor; each boundary belongs to the higher band.
TEST_F(Edges, ShortEmploymentBands) {
  struct Case {
    int end;
    float years, factor;
  };
  const Case cases[] = {{1964, 3, 0.6f}, {1965, 4, 0.7f},  {1966, 5, 0.7f}, {1967, 6, 0.8f},
                        {1969, 8, 0.9f}, {1971, 10, 1.0f}, {1972, 11, 1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.end);
    ASSERT_TRUE(Run({Job(101, 1961, c.end, 1, 1)}));
    EXPECT_FLOAT_EQ(model_->ActualYearsWorked(), c.years);
    EXPECT_FLOAT_EQ(model_->CumulativeWeightedDustPXR(), RoundTo2(4 * c.years * c.factor));
  }
}

// Ashby 1961-1965 (4 years, tortious 50) wholly inside a respirator period
// with factor F: R = 50, irreducible 50, C = 50 x F / 100, capped above 10 to
// (C - 10) / 2 + 10; F127 = 50 + C'. No smoking, all after limitation, so
// F137 = F127 and the recoverable quantum equals it.
TEST_F(Edges, ProgressiveCap) {
  struct Case {
    int16_t resp;
    float f127;
  };
  const Case cases[] = {{10, 60}, {11, 61}, {12, 70}};  // C = 10, 12, 30
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resp);
    ASSERT_TRUE(Run({Job(101, 1961, 1965, 1, c.resp)}));
    EXPECT_FLOAT_EQ(model_->InRespIrreducibleMinimumDustPercent(), 50);
    EXPECT_FLOAT_EQ(model_->InRespTotalTortiousDustPercent(), c.f127);
    EXPECT_FLOAT_EQ(model_->AveragePostLimitTotalTortiousDustUncorrectedPercent(), 50);
    EXPECT_FLOAT_EQ(model_->AveragePostLimitTotalTortiousDustCappedPercent(), c.f127);
    EXPECT_FLOAT_EQ(model_->RecoverableQuantumPercent(), c.f127);
  }
}

// No smoking and some dust: all the insult is dust's. No year after the
// limitation date: no recoverable quantum. No respirator: F136 = F137.
TEST_F(Edges, ResultsWithNothingToShare) {
  ASSERT_TRUE(Run({Job(101, 1961, 1965, 1, 1)}));
  EXPECT_FLOAT_EQ(model_->ProportionDueToDustPercent(), 100);
  EXPECT_FLOAT_EQ(model_->RecoverableQuantumPercent(),
                  model_->RecoverableQuantumWithoutSmokingPercent());
  EXPECT_FLOAT_EQ(model_->InRespIrreducibleMinimumDustPercent(), 100);
  EXPECT_FLOAT_EQ(model_->AveragePostLimitTotalTortiousDustUncorrectedPercent(),
                  model_->AveragePostLimitTotalTortiousDustCappedPercent());

  ASSERT_TRUE(Run({Job(101, 1950, 1958, 1, 1)}, {Smoke("H", 10)}));
  EXPECT_FLOAT_EQ(model_->PercentEmploymentPostLimitation(), 0);
  EXPECT_FLOAT_EQ(model_->AveragePostLimitTotalTortiousDustCappedPercent(), 0);
  EXPECT_FLOAT_EQ(model_->RecoverableQuantumPercent(), 0);
  EXPECT_FLOAT_EQ(model_->SmokingInsult(), 15);

  // A strike year alone: no dust, so nothing is due to dust.
  ASSERT_TRUE(Run({Job(101, 1977, 1977, 1, 1)}, {Smoke("H", 10)}));
  EXPECT_FLOAT_EQ(model_->ProportionDueToDustPercent(), 0);
}

// Two type-2 owners with 440 tortious units each and an NCB/BC job with 440:
// Carrow 1961-1966 (5.5 years x 80), Gorse Hill (area owner "West Owners")
// 1967-1971 (5 x 88), Hatton 1972-1977 (5.5 x 80). Total R2(16 x 82.5) =
// 1320, each owner 33.33%, the rest 100 - 66.66 = 33.34% for NCB/BC. The
// quantum 82.5: owners 0.3333 x 82.5 = 27.50, NCB/BC 82.5 x 0.3334 = 27.51.
TEST_F(Edges, TortiousOwnersRoundedShares) {
  model_->SetPrintDetail(true);
  ASSERT_TRUE(
      Run({Job(103, 1961, 1966, 1, 1), Job(108, 1967, 1971, 1, 1), Job(109, 1972, 1977, 1, 1)}));
  EXPECT_FLOAT_EQ(model_->RecoverableQuantumPercent(), 82.5f);
  EXPECT_TRUE(HasLine("Proportion of liability for CARROW ESTATES, LTD % = 33.33"));
  EXPECT_TRUE(HasLine("Proportion of liability for WEST OWNERS % = 33.33"));
  EXPECT_TRUE(HasLine("Final Proportion of Quantum for WEST OWNERS % = 27.50"));
  EXPECT_TRUE(HasLine("Proportion of liability for NCB/BC % = 33.34"));
  EXPECT_TRUE(HasLine("Final Proportion of Quantum for NCB/BC % = 27.51"));
  for (const std::string& line : lines_)
    EXPECT_NE(line.rfind("Proportion of liability remaining", 0), 0u) << line;
}

// Small mines: the pit name enters the owner key, so two pits are two
// owners, and the same pit written with other letter case and blanks is one.
// 1961-1962: 1961 halved as the first year, 1962 whole (the next job starts
// the year after): 1.5 years at dust 3 = 4.5, K 2.25. 1963-1965: 1965
// halved as the last year: 2.5 years = 7.5, K 3.75. No NCB/BC job.
TEST_F(Edges, SmallMineOwnersByPitName) {
  model_->SetPrintDetail(true);
  ASSERT_TRUE(
      Run({Job(904, 1961, 1962, 20, 5, "Lane End"), Job(904, 1963, 1965, 20, 3, "Top Pit")}));
  EXPECT_TRUE(HasLine("Total Weighted Units post Limitation for SMALL MINE: LANE END = 2.25"));
  EXPECT_TRUE(HasLine("Total Weighted Units post Limitation for SMALL MINE: TOP PIT = 3.75"));
  for (const std::string& line : lines_)
    EXPECT_EQ(line.find("for NCB/BC"), std::string::npos) << line;

  ASSERT_TRUE(
      Run({Job(904, 1961, 1962, 20, 5, "Lane End"), Job(904, 1963, 1965, 20, 3, "lane end ")}));
  EXPECT_TRUE(HasLine("Total Weighted Units post Limitation for SMALL MINE: LANE END = 6.00"));
  EXPECT_TRUE(HasLine("Proportion of liability for SMALL MINE: LANE END % = 100.00"));
}

}  // namespace
}  // namespace orv::dust::calctest
