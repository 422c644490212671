// The preview window: the paged report with printing and saving as PDF.
// Caption "Dust Model Output"; menu "&File" with "&Print" (Ctrl+P), "&Save
// as PDF..." and "&Close" (Esc, Ctrl+W); a toolbar with Print, Save as
// PDF..., the zoom buttons (steps of 25%), page turning and "Page N of M". It remembers its position under its own name
// "frmOutput" and does not shrink below 620 by 460 pixels.
#pragma once

#include <QMainWindow>
#include <QPrinter>
#include <memory>

#include "ErrorHandler.h"
#include "FormSize.h"
#include "ReportDocument.h"

class QAction;
class QDate;
class QLabel;
class QPrintPreviewWidget;

namespace orv::dusto {

// The file name the save dialog suggests for a report: the claimant's
// surname, the reference and the date, taken from the report's header.
QString SuggestedPdfName(const std::string& header, const QDate& date);

class frmOutput : public QMainWindow {
  Q_OBJECT

 public:
  // Shows `document`, which must outlive the window. Restores the stored
  // position; fails with error 13 when a stored value is not a number.
  frmOutput(const ReportDocument& document, std::shared_ptr<ErrorHandler> error_handler,
            QWidget* parent = nullptr);
  ~frmOutput() override;

  // Lays the pages out again after the document changed.
  void RefreshPreview();
  // Shows the window, or brings it to the front, without waiting.
  void ShowWindow();
  // Saves the window's position and hides it.
  void Unload();

  // The menu commands.
  void PrintDocument();
  void SaveAsPdf();

  int PageCount() const;
  QPrintPreviewWidget* Preview() const { return preview_; }
  QAction* PrintAction() const { return print_; }
  QAction* SavePdfAction() const { return save_pdf_; }
  QAction* CloseAction() const { return close_; }
  // "Page N of M" as the toolbar shows it.
  QString PageNumberText() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildToolBar();
  void PaintPreview(QPrinter* printer);
  void UpdatePageNumber();
  // Zooms by that many quarter steps (negative: out).
  void Zoom(int steps);
  void OpenSavedPdf(const std::string& file);

  const ReportDocument& document_;
  std::shared_ptr<ErrorHandler> error_handler_;
  FormSize form_size_{"orvdusto"};
  QPrinter printer_{QPrinter::HighResolution};
  QPrintPreviewWidget* preview_ = nullptr;
  QAction* print_ = nullptr;
  QAction* save_pdf_ = nullptr;
  QAction* close_ = nullptr;
  QAction* previous_page_ = nullptr;
  QAction* next_page_ = nullptr;
  QLabel* page_label_ = nullptr;
  bool position_saved_ = false;
};

}  // namespace orv::dusto
