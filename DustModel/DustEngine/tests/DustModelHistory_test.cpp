// A long working life worked through by hand: seven jobs at four collieries,
// a strike year by special factor and two by the dust matrix, a respirator
// period that starts in mid-year, a surface job, smoking, a small mine (units
// owner) and a colliery with its own owner (tortious owner).
//
// England and Wales: limitation year 1960 at value 0.5. K(x) = x / 2.
//
// A Ashby Main 1955-1965 Face Worker (1), no respirator. First job: 1955
//   halved; next starts 1966, so 1965 is whole. Years 0.5 + 10 = 10.5 at dust
//   4: PXR 42, weighted 42. 1960 is the limitation year, whole, so its share
//   becomes 1 x 0.5 and its weighted units 4 x 0.5 = 2; 1961-65 add 5 x 4 =
//   20: post-limitation 22, K = 11. Post-limitation years 0.5 + 5 = 5.5,
//   tortious 50 x 0.5 + 5 x 50 = 275, none in a respirator period.
//   Average 42 / 10.5 = 4, K = 2; cumulative K(42) = 21.
// B Bexley 1966-1971 Haulage Hand (0.5): 6 whole years at dust 2: PXR 12,
//   weighted 6 (K 3), average 1 (K 0.5); tortious 6 x 40 = 240.
// C Ashby Main 1972 "Strike period" job and respirator factor: one whole
//   strike year: employed 1, strike 1, working 0, no dust; tortious 50 x 0 = 0.
// D Ashby Main 1973-1980 Face Worker, respirator 20 from mid 1975 to 1990:
//   8 years, 1977 a STRIKE entry: strike 1, dust 7 x 4 = 28 (K 14), average
//   28 / 8 = 3.5 (K 1.75), tortious 7 x 50 = 350. 1973-74 outside the period
//   (2 years, 100); 1975 splits half and half (0.5 years and 25 outside, 0.5
//   years inside, respirator 20 x 0.5 = 10); 1976, 1978-80 inside (4 years,
//   respirator 80). Inside: 4.5 years, respirator sum 90.
// E Carrow Pit 1981-1985 Face Worker, same respirator; owner "Carrow Estates,
//   Ltd" (type 2). 1984 a STRIKE entry. Dust 4 x 6 = 24 (K 12), average 24 / 5
//   = 4.8 (K 2.4); tortious 4 x 80 = 320, all inside: 4 years, respirator 80.
// F Small mine "Pit Lane" 1986-1988 (type 1 "Small Mine: %PITNAME%"), small
//   mine factors. Next job starts 1990 (a gap), so 1988 is halved: 2.5 years
//   at dust 3: 7.5 (K 3.75), average 3 (K 1.5); tortious 60 x 2.5 = 150.
// G Bexley 1990-1992 surface screens (0.5, time in dust 0.5), last job: 1990
//   halved (gap), 1992 halved (last): shares 0.25, 0.5, 0.25 = 1 year; dust
//   2 x 1 = 2, weighted 1 (K 0.5), average 1 (K 0.5); surface tortious 20 x 1.
//
// First pass: underground equivalent years 10.5 + 6 + 0 + 7 + 4 + 2.5 = 30,
// surface 1, all 31: surface work is included.
// Totals: years 10.5+6+1+8+5+2.5+1 = 34, strike 3, worked 31. Post-limitation
// years 5.5+6+0+7+4+2.5+1 = 26, of which in the respirator period 0.5+4+4 =
// 8.5 and outside 17.5. Tortious 275+240+0+350+320+150+20 = 1355, outside the
// period 275+240+0+125+0+150+20 = 810, inside 545.
//   F114 = 26 / 31 x 100 = 83.87; short employment factor 1; F103 = 42+6+0+
//   28+24+7.5+1 = 108.5; F105 = 54.25. Smoking 20 x 0.5 + 12 x 1.5 = 28;
//   F112 = 54.25 / 82.25 x 100 = 65.96. F117 = 1355 / 26 = 52.12; F118 = 810 /
//   17.5 = 46.29; F124 = (10+80+80) / 8.5 = 170 / 8.5 = 20; F121 = 545 / 8.5 =
//   64.12; F125 = 35.88; C = 35.88 x 20 / 100 = 7.18, not capped; F127 =
//   64.12 + 7.18 = 71.29; F136 = (545 + 810) / 26 = 52.12; F137 = (8.5 x
//   71.29 + 810) / 26 = 1416 / 26 = 54.46; F144 = 54.46 x 83.87 / 100 = 1416 /
//   31 = 45.68; F153 = 0.6596 x 83.87 x 54.46 / 100 = 30.13.
// Split (both types): tortious total R2(26 x 54.46) = 1416; Carrow 320 / 1416
//   = 22.60%, quantum 0.226 x 30.13 = 6.81; remaining 77.40%, quantum 30.13 x
//   0.774 = 23.32. Units: NCB/BC 11+3+0+14+0.5 = 28.5, small mine 3.75, total
//   32.25: NCB/BC 88.37% -> 88.37 x 77.4 / 100 = 68.40% of liability, quantum
//   30.13 x 0.6840 = 20.61; small mine 11.63% -> 9.00%, quantum 2.71.
#include <gtest/gtest.h>

#include "CalcFixture.h"

namespace orv::dust::calctest {
namespace {

class LongHistory : public CalcFixture {
 protected:
  bool RunHistory() {
    model_->SetClaimantName("John Smith");
    model_->SetSolicitorRef("S/1");
    model_->SetZURIRRef("Z-1");
    // Given out of order: the collection puts them in order.
    return Run(
        {
            Job(102, 1990, 1992, 3, 4),
            Job(101, 1955, 1965, 1, 1),
            Job(101, 1973, 1980, 1, 2),
            Job(102, 1966, 1971, 2, 1),
            Job(101, 1972, 1972, 6, 6),
            Job(904, 1986, 1988, 20, 5, "Pit Lane"),
            Job(103, 1981, 1985, 1, 2),
        },
        {Smoke("L", 0, 1960, 1980), Smoke("H", 12)});
  }
};

TEST_F(LongHistory, ClaimantResultsAsWorkedByHand) {
  ASSERT_TRUE(RunHistory());
  EXPECT_TRUE(errors_.empty());
  const DustModel& m = *model_;
  EXPECT_FLOAT_EQ(m.SmokingInsult(), 28.0f);
  EXPECT_FLOAT_EQ(m.ActualYearsWorked(), 31.0f);
  EXPECT_FLOAT_EQ(m.PercentEmploymentPostLimitation(), 83.87f);
  EXPECT_FLOAT_EQ(m.CumulativeWeightedDustPXR(), 108.5f);
  EXPECT_FLOAT_EQ(m.EquivalentDustInsult(), 54.25f);
  EXPECT_FLOAT_EQ(m.ProportionDueToDustPercent(), 65.96f);
  EXPECT_FLOAT_EQ(m.AveragePostLimitTortiousDustPercent(), 52.12f);
  EXPECT_FLOAT_EQ(m.TotalTortiousDustPercent(), 46.29f);
  EXPECT_FLOAT_EQ(m.AverageRespiratorFactor(), 20.0f);
  EXPECT_FLOAT_EQ(m.InRespIrreducibleMinimumDustPercent(), 35.88f);
  EXPECT_FLOAT_EQ(m.InRespTotalTortiousDustPercent(), 71.29f);
  EXPECT_FLOAT_EQ(m.AveragePostLimitTotalTortiousDustUncorrectedPercent(), 52.12f);
  EXPECT_FLOAT_EQ(m.AveragePostLimitTotalTortiousDustCappedPercent(), 54.46f);
  EXPECT_FLOAT_EQ(m.RecoverableQuantumWithoutSmokingPercent(), 45.68f);
  EXPECT_FLOAT_EQ(m.RecoverableQuantumPercent(), 30.13f);
  // Read back rounded; kept unrounded (26 / 31 x 100 = 83.870967...).
  EXPECT_NE(m.RawResults().PercentEmploymentPostLimitation, 83.87f);
  EXPECT_NEAR(m.RawResults().PercentEmploymentPostLimitation, 83.870967f, 1e-4);
}

TEST_F(LongHistory, PerJobValuesWrittenBack) {
  ASSERT_TRUE(RunHistory());
  struct Expect {
    const char* colliery;
    float employed, strike, working, pxr, average, average_k, weighted_k, post_limit_k, tortious;
  };
  const Expect expected[] = {
      {"Ashby Main", 10.5f, 0, 10.5f, 42, 4, 2, 21, 11, 275},
      {"Bexley Colliery", 6, 0, 6, 12, 1, 0.5f, 3, 3, 240},
      {"Ashby Main", 1, 1, 0, 0, 0, 0, 0, 0, 0},
      {"Ashby Main", 8, 1, 7, 28, 3.5f, 1.75f, 14, 14, 350},
      {"Carrow Pit", 5, 1, 4, 24, 4.8f, 2.4f, 12, 12, 320},
      {"Small Mines Area Average", 2.5f, 0, 2.5f, 7.5f, 3, 1.5f, 3.75f, 3.75f, 150},
      {"Bexley Colliery", 1, 0, 1, 2, 1, 0.5f, 0.5f, 0.5f, 20},
  };
  ASSERT_EQ(jobs_->Count(), 7);
  for (int n = 1; n <= 7; ++n) {
    const Expect& e = expected[n - 1];
    CoalJob& j = JobAt(n);
    SCOPED_TRACE(n);
    EXPECT_EQ(j.Colliery(), e.colliery);
    EXPECT_FLOAT_EQ(j.EmployedYears(), e.employed);
    EXPECT_FLOAT_EQ(j.StrikeYears(), e.strike);
    EXPECT_FLOAT_EQ(j.WorkingYears(), e.working);
    EXPECT_FLOAT_EQ(j.CumulativeDustInsultUnits(), e.pxr);
    EXPECT_FLOAT_EQ(j.AverageWeightedAnnualPXRScore(), e.average);
    EXPECT_FLOAT_EQ(j.AverageAnnualDustInsultUnits(), e.average_k);
    EXPECT_FLOAT_EQ(j.CumulativeWeightedDustInsultUnits(), e.weighted_k);
    EXPECT_FLOAT_EQ(j.CumulativeWgtDustInsultUnitsPostLimit(), e.post_limit_k);
    EXPECT_FLOAT_EQ(j.TortiousPostLimit(), e.tortious);
    EXPECT_FLOAT_EQ(j.YearsAfterClosure(), 0);
  }
  EXPECT_EQ(JobAt(5).LiabilitySplitType(), 2);
  EXPECT_EQ(JobAt(6).LiabilitySplitDescr(), "Small Mine: Pit Lane");
}

TEST_F(LongHistory, NormalReportLineByLine) {
  ASSERT_TRUE(RunHistory());
  const std::vector<std::string> expected = {
      "Claimant: John Smith",
      "Solicitor Reference: S/1",
      "ZURIR Reference: Z-1",
      "",
      "Dust Calculation Engine Version: 1.0.0",
      "Dust Data Version: 48",
      "Calculation time and date: 14:05 on 07 Dec 2026",
      "Jurisdiction: England/Wales",
      "",
      "Total Smoking Insult = 28.00",
      "",
      "Total equivalent years (adjusted and excl strikes) in surface work = 1.00",
      "Total equivalent years (adjusted and excl strikes) underground = 30.00",
      "Total equivalent years (adjusted and excl strikes) all jobs = 31.00",
      "Surface Dusty jobs will be included as >=5 years underground",
      "",
      "Colliery: Ashby Main, area: North from 1955 to 1965",
      "Working Years in Job (10.5 less 0 strike) = 10.50",
      "Job Factor: Face Worker = 1.00",
      "Uplift: = 1.00",
      "Respirator Factor %: No respirator applies from 0 to 0 = 0.00",
      "Average Annual Weighted PXR Score = 4.00",
      "Average Annual Dust Insult Units = 2.00",
      "Cumulative Weighted Dust Insult Units = 21.00",
      "",
      "Colliery: Bexley Colliery, area: North from 1966 to 1971",
      "Working Years in Job (6. less 0 strike) = 6.00",
      "Job Factor: Haulage Hand = 0.50",
      "Uplift: = 1.00",
      "Respirator Factor %: No respirator applies from 0 to 0 = 0.00",
      "Average Annual Weighted PXR Score = 1.00",
      "Average Annual Dust Insult Units = 0.50",
      "Cumulative Weighted Dust Insult Units = 3.00",
      "",
      "Colliery: Ashby Main, area: North from 1972 to 1972",
      "Working Years in Job (1. less 1 strike) = 0.00",
      "Job Factor: Strike period = 0.00",
      "Uplift: = 1.00",
      "Respirator Factor %: Strike period applies from 0 to 0 = 0.00",
      "Average Annual Weighted PXR Score = 0.00",
      "Average Annual Dust Insult Units = 0.00",
      "Cumulative Weighted Dust Insult Units = 0.00",
      "",
      "Colliery: Ashby Main, area: North from 1973 to 1980",
      "Working Years in Job (8. less 1 strike) = 7.00",
      "Job Factor: Face Worker = 1.00",
      "Uplift: = 1.00",
      "Respirator Factor %: Respirator worn 1975 to 1990 applies from mid 1975 to 1990 = 20.00",
      "Average Annual Weighted PXR Score = 3.50",
      "Average Annual Dust Insult Units = 1.75",
      "Cumulative Weighted Dust Insult Units = 14.00",
      "",
      "Colliery: Carrow Pit, area: South from 1981 to 1985",
      "Working Years in Job (5. less 1 strike) = 4.00",
      "Job Factor: Face Worker = 1.00",
      "Uplift: = 1.00",
      "Respirator Factor %: Respirator worn 1975 to 1990 applies from mid 1975 to 1990 = 20.00",
      "Average Annual Weighted PXR Score = 4.80",
      "Average Annual Dust Insult Units = 2.40",
      "Cumulative Weighted Dust Insult Units = 12.00",
      "",
      "SMALL MINE: Pit Lane",
      "Colliery: Small Mines Area Average, area: Small Mines from 1986 to 1988",
      "Working Years in Job (2.5 less 0 strike) = 2.50",
      "Job Factor: Small Mine Worker = 1.00",
      "Uplift: = 1.00",
      "Respirator Factor %: Small mine - no respirator applies from 0 to 0 = 0.00",
      "Average Annual Weighted PXR Score = 3.00",
      "Average Annual Dust Insult Units = 1.50",
      "Cumulative Weighted Dust Insult Units = 3.75",
      "",
      "Colliery: Bexley Colliery, area: North from 1990 to 1992",
      "This is a surface job but will be included",
      "Proportion of job considered to be in a dusty environment % = 50.0",
      "Working Years in Job (1. less 0 strike) = 1.00",
      "Job Factor: Surface Screens = 0.50",
      "Uplift: = 1.00",
      "Respirator Factor %: Surface - no respirator applies from 0 to 0 = 0.00",
      "Average Annual Weighted PXR Score = 1.00",
      "Average Annual Dust Insult Units = 0.50",
      "Cumulative Weighted Dust Insult Units = 0.50",
      "",
      "Total adjusted years worked = 31.00",
      "Proportion of employment post limitation date % = 83.87",
      "Cumulative Job Factored PXR after Short employment adjustment = 108.50",
      "Equivalent Dust Insult = 54.25",
      "Proportion due to dust % = 65.96",
      "Average post limitation date tortious dust % = 52.12",
      "Average post limitation not in respirator period tortious dust (Total Tortious Dust) % "
      "= 46.29",
      "Average Respirator Factor %: 170 for 8.5 years = 20.00",
      "Respirator Period Irreducible minimum dust % = 35.88",
      "Respirator Period total tortious dust % = 71.29",
      "Average Total tortious dust post limitation - no respirator correction % = 52.12",
      "Average Total tortious dust post limitation - with progressively capped respirator "
      "correction % = 54.46",
      "Recoverable Proportion of Quantum (before smoking adjustment) % = 45.68",
      "Recoverable Proportion of Quantum (after smoking adjustment) % = 30.13",
      "Final Proportion of Quantum for CARROW ESTATES, LTD % = 6.81",
      "Proportion of Quantum remaining % = 23.32",
      "Final Proportion of Quantum for NCB/BC % = 20.61",
      "Final Proportion of Quantum for SMALL MINE: PIT LANE % = 2.71",
  };
  EXPECT_EQ(lines_, expected);
}

TEST_F(LongHistory, DetailReportShowsEveryStep) {
  model_->SetPrintDetail(true);
  ASSERT_TRUE(RunHistory());
  const char* expected[] = {
      // The smoking collection keeps its entries by start year: 0 first.
      "Smoking insult Heavy for 12 years = 18.00",
      "Smoking insult Light from 1960 to 1980 (20 years) = 10.00",
      "F110: Total Smoking Insult = 28.00",
      "Number of jobs: 7",
      "Starting job number 1",
      "\tColliery: Ashby Main, Area: North",
      "\tFrom 1955 to 1965",
      "\tStart year will be halved",
      "\t\tProcessing year 1955",
      "\t\t\tHalving this year (Start Year)",
      "\t\t\tDust matrix marker: [SURVEY], raw value = 4.00",
      "\t\t\tPXR value after uplift of 1 = 2.00",
      // 1960 adds 2 weighted units (K 1) at half its share, then its tortious
      // 50 at that share (no respirator period, so no respirator line); 1961
      // adds 4 (K 2).
      "\t\t\tWeighted dust units post limitation this year = 1.00",
      "\t\t\tLimitation year treated as = 0.5",
      "\t\t\tTortious dust for whole year % = 50.00",
      "\t\t\tWeighted for part year tortious dust% = 25.00",
      "\t\t\tWeighted dust units post limitation this year = 2.00",
      "\tWeighted dust insult units post limitation for this job = 11.00",
      "\tAccumulated Dust Years = 10.50",
      "\tStrike years while employed in job = 0.00",
      "\tWorking years in job = 10.50",
      "\tTortious dust in job post limitation = 275.00",
      "End of job number 1",
      "\t\t\tThis is a strike year (special job factor) - hence dust value = 0.00",
      "\t\t\tRespirator Factor adjusted for part year: Respirator worn 1975 to 1990 = 10.00",
      "\t\t\tRespirator Factor: Respirator worn 1975 to 1990 = 20.00",
      "\t\t\tThis is a strike year - hence dust value = 0.00",
      "\tSMALL MINE: Pit Lane",
      "\tEnd year will be halved",
      "\tEnd year will be halved - last in list",
      "\t\t\tHalving this year (End Year)",
      "Claimant results",
      "Total years worked - Full and Partial Years Adjusted = 34.00",
      "Total strike years = 3.00",
      "F99: Total adjusted years worked = 31.00",
      "Working years post limitation date = 26.00",
      "Working years post limitation date not in respirator period = 17.50",
      "Working years in respirator period = 8.50",
      "F114: Proportion of employment post limitation date % = 83.87",
      "Short employment factor = 1.00",
      "Cumulative Job Factored PXR pre Short employment adjustment = 108.50",
      "F103: Cumulative Job Factored PXR after Short employment adjustment = 108.50",
      "F105: Equivalent Dust Insult = 54.25",
      "F112: Proportion due to dust % = 65.96",
      "F117: Average post limitation date tortious dust % = 52.12",
      "F118: Average post limitation not in respirator period tortious dust (Total Tortious "
      "Dust) % = 46.29",
      "F124: Average Respirator Factor %: 170 for 8.5 years = 20.00",
      "F121: Respirator Period Dust Reducible By DSM % = 64.12",
      "F125: Respirator Period Irreducible minimum dust % = 35.88",
      "F126: Reduction in dust through respirator correction = 7.18",
      "F131: Reduction in dust through respirator correction - progressively capped = 7.18",
      "F127: Respirator Period total tortious dust % = 71.29",
      "F137: Average Total tortious dust post limitation - with progressively capped "
      "respirator correction % = 54.46",
      "F144: Recoverable Proportion of Quantum (before smoking adjustment) % = 45.68",
      "F153: Recoverable Proportion of Quantum (after smoking adjustment) % = 30.13",
      "Total tortious value post limitation with progressively capped respirator correction "
      "for all jobs = 1416.00",
      "Total tortious value post limitation for CARROW ESTATES, LTD = 320.00",
      "Proportion of liability for CARROW ESTATES, LTD % = 22.60",
      "Final Proportion of Quantum for CARROW ESTATES, LTD % = 6.81",
      "Proportion of liability remaining % = 77.40",
      "Proportion of Quantum remaining % = 23.32",
      "Total Weighted Units post Limitation for all jobs not already proportioned = 32.25",
      "Total Weighted Units post Limitation for NCB/BC = 28.50",
      "Proportion of liability for NCB/BC % = 68.40",
      "Final Proportion of Quantum for NCB/BC % = 20.61",
      "Total Weighted Units post Limitation for SMALL MINE: PIT LANE = 3.75",
      "Proportion of liability for SMALL MINE: PIT LANE % = 9.00",
      "Final Proportion of Quantum for SMALL MINE: PIT LANE % = 2.71",
  };
  // Each in order, others between them.
  size_t at = 0;
  for (const char* line : expected) {
    while (at < lines_.size() && lines_[at] != line) ++at;
    ASSERT_LT(at, lines_.size()) << "missing or out of order: " << line;
  }
  EXPECT_FALSE(HasLine("Colliery: Ashby Main, area: North from 1955 to 1965"));
}

}  // namespace
}  // namespace orv::dust::calctest
