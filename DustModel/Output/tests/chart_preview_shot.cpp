// Fills the preview with a report and its exposure chart, turns to the
// chart's page and saves a picture of the window to the PNG file named on
// the command line: for looking at the chart as the operator sees it, not
// a test.
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QTimer>

#include "Output.h"
#include "SampleChart.h"
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
  output.SetExposureChart(orv::dusto::testing::SampleChart());
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
