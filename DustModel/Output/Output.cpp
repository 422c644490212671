#include "Output.h"

#include <QtGlobal>

#include <QGuiApplication>

#include "GuiApplication.h"
#include "OrvError.h"
#include "ReportRenderer.h"
#include "frmOutput.h"

namespace orv::dusto {

namespace {

// Set when this library had to make the process's application object: the
// host is a command-line program without one.
bool g_windowless_host = false;

// Qt's own notes (platform plugin remarks, missing runtime folders) are not
// for a command-line program's users; its errors still go through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    qt_message_output(type, context, text);
}

}  // namespace

bool WindowlessHost() { return g_windowless_host; }

bool EnsureApplication() {
  if (!QCoreApplication::instance()) {
    qInstallMessageHandler(QuietQtMessages);
    g_windowless_host = true;
  }
  return EnsureWidgetApplication();
}

namespace {

// The library's error reporter: made by the first Output and kept while any
// Output lives, so that no window is ever left holding a released one.
std::shared_ptr<ErrorHandler> LibraryErrorHandler() {
  static std::weak_ptr<ErrorHandler> shared;
  std::shared_ptr<ErrorHandler> handler = shared.lock();
  if (!handler) {
    handler = std::make_shared<ErrorHandler>("orvdusto");
    shared = handler;
  }
  return handler;
}

}  // namespace

Output::Output() : error_handler_(LibraryErrorHandler()) {}

Output::~Output() {
  // The window goes with the object; unloading it first keeps its position.
  try {
    UnloadForm();
  } catch (...) {
    // Nothing can be reported from a destructor.
  }
}

void Output::Refresh() {
  if (form_) form_->RefreshPreview();
}

void Output::SetHeader(const std::string& text) { document_.SetHeader(text); }

void Output::SetFooter(const std::string& text) { document_.SetFooter(text); }

void Output::DetailLine(const std::string& sLine, const std::string& sValue) {
  document_.DetailLine(sLine, sValue);
}

void Output::CompareLine(const std::string& aLine, const std::string& aValue,
                         const std::string& bLine, const std::string& bValue, bool differs) {
  document_.CompareLine(aLine, aValue, bLine, bValue, differs);
}

void Output::SetExposureChart(const ExposureChartData& chart) { document_.SetExposureChart(chart); }

void Output::KillDoc() {
  document_.KillDoc();
  Refresh();
}

void Output::StartDoc() { document_.StartDoc(); }

void Output::EndDoc() {
  document_.EndDoc();
  Refresh();
}

void Output::Show() {
  if (!EnsureApplication())
    throw OrvError(err::kCantCreateObject, "Output:Show",
                   "The host's application object cannot show windows");
  // A command-line host has nobody to look at a window: the report stays
  // ready for SavePdf, and no window (nor its remembered position) is made.
  if (WindowlessHost()) return;
  if (!form_) {
    form_ = std::make_unique<frmOutput>(document_, error_handler_);
    form_->RefreshPreview();
  }
  form_->ShowWindow();
}

void Output::UnloadForm() {
  if (!form_) return;
  form_->Unload();
  form_.reset();
}

void Output::SavePdf(const std::string& path) {
  (void)EnsureApplication();
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw OrvError(err::kCantCreateObject, "Output:SavePdf",
                   "The host's application object cannot lay out text");
  WriteReportPdf(document_, path);
}

}  // namespace orv::dusto
