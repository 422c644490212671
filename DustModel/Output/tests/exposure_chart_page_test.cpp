// The exposure chart's page: after the report's last line, in the PDF file
// as in the preview, found by its title and caption; gone with the next
// document.
#include <gtest/gtest.h>

#include <QPdfWriter>
#include <filesystem>

#include "Output.h"
#include "PdfText.h"
#include "ReportRenderer.h"
#include "SampleReport.h"
#include "TempDir.h"

namespace orv::dusto {
namespace {

using testing::PdfPages;
using testing::SampleLines;

// Twenty years at three collieries, the limitation date in the middle.
ExposureChartData SampleChart() {
  ExposureChartData d;
  const char* names[] = {"Barrowfield", "Kelmscott Main", "Hollin Bank"};
  for (int y = 1950; y < 1970; ++y) {
    ExposureYear e;
    e.year = static_cast<int16_t>(y);
    e.job = 1 + (y - 1950) / 7;
    e.colliery_id = e.job;
    e.colliery = names[e.job - 1];
    e.weighted_dust_insult = 2.5f - (y - 1950) * 0.05f;
    e.post_limitation = y >= 1960;
    e.post_limitation_insult = e.post_limitation ? e.weighted_dust_insult : 0;
    e.tortious_percent = 60;
    e.respirator_period = y >= 1965;
    d.years.push_back(e);
  }
  d.limitation_year = 1960;
  d.limitation_value = 0.5f;
  d.recoverable_before_smoking = 45.68f;
  d.recoverable_after_smoking = 30.13f;
  d.smoking_insult = 28;
  return d;
}

// The report as the engine hands it over: the lines, then the chart.
void Feed(Output& output, bool chart) {
  output.KillDoc();
  output.StartDoc();
  output.SetHeader(testing::SampleHeader());
  output.SetFooter("Page %d");
  for (const testing::SampleLine& l : SampleLines(3, 6)) output.DetailLine(l.line, l.value);
  if (chart) output.SetExposureChart(SampleChart());
  output.EndDoc();
}

TEST(ExposureChartPage, APageOfItsOwnAfterTheLastReportLine) {
  if (!testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  orv::test::TempDir dir;
  Output output;
  Feed(output, false);
  output.SavePdf(dir.File("without.pdf"));
  const std::vector<std::string> without = PdfPages(dir.File("without.pdf"));
  Feed(output, true);
  output.SavePdf(dir.File("with.pdf"));
  const std::vector<std::string> with = PdfPages(dir.File("with.pdf"));

  ASSERT_EQ(with.size(), without.size() + 1);
  // The report's pages are as they were; the chart's page follows the one
  // with the last line, under the same header and with the next number.
  for (size_t i = 0; i < without.size(); ++i) EXPECT_EQ(with[i], without[i]) << "page " << i + 1;
  const std::string last_line = SampleLines(3, 6).back().line;
  EXPECT_NE(with[with.size() - 2].find(last_line), std::string::npos) << with[with.size() - 2];
  const std::string& chart = with.back();
  EXPECT_NE(chart.find(kExposureChartTitle), std::string::npos);
  EXPECT_NE(chart.find("Recoverable proportion of quantum: 45.68% before the smoking adjustment,"),
            std::string::npos)
      << chart;
  EXPECT_NE(chart.find("30.13% after it."), std::string::npos);
  EXPECT_NE(chart.find("Kelmscott Main (1957-1963)"), std::string::npos);
  EXPECT_NE(chart.find("Dust Calculation for Arthur Pennock"), std::string::npos);
  EXPECT_NE(chart.find("Page " + std::to_string(with.size())), std::string::npos);
  EXPECT_EQ(chart.find(last_line), std::string::npos);
  for (size_t i = 0; i + 1 < with.size(); ++i)
    EXPECT_EQ(with[i].find(kExposureChartTitle), std::string::npos);
}

TEST(ExposureChartPage, TheNextDocumentStartsWithoutIt) {
  Output output;
  Feed(output, true);
  ASSERT_NE(output.Document().ExposureChart(), nullptr);
  output.StartDoc();
  EXPECT_EQ(output.Document().ExposureChart(), nullptr);
  Feed(output, true);
  output.KillDoc();
  EXPECT_EQ(output.Document().ExposureChart(), nullptr);
}

TEST(ExposureChartPage, AChartWithoutLinesStillGetsItsOwnPage) {
  orv::test::TempDir dir;
  ReportDocument document;
  document.StartDoc();
  document.SetExposureChart(SampleChart());
  document.EndDoc();
  QPdfWriter writer(QString::fromStdString(dir.File("chart.pdf")));
  ApplyReportPageSetup(writer);
  EXPECT_EQ(RenderReport(document, writer), 2);
}

}  // namespace
}  // namespace orv::dusto
