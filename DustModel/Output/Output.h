// "OrvDustO.Output": the engine's report output object. It keeps the report
// (header, footer and rows) and shows it in the preview window, which is
// made when the report is first shown and unloaded on request. Writing the
// report to a PDF file needs no window.
//
// The members forward to the document and the window; their failures reach
// the caller unchanged. Without an application object in the process (a
// command-line host) one is created on the first call that needs it.
#pragma once

#include <memory>
#include <string>

#include "Component.h"
#include "ErrorHandler.h"
#include "IOutput.h"
#include "ReportDocument.h"

namespace orv::dusto {

class frmOutput;

// Makes sure the process has an application object that can lay out text;
// when the host had none (a command-line program), the one made here runs
// without windows and without Qt's own chatter on standard error. False when
// the host's application object cannot make widgets.
[[nodiscard]] bool EnsureApplication();
// True when the host is such a command-line program: Show then makes no window.
bool WindowlessHost();

inline constexpr const char* kOutputClassId = "OrvDustO.Output";

class Output : public Component, public IOutput, public IComparisonOutput {
 public:
  Output();
  ~Output() override;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  std::string ClassName() const override { return kOutputClassId; }

  void SetHeader(const std::string& text) override;
  void SetFooter(const std::string& text) override;
  void DetailLine(const std::string& sLine, const std::string& sValue) override;
  void SetExposureChart(const ExposureChartData& chart) override;
  void KillDoc() override;
  void StartDoc() override;
  void EndDoc() override;
  // Fails with error 429 when the host's application object cannot show
  // windows. A host without an application object of its own gets no window.
  void Show() override;
  void UnloadForm() override;
  // Fails with error 75 when the file cannot be written.
  void SavePdf(const std::string& path) override;
  void CompareLine(const std::string& aLine, const std::string& aValue, const std::string& bLine,
                   const std::string& bValue, bool differs) override;

  const ReportDocument& Document() const { return document_; }
  // The preview window while it is loaded, else nullptr.
  frmOutput* Window() const { return form_.get(); }

 private:
  void Refresh();

  // One reporter for the library, shared by every Output alive.
  std::shared_ptr<ErrorHandler> error_handler_;
  ReportDocument document_;
  std::unique_ptr<frmOutput> form_;
};

}  // namespace orv::dusto
