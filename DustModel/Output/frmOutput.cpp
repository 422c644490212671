#include "frmOutput.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QToolBar>

#include "ReportRenderer.h"
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
  file->addSeparator();
  save_pdf_ = file->addAction("&Save as Adobe Acrobat PDF");
  file->addSeparator();
  close_ = file->addAction("&Close");
  connect(print_, &QAction::triggered, this, &frmOutput::PrintDocument);
  connect(save_pdf_, &QAction::triggered, this, &frmOutput::SaveAsPdf);
  connect(close_, &QAction::triggered, this, &QWidget::close);
}

// The preview's own controls: zoom and page turning.
void frmOutput::BuildToolBar() {
  QToolBar* bar = addToolBar("Preview");
  bar->setMovable(false);
  bar->setObjectName("previewToolBar");
  connect(bar->addAction("Fit width"), &QAction::triggered, preview_,
          &QPrintPreviewWidget::fitToWidth);
  connect(bar->addAction("Whole page"), &QAction::triggered, preview_,
          &QPrintPreviewWidget::fitInView);
  connect(bar->addAction("Zoom in"), &QAction::triggered, preview_, [this] { preview_->zoomIn(); });
  connect(bar->addAction("Zoom out"), &QAction::triggered, preview_,
          [this] { preview_->zoomOut(); });
  bar->addSeparator();
  connect(bar->addAction("Previous page"), &QAction::triggered, preview_,
          [this] { preview_->setCurrentPage(preview_->currentPage() - 1); });
  connect(bar->addAction("Next page"), &QAction::triggered, preview_,
          [this] { preview_->setCurrentPage(preview_->currentPage() + 1); });
}

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

void frmOutput::RefreshPreview() { preview_->updatePreview(); }

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
      clsFileDialog::NavigateTo(file, this);
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
