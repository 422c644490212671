#include "frmOutput.h"

#include <QAction>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QToolBar>

#include "ReportRenderer.h"
#include "MessageBox.h"
#include "clsFileDialog.h"

namespace orv::dusto {

namespace {
constexpr int kMinimumWidthPixels = 620;
constexpr int kMinimumHeightPixels = 460;
constexpr int kDesignWidthPixels = 860;
constexpr int kDesignHeightPixels = 700;
}  // namespace

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
  form_size_.SetDefaultSizeInPixels(left, top, width, height, true);
  form_size_.SetForm(this);
}

frmOutput::~frmOutput() = default;

void frmOutput::BuildMenu() {
  QMenu* file = menuBar()->addMenu("&File");
  print_ = file->addAction("&Print");
  print_->setShortcut(QKeySequence::Print);
  file->addSeparator();
  save_pdf_ = file->addAction("&Save as Adobe Acrobat PDF");
  file->addSeparator();
  close_ = file->addAction("&Close");
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
  save_pdf_->setIconText("Save as PDF");
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
  add("Zoom in", "Zoom in", [this] { preview_->zoomIn(); });
  add("Zoom out", "Zoom out", [this] { preview_->zoomOut(); });
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
    std::string file, title, filter = "Portable Document Format(*.pdf)|*.pdf";
    int32_t index = 1, flags = 0;
    if (dialog.DialogGetSaveFileName(file, title, true, filter, index, "",
                                     "Save output to PDF file", "pdf", this, flags)) {
      WriteReportPdf(document_, file);
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
// as a failed save.
void frmOutput::OpenSavedPdf(const std::string& file) {
  try {
    clsFileDialog::NavigateTo(file, this);
  } catch (const OrvError& e) {
    MsgBox("The report was saved as " + file + ", but it could not be opened: " + e.Description(),
           mb::kInformation, "Dust Model Output");
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
