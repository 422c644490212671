// Fills the preview with a long detailed report and saves a picture of the
// window (and of one page at full size) to the PNG files named on the
// command line.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>

#include "Output.h"
#include "ReportRenderer.h"
#include "SampleReport.h"
#include "frmOutput.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString window_png = argc > 1 ? argv[1] : "preview.png";
  const QString page_png = argc > 2 ? argv[2] : "page.png";
  orv::dusto::Output output;
  orv::dusto::testing::FeedSample(output, 5, 8);
  output.Show();
  orv::dusto::frmOutput* w = output.Window();
  w->resize(900, 1000);
  QTimer::singleShot(500, [&] {
    w->grab().save(window_png);
    // One page as the printer would get it, at 150 dots per inch.
    QImage page(1240, 1754, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPrinter printer(QPrinter::HighResolution);
    orv::dusto::ApplyReportPageSetup(printer);
    printer.setOutputFileName("/tmp/orvdusto_preview_shot.pdf");
    orv::dusto::RenderReport(output.Document(), printer);
    output.UnloadForm();
    app.quit();
  });
  return app.exec();
}
