// The report as the preview holds it: a page header, a page footer and one
// table of detail rows. Plain C++, so that the rows can be checked without a
// window; the renderer lays it out and paints it.
//
// The table has six columns: four indentation columns of 500 twips, the
// text column (the page width less the margins and the other columns) and a
// right-aligned value column of 1400 twips. A row's text stands in the
// column of its indentation level and spans every column up to the value
// column.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ExposureChart.h"

namespace orv::dusto {

inline constexpr int kIndentColumns = 4;
inline constexpr int kColumns = 6;
inline constexpr int kIndentColumnTwips = 500;
inline constexpr int kValueColumnTwips = 1400;

struct ReportRow {
  std::string text;   // without its leading tabs
  int indent = 0;     // 0 to 4: the 0-based column the text stands in
  std::string value;  // shown right-aligned in the last column

  // The number of columns the text cell covers, reaching the value column.
  int Span() const { return kColumns - 1 - indent; }
  // The row in the table's row syntax: indent "|", the text, 4 - indent
  // "|", "|", the value and ";".
  std::string RowText() const;
};

// One row of a comparison of two reports side by side.
struct ComparedRow {
  ReportRow a;
  ReportRow b;
  bool differs = false;
};

class ReportDocument {
 public:
  // Line breaks ("\r\n", "\n" or "\r") start a new header line; a tab splits
  // a line into a left part and a right-aligned part (and a third part into
  // left, centre and right).
  void SetHeader(std::string text) { header_ = std::move(text); }
  const std::string& Header() const { return header_; }
  std::vector<std::string> HeaderLines() const;
  // "%d" stands for the page number.
  void SetFooter(std::string text) { footer_ = std::move(text); }
  const std::string& Footer() const { return footer_; }
  std::string FooterForPage(int page) const;

  // Starts a new, empty document.
  void StartDoc();
  // Closes an open table and ends the document.
  void EndDoc();
  // Closes an open table and discards the document's rows.
  void KillDoc();

  // Adds one row: the tabs at the start of `sLine` give its indentation
  // (more than four count as four), the rest is its text; `sValue` its
  // value. Opens the table first when none is open.
  void DetailLine(const std::string& sLine, const std::string& sValue);

  // The exposure chart, drawn on a page of its own after the table; none
  // after StartDoc or KillDoc until it is set.
  void SetExposureChart(ExposureChartData chart) { chart_ = std::move(chart); }
  const ExposureChartData* ExposureChart() const { return chart_ ? &*chart_ : nullptr; }

  // Adds one row of a comparison: each side as DetailLine takes it.
  void CompareLine(const std::string& aLine, const std::string& aValue, const std::string& bLine,
                   const std::string& bValue, bool differs);

  const std::vector<ReportRow>& Rows() const { return rows_; }
  const std::vector<ComparedRow>& ComparedRows() const { return compared_; }
  // True when the document is a comparison (it has compared rows).
  bool IsComparison() const { return !compared_.empty(); }
  bool TableOpen() const { return table_open_; }
  bool Ended() const { return ended_; }
  // How many times an open table has been closed (by EndDoc or KillDoc).
  int TablesClosed() const { return tables_closed_; }

 private:
  void CloseTable();

  std::string header_;
  std::string footer_;
  std::vector<ReportRow> rows_;
  std::vector<ComparedRow> compared_;
  std::optional<ExposureChartData> chart_;
  bool table_open_ = false;
  bool ended_ = false;
  int tables_closed_ = 0;
};

}  // namespace orv::dusto
