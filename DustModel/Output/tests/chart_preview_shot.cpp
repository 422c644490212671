// Fills the preview with a report and its exposure chart, turns to the
// chart's page and saves a picture of the window to the PNG file named on
// the command line: for looking at the chart as the operator sees it, not
// a test.
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QTimer>

#include "Output.h"
#include "SampleReport.h"
#include "frmOutput.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString window_png = argc > 1 ? argv[1] : "chart-preview.png";
  orv::dusto::Output output;
  output.KillDoc();
  output.StartDoc();
  output.SetHeader(orv::dusto::testing::SampleHeader());
  output.SetFooter("Page %d");
  for (const auto& l : orv::dusto::testing::SampleLines(4, 9)) output.DetailLine(l.line, l.value);
  orv::ExposureChartData chart;
  const char* names[] = {"Barrowfield", "Kelmscott Main", "Hollin Bank", "Stannerby"};
  for (int y = 1950; y < 1986; ++y) {
    orv::ExposureYear e;
    e.year = static_cast<int16_t>(y);
    e.job = 1 + (y - 1950) / 9;
    e.colliery_id = e.job;
    e.colliery = names[e.job - 1];
    e.kind = y == 1972 || y == 1984 ? orv::ExposureKind::kStrike : orv::ExposureKind::kDust;
    e.weighted_dust_insult = e.kind == orv::ExposureKind::kStrike ? 0 : 3.2f - (y - 1950) * 0.06f;
    e.post_limitation = y >= 1954;
    e.post_limitation_insult = e.post_limitation ? e.weighted_dust_insult : 0;
    e.tortious_percent = 72 - (y - 1950);
    e.respirator_period = y >= 1975;
    chart.years.push_back(e);
  }
  chart.limitation_year = 1954;
  chart.limitation_value = 0.5f;
  chart.recoverable_before_smoking = 48.31f;
  chart.recoverable_after_smoking = 35.02f;
  chart.smoking_insult = 18.2f;
  output.SetExposureChart(chart);
  output.EndDoc();
  output.Show();
  orv::dusto::frmOutput* w = output.Window();
  w->resize(900, 1000);
  QTimer::singleShot(500, [&] {
    w->Preview()->fitInView();
    w->Preview()->setCurrentPage(w->PageCount());
    QTimer::singleShot(300, [&] {
      w->grab().save(window_png);
      output.UnloadForm();
      app.quit();
    });
  });
  return app.exec();
}
