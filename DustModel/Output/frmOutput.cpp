#include "frmOutput.h"

#include <QAction>
#include <QApplication>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>
#include <QCloseEvent>
#include <QDate>
#include <QRegularExpression>
#include <cmath>
#include <filesystem>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QToolBar>

#include "ReportRenderer.h"
#include "MessageBox.h"
#include "OrvError.h"
#include "Shell.h"
#include "clsFileDialog.h"

namespace orv::dusto {

namespace {
// Where the last PDF was saved, kept beside the window's position.
constexpr const char* kPdfFolderKey = "PdfFolder";
constexpr int kMinimumWidthPixels = 620;
constexpr int kMinimumHeightPixels = 460;
constexpr int kDesignWidthPixels = 860;
constexpr int kDesignHeightPixels = 700;
}  // namespace

QString SuggestedPdfName(const std::string& header, const QDate& date) {
  // The header reads "Dust Calculation for <name>\r\nRef: <ref>\tZURIR Ref: ...".
  const QString text = QString::fromStdString(header);
  // A comparison's reads "Dust Calculation Comparison for <name>...".
  static const QRegularExpression name_at(
      QStringLiteral("Dust Calculation (Comparison )?for ([^\r\n]*)"));
  static const QRegularExpression ref_at(QStringLiteral("Ref: ([^\t\r\n]*)"));
  const QRegularExpressionMatch named = name_at.match(text);
  const QStringList words = named.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
  QStringList parts;
  if (!words.isEmpty()) parts << words.last();
  const QString ref = ref_at.match(text).captured(1).trimmed();
  if (!ref.isEmpty()) parts << ref;
  if (named.capturedLength(1) > 0) parts << QStringLiteral("comparison");
  parts << date.toString(Qt::ISODate);
  QString name = parts.join(QLatin1Char(' '));
  // Characters a file name cannot carry on the desktops we serve.
  static const QRegularExpression unsafe(QStringLiteral("[/\\\\:*?\"<>|]"));
  name.replace(unsafe, QStringLiteral("-"));
  return name + QStringLiteral(".pdf");
}

frmOutput::frmOutput(const ReportDocument& document, std::shared_ptr<ErrorHandler> error_handler,
                     QWidget* parent)
    : QMainWindow(parent), document_(document), error_handler_(std::move(error_handler)) {
  setObjectName("frmOutput");
  setWindowTitle("Dust Model Output");
  ApplyReportPageSetup(printer_);
  preview_ = new QPrintPreviewWidget(&printer_, this);
  preview_->setZoomMode(QPrintPreviewWidget::FitToWidth);
  setCentralWidget(preview_);
  connect(preview_, &QPrintPreviewWidget::paintRequested, this, &frmOutput::PaintPreview);
  BuildMenu();
  BuildToolBar();

  resize(kDesignWidthPixels, kDesignHeightPixels);
  form_size_.SetMinimumSizeInPixels(kMinimumWidthPixels, kMinimumHeightPixels);
  int32_t left = 0, top = 0, width = kDesignWidthPixels, height = kDesignHeightPixels;
  // Opened for the first time, the preview sits over the window the report
  // was asked from (the host's main window), else in the middle of the screen.
  QWidget* over = parent ? parent->window() : QApplication::activeWindow();
  if (over == this) over = nullptr;
  if (over) {
    const QRect frame = over->frameGeometry();
    left = frame.center().x() - width / 2;
    top = frame.center().y() - height / 2;
  }
  form_size_.SetDefaultSizeInPixels(left, top, width, height, over == nullptr);
  form_size_.SetForm(this);
}

frmOutput::~frmOutput() = default;

void frmOutput::BuildMenu() {
  QMenu* file = menuBar()->addMenu("&File");
  print_ = file->addAction("&Print");
  print_->setShortcut(QKeySequence::Print);
  file->addSeparator();
  save_pdf_ = file->addAction("&Save as PDF...");
  file->addSeparator();
  close_ = file->addAction("&Close");
  close_->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
  connect(print_, &QAction::triggered, this, &frmOutput::PrintDocument);
  connect(save_pdf_, &QAction::triggered, this, &frmOutput::SaveAsPdf);
  connect(close_, &QAction::triggered, this, &QWidget::close);
}

// The toolbar: printing and saving beside the preview's own controls (zoom
// and page turning) and the page the operator is looking at.
void frmOutput::BuildToolBar() {
  QToolBar* bar = addToolBar("Preview");
  bar->setMovable(false);
  bar->setObjectName("previewToolBar");
  bar->setAccessibleName("Preview tools");
  bar->addAction(print_);
  save_pdf_->setIconText("Save as PDF...");
  bar->addAction(save_pdf_);
  bar->addSeparator();
  const auto add = [&](const char* text, const char* tip, auto slot) {
    QAction* a = bar->addAction(text);
    a->setToolTip(tip);
    connect(a, &QAction::triggered, preview_, slot);
    return a;
  };
  add("Fit width", "Fit the page to the window's width", [this] { preview_->fitToWidth(); });
  add("Whole page", "Show the whole page", [this] { preview_->fitInView(); });
  add("Zoom in", "Zoom in (25% more)", [this] { Zoom(+1); });
  add("Zoom out", "Zoom out (25% less)", [this] { Zoom(-1); });
  bar->addSeparator();
  previous_page_ = add("Previous page", "Previous page",
                       [this] { preview_->setCurrentPage(preview_->currentPage() - 1); });
  page_label_ = new QLabel(bar);
  page_label_->setObjectName("lblPage");
  page_label_->setAccessibleName("Page number");
  page_label_->setContentsMargins(8, 0, 8, 0);
  bar->addWidget(page_label_);
  next_page_ = add("Next page", "Next page",
                   [this] { preview_->setCurrentPage(preview_->currentPage() + 1); });
  // The preview tells of every change of its pages, the page in view included.
  connect(preview_, &QPrintPreviewWidget::previewChanged, this, &frmOutput::UpdatePageNumber);
  if (auto* view = preview_->findChild<QAbstractScrollArea*>())
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &frmOutput::UpdatePageNumber);
  UpdatePageNumber();
}

void frmOutput::Zoom(int steps) {
  // Steps of a quarter of the page's real size, never below one quarter.
  const double now = preview_->zoomFactor();
  const double step = 0.25;
  const double next = std::max(step, (std::round(now / step) + steps) * step);
  auto* view = preview_->findChild<QAbstractScrollArea*>();
  // The page in view stays in view: the same point of it is kept at the
  // middle of the window, not the blank margin beside it.
  double x = 0.5, y = 0.5;
  if (view) {
    const QScrollBar* h = view->horizontalScrollBar();
    const QScrollBar* v = view->verticalScrollBar();
    x = (h->value() + h->pageStep() / 2.0) / std::max(1, h->maximum() + h->pageStep());
    y = (v->value() + v->pageStep() / 2.0) / std::max(1, v->maximum() + v->pageStep());
  }
  preview_->setZoomMode(QPrintPreviewWidget::CustomZoom);
  preview_->setZoomFactor(next);
  if (view) {
    QScrollBar* h = view->horizontalScrollBar();
    QScrollBar* v = view->verticalScrollBar();
    h->setValue(static_cast<int>(x * (h->maximum() + h->pageStep()) - h->pageStep() / 2.0));
    v->setValue(static_cast<int>(y * (v->maximum() + v->pageStep()) - v->pageStep() / 2.0));
  }
}

void frmOutput::UpdatePageNumber() {
  const int count = preview_->pageCount();
  int current = count == 0 ? 0 : std::clamp(preview_->currentPage(), 1, count);
  // The preview counts the page at the middle of the view; scrolled to the end, the last page
  // is in view even when it cannot reach the middle.
  if (auto* view = preview_->findChild<QAbstractScrollArea*>()) {
    const QScrollBar* bar = view->verticalScrollBar();
    if (bar->maximum() > 0 && bar->value() == bar->maximum()) current = count;
  }
  page_label_->setText(QStringLiteral("Page %1 of %2").arg(current).arg(count));
  previous_page_->setEnabled(current > 1);
  next_page_->setEnabled(current < count);
}

QString frmOutput::PageNumberText() const { return page_label_->text(); }

void frmOutput::PaintPreview(QPrinter* printer) {
  try {
    RenderReport(document_, *printer);
  } catch (...) {
    // A repaint is no moment for a message box: the failure is logged.
    try {
      error_handler_->Raise(0, "frmOutput:Preview", "Trying to show the calculation results", {}, 0,
                            5);
    } catch (...) {
      // The reporter itself failed; the preview stays empty.
    }
  }
}

void frmOutput::RefreshPreview() {
  preview_->updatePreview();
  UpdatePageNumber();
}

int frmOutput::PageCount() const { return preview_->pageCount(); }

void frmOutput::ShowWindow() {
  position_saved_ = false;
  show();
  raise();
  activateWindow();
}

void frmOutput::Unload() { close(); }

void frmOutput::PrintDocument() {
  QPrintDialog dialog(&printer_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  try {
    RenderReport(document_, printer_);
  } catch (...) {
    try {
      error_handler_->Raise(0, "frmOutput:Print", "Trying to print calculation results", {}, 0, 3);
    } catch (...) {
      // The reporter itself failed; nothing more can be told.
    }
  }
}

void frmOutput::SaveAsPdf() {
  try {
    clsFileDialog dialog;
    // The dialog shows the pattern after the description.
    std::string file = SuggestedPdfName(document_.Header(), QDate::currentDate()).toStdString();
    std::string title, filter = "PDF document|*.pdf";
    int32_t index = 1, flags = 0;
    const std::string folder = form_size_.GetBaggage(kPdfFolderKey);
    if (dialog.DialogGetSaveFileName(file, title, true, filter, index, folder,
                                     "Save output to PDF file", "pdf", this, flags)) {
      WriteReportPdf(document_, file);
      form_size_.SaveBaggage(kPdfFolderKey,
                             std::filesystem::path(file).parent_path().string());
      OpenSavedPdf(file);
    }
  } catch (...) {
    try {
      error_handler_->Raise(0, "frmOutput:PDF File Output",
                            "Trying to output calculation results to a PDF file", {}, 0, 3);
    } catch (...) {
      // The reporter itself failed; the window stays open regardless.
    }
  }
}

// The file is saved by now: a missing or failing opener is told as such, not
// as a failed save. The opener ends on its own, later: its word that it could
// not open the file (no PDF viewer installed) comes back to this thread.
void frmOutput::OpenSavedPdf(const std::string& file) {
  const auto tell = [file](const std::string& why) {
    MsgBox("The report was saved as " + file + ", but it could not be opened: " + why,
           mb::kInformation, "Dust Model Output");
  };
  try {
    ShellOpen(file, [tell](const std::string& why) {
      QCoreApplication* app = QCoreApplication::instance();
      if (!app) return;
      QMetaObject::invokeMethod(app, [tell, why] { tell(why + "."); }, Qt::QueuedConnection);
    });
  } catch (const OrvError& e) {
    tell(e.Description());
  }
}

void frmOutput::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  try {
    form_size_.AdjustToMinimum();
  } catch (...) {
    // Resizing is best effort.
  }
}

void frmOutput::closeEvent(QCloseEvent* event) {
  if (!position_saved_) {
    form_size_.SavePosition();
    position_saved_ = true;
  }
  event->accept();
}

}  // namespace orv::dusto
