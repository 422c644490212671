// The exposure chart's page: after the report's last line, in the PDF file
// as in the preview, found by its title and caption; gone with the next
// document.
#include <gtest/gtest.h>

#include <QPdfWriter>
#include <filesystem>

#include "Output.h"
#include "PdfText.h"
#include "ReportRenderer.h"
#include "SampleChart.h"
#include "SampleReport.h"
#include "TempDir.h"

namespace orv::dusto {
namespace {

using orv::testing::PdfPages;
using testing::SampleChart;
using testing::SampleLines;

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
  if (!orv::testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
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
  EXPECT_NE(chart.find("Recoverable proportion of quantum: 48.31% before the smoking adjustment,"),
            std::string::npos)
      << chart;
  EXPECT_NE(chart.find("35.02% after it."), std::string::npos);
  EXPECT_NE(chart.find("Kelmscott Main (1959-1967)"), std::string::npos);
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
