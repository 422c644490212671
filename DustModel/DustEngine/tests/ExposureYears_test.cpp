// The year series behind the exposure chart, on the long history worked by
// hand in DustModelHistory_test.cpp (K(x) = x / 2, limitation 1960 at 0.5):
// its values year by year, its sums against every total of the report, and
// the chart at the end of the preview and the HTML file, which leaves every
// report line as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <set>

#include "CalcFixture.h"
#include "Numbers.h"
#include "Registry.h"
#include "ReportHtml.h"

namespace orv::dust::calctest {
namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class ExposureYears : public CalcFixture {
 protected:
  bool RunLong() {
    return Run(
        {
            Job(101, 1955, 1965, 1, 1),
            Job(102, 1966, 1971, 2, 1),
            Job(101, 1972, 1972, 6, 6),
            Job(101, 1973, 1980, 1, 2),
            Job(103, 1981, 1985, 1, 2),
            Job(904, 1986, 1988, 20, 5, "Pit Lane"),
            Job(102, 1990, 1992, 3, 4),
        },
        {Smoke("L", 0, 1960, 1980), Smoke("H", 12)});
  }
  const orv::ExposureYear& At(int job, int year) const {
    for (const orv::ExposureYear& e : model_->Years())
      if (e.job == job && e.year == year) return e;
    throw std::runtime_error("no such year");
  }
};

TEST_F(ExposureYears, EachYearAsWorkedByHand) {
  ASSERT_TRUE(RunLong());
  using K = orv::ExposureKind;
  struct Case {
    int job, year;
    K kind;
    float dust_share, weighted, insult;
    bool post;
    float post_share, post_insult, tortious, resp_share, resp_reduction;
    bool resp_period;
  };
  const Case cases[] = {
      // First year halved, before the limitation date.
      {1, 1955, K::kDust, 0.5f, 2, 1, false, 0, 0, 0, 0, 0, false},
      // The limitation year, whole, counts half after the date.
      {1, 1960, K::kDust, 1, 4, 2, true, 0.5f, 1, 25, 0, 0, false},
      {2, 1966, K::kDust, 1, 1, 0.5f, true, 1, 0.5f, 40, 0, 0, false},
      // A strike job and a strike year of the matrix.
      {3, 1972, K::kStrike, 0, 0, 0, true, 0, 0, 0, 0, 0, false},
      {4, 1977, K::kStrike, 0, 0, 0, true, 0, 0, 0, 1, 20, true},
      // The respirator from mid 1975: half the year inside the period.
      {4, 1974, K::kDust, 1, 4, 2, true, 1, 2, 50, 0, 0, false},
      {4, 1975, K::kDust, 1, 4, 2, true, 1, 2, 50, 0.5f, 10, true},
      {4, 1976, K::kDust, 1, 4, 2, true, 1, 2, 50, 1, 20, true},
      // A surface job, its first year halved after a gap, time in dust 0.5.
      {7, 1990, K::kDust, 0.25f, 0.25f, 0.125f, true, 0.25f, 0.125f, 5, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year);
    const orv::ExposureYear& e = At(c.job, c.year);
    EXPECT_EQ(e.kind, c.kind);
    EXPECT_FLOAT_EQ(e.dust_share, c.dust_share);
    EXPECT_FLOAT_EQ(e.weighted_pxr, c.weighted);
    EXPECT_FLOAT_EQ(e.weighted_dust_insult, c.insult);
    EXPECT_EQ(e.post_limitation, c.post);
    EXPECT_FLOAT_EQ(e.post_limitation_share, c.post_share);
    EXPECT_FLOAT_EQ(e.post_limitation_insult, c.post_insult);
    EXPECT_FLOAT_EQ(e.tortious, c.tortious);
    EXPECT_FLOAT_EQ(e.respirator_share, c.resp_share);
    EXPECT_FLOAT_EQ(e.respirator_reduction, c.resp_reduction);
    EXPECT_EQ(e.respirator_period, c.resp_period);
  }
  EXPECT_EQ(At(6, 1986).colliery, "Small Mines Area Average");
  EXPECT_EQ(At(1, 1960).marker, "SURVEY");
  EXPECT_EQ(At(1, 1960).job_factor, "Face Worker");
}

TEST_F(ExposureYears, AddUpToEveryJobTotalAndTheClaimantTotals) {
  ASSERT_TRUE(RunLong());
  const std::vector<orv::ExposureYear>& years = model_->Years();
  // One entry per year of every job, in the order worked.
  ASSERT_EQ(years.size(), 37u);
  EXPECT_TRUE(std::is_sorted(years.begin(), years.end(), [](const auto& a, const auto& b) {
    return a.job < b.job || (a.job == b.job && a.year < b.year);
  }));
  // Added in the order the calculation adds them: the sums are exact.
  struct Sums {
    float weighted = 0, post_pxr = 0, tortious = 0;
  };
  std::map<int, Sums> jobs;
  float post_share = 0, tortious = 0, resp_share = 0;
  for (const orv::ExposureYear& e : years) {
    Sums& s = jobs[e.job];
    s.weighted += e.weighted_pxr;
    s.post_pxr += e.post_limitation_pxr;
    s.tortious += e.tortious;
    tortious += e.tortious;
    post_share += e.post_limitation_share;
  }
  float claimant_weighted = 0;
  for (int n = 1; n <= 7; ++n) {
    SCOPED_TRACE(n);
    const Sums& s = jobs[n];
    EXPECT_EQ(s.weighted / 2, JobAt(n).CumulativeWeightedDustInsultUnits());
    EXPECT_EQ(s.post_pxr / 2, JobAt(n).CumulativeWgtDustInsultUnitsPostLimit());
    EXPECT_EQ(s.tortious, JobAt(n).TortiousPostLimit());
    // The report's line for the job.
    EXPECT_TRUE(HasLine("Cumulative Weighted Dust Insult Units = " +
                        FormatPattern(s.weighted / 2, "0.00")));
    claimant_weighted += s.weighted;
  }
  const ClaimantResults& r = model_->RawResults();
  EXPECT_EQ(claimant_weighted, r.CumulativeWeightedDustPXR);  // short employment factor 1
  EXPECT_EQ(tortious / post_share, r.AveragePostLimitTortiousDustPercent);
  EXPECT_TRUE(HasLine("Cumulative Job Factored PXR after Short employment adjustment = " +
                      FormatPattern(claimant_weighted, "0.00")));
  EXPECT_TRUE(HasLine("Average post limitation date tortious dust % = " +
                      FormatPattern(tortious / post_share, "0.00")));
  // The respirator period: 8.5 years, factor 20 throughout.
  float resp_reduction = 0;
  for (const orv::ExposureYear& e : years) {
    resp_share += e.post_limitation_share * e.respirator_share;
    resp_reduction += e.post_limitation_share * e.respirator_reduction;
  }
  EXPECT_FLOAT_EQ(resp_share, 8.5f);
  EXPECT_FLOAT_EQ(resp_reduction / resp_share, r.AverageRespiratorFactor);
}

TEST_F(ExposureYears, ARefusedOrFailedCalculationLeavesNoSeries) {
  ASSERT_TRUE(RunLong());
  EXPECT_FALSE(model_->Years().empty());
  // Overlapping jobs: refused in the first pass.
  EXPECT_FALSE(Run({Job(101, 1961, 1965, 1, 1), Job(102, 1963, 1966, 1, 1)}));
  EXPECT_TRUE(model_->Years().empty());
  // A closed year beyond the job's allowance: refused in the second pass,
  // after some years were walked.
  EXPECT_FALSE(Run({Job(107, 1968, 1972, 12, 1)}));
  EXPECT_TRUE(model_->Years().empty());
}

TEST_F(ExposureYears, ClosedYearsWithinTheAllowanceAreMarked) {
  // Salvage allowing 1.5 years after closure at Fenwick, closed from 1970.
  ASSERT_TRUE(Run({Job(107, 1968, 1970, 11, 1)}));
  EXPECT_EQ(At(1, 1969).kind, orv::ExposureKind::kDust);
  EXPECT_EQ(At(1, 1970).kind, orv::ExposureKind::kClosed);
  EXPECT_EQ(At(1, 1970).marker, "CLOSED");
}

// A stand-in for the report output object that keeps what reaches it.
class KeepingOutput : public orv::Component, public orv::IOutput {
 public:
  std::string ClassName() const override { return kOutputClassId; }
  void SetHeader(const std::string&) override {}
  void SetFooter(const std::string&) override {}
  void DetailLine(const std::string& l, const std::string& v) override {
    rows.push_back(l + "|" + v);
  }
  void SetExposureChart(const orv::ExposureChartData& c) override { chart = c; }
  void KillDoc() override { rows.clear(), chart.reset(); }
  void StartDoc() override { rows.clear(), chart.reset(); }
  void EndDoc() override {}
  void Show() override {}
  void UnloadForm() override {}
  void SavePdf(const std::string&) override {}
  std::vector<std::string> rows;
  std::optional<orv::ExposureChartData> chart;
};

TEST_F(ExposureYears, PreviewGetsTheChartAfterUnchangedLines) {
  auto output = std::make_shared<KeepingOutput>();
  orv::RegisterFactory(kOutputClassId, [output] { return output; });
  model_->SetPrintDetail(true);
  model_->SetOutputOption(orvShowForm);
  model_->SetIncludeExposureChart(false);
  ASSERT_TRUE(RunLong());
  const std::vector<std::string> without = output->rows;
  EXPECT_FALSE(output->chart);
  model_->SetIncludeExposureChart(true);
  ASSERT_TRUE(RunLong());
  EXPECT_EQ(output->rows, without);
  ASSERT_TRUE(output->chart);
  EXPECT_EQ(output->chart->years.size(), 37u);
  EXPECT_EQ(output->chart->limitation_year, 1960);
  EXPECT_FLOAT_EQ(output->chart->limitation_value, 0.5f);
  EXPECT_FLOAT_EQ(output->chart->recoverable_before_smoking, 45.68f);
  EXPECT_FLOAT_EQ(output->chart->recoverable_after_smoking, 30.13f);
  // A refused calculation: the refusal, no chart.
  EXPECT_FALSE(Run({Job(101, 1961, 1965, 1, 1), Job(102, 1963, 1966, 1, 1)}));
  EXPECT_FALSE(output->chart);
  model_.reset();
  orv::RegisterFactory(kOutputClassId, {});
}

TEST_F(ExposureYears, HtmlEndsWithOneBarPerWorkedYearAfterUnchangedRows) {
  ScratchDir dir;
  const std::string file = dir.File("ORVDUST.HTM");
  model_->SetHTMLFile(file);
  model_->SetOutputOption(orvHTMLFile);
  model_->SetIncludeExposureChart(false);
  ASSERT_TRUE(RunLong());
  const std::vector<std::string> without = ReadLines(file);
  ASSERT_EQ(without.back(), kHtmlEnd);
  model_->SetIncludeExposureChart(true);
  ASSERT_TRUE(RunLong());
  const std::vector<std::string> with = ReadLines(file);
  ASSERT_EQ(with.size(), without.size() + 2);
  EXPECT_TRUE(std::equal(without.begin(), without.end() - 1, with.begin()));
  EXPECT_EQ(with[with.size() - 3], kHtmlTableEnd);
  EXPECT_EQ(with.back(), kHtmlBodyEnd);
  const std::string& svg = with[with.size() - 2];
  EXPECT_EQ(Count(svg, "<g class=\"year\""), 37u);
  EXPECT_EQ(svg.find("data-year=\"1989\""), std::string::npos);  // the gap
  EXPECT_NE(svg.find("Ashby Main (1955-1965, 1972-1980)"), std::string::npos);
  EXPECT_NE(svg.find("30.13% after it"), std::string::npos);

  // Refused: the table with the refusal, then the usual end.
  EXPECT_FALSE(Run({Job(101, 1961, 1965, 1, 1), Job(102, 1963, 1966, 1, 1)}));
  const std::vector<std::string> refused = ReadLines(file);
  EXPECT_EQ(refused.back(), kHtmlEnd);
  for (const std::string& l : refused) EXPECT_EQ(l.find("<svg"), std::string::npos);
}

TEST_F(ExposureYears, AYearSharedByTwoJobsIsOneBar) {
  ScratchDir dir;
  const std::string file = dir.File("ORVDUST.HTM");
  model_->SetHTMLFile(file);
  model_->SetOutputOption(orvHTMLFile);
  // 1965 is the end of one job and the start of the next, half each.
  ASSERT_TRUE(Run({Job(101, 1961, 1965, 1, 1), Job(102, 1965, 1968, 1, 1)}));
  std::set<int> distinct;
  for (const orv::ExposureYear& e : model_->Years()) distinct.insert(e.year);
  EXPECT_EQ(model_->Years().size(), 9u);
  EXPECT_EQ(distinct.size(), 8u);
  const std::vector<std::string> html = ReadLines(file);
  EXPECT_EQ(Count(html[html.size() - 2], "<g class=\"year\""), 8u);
}

}  // namespace
}  // namespace orv::dust::calctest
