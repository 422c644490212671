// Fills the preview with a long detailed report, saves a picture of the
// window to the PNG file named first on the command line and the report as
// PDF to the file named second.
#include <QApplication>
#include <QTimer>

#include "Output.h"
#include "SampleReport.h"
#include "frmOutput.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString window_png = argc > 1 ? argv[1] : "preview.png";
  const std::string pdf = argc > 2 ? argv[2] : "preview.pdf";
  orv::dusto::Output output;
  orv::dusto::testing::FeedSample(output, 5, 8);
  output.Show();
  orv::dusto::frmOutput* w = output.Window();
  w->resize(900, 1000);
  QTimer::singleShot(500, [&] {
    w->grab().save(window_png);
    output.SavePdf(pdf);
    output.UnloadForm();
    app.quit();
  });
  return app.exec();
}
