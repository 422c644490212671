// "OrvDustO.Output", the paged report preview as the engine reaches it: it
// creates the object by class identifier (CreateObject) and asks for this
// interface with As<IOutput>().
#pragma once

#include <string>

#include "ExposureChart.h"

namespace orv {

class IOutput {
 public:
  virtual ~IOutput() = default;
  virtual void SetHeader(const std::string& text) = 0;
  // The page number stands in place of %d.
  virtual void SetFooter(const std::string& text) = 0;
  virtual void DetailLine(const std::string& sLine, const std::string& sValue) = 0;
  // The exposure chart, shown on a page of its own after the last line;
  // StartDoc and KillDoc drop it.
  virtual void SetExposureChart(const ExposureChartData& chart) = 0;
  virtual void KillDoc() = 0;
  virtual void StartDoc() = 0;
  virtual void EndDoc() = 0;
  // Shows the window without blocking the caller.
  virtual void Show() = 0;
  virtual void UnloadForm() = 0;
  // Writes the document, as the preview shows it, to a PDF file: what the
  // window's "Save as PDF" writes, for hosts without a window.
  virtual void SavePdf(const std::string& path) = 0;
};


// The report output object's second face: a document of two reports side by
// side (the desktop's what-if comparison), which the same preview shows,
// prints and saves as PDF. Start, end and show it through IOutput; a
// document holds detail lines or compared rows, not both.
class IComparisonOutput {
 public:
  virtual ~IComparisonOutput() = default;
  // One row of the comparison: each side a line as DetailLine takes it
  // (leading tabs for the indentation, then the text) with its value, empty
  // where that report has no line; `differs` marks the row.
  virtual void CompareLine(const std::string& aLine, const std::string& aValue,
                           const std::string& bLine, const std::string& bValue,
                           bool differs) = 0;
};

}  // namespace orv
