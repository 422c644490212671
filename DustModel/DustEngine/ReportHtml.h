// The HTML report file: one table row per report line. Labels and values are
// written as text, so markup characters in them (a claimant's name, a pit
// name) are escaped rather than taken as markup.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

#include "ExposureChart.h"

namespace orv::dust {

// Text with &, <, >, " and ' replaced by their character references.
std::string HtmlEscape(std::string_view text);

// "<TR><TD>&nbsp;" + five &nbsp; per indentation level + label +
// "</TD><TD ALIGN=RIGHT>&nbsp;" + value + "</TD></TR>", label and value
// escaped.
std::string HtmlReportLine(int indent, std::string_view label, std::string_view value);

class HtmlReportFile {
 public:
  // Opens `path` for output, replacing any existing file. A folder that does
  // not exist fails with error 76 (path not found); any other failure to
  // open with error 75 (path/file access error).
  void Open(const std::string& path);
  bool IsOpen() const { return out_.is_open(); }
  // Writes one line; a failed write raises error 75. Nothing when not open.
  void WriteLine(std::string_view line);
  // Closes the file (nothing when not open); a failed flush raises 75.
  void Close();

 private:
  std::ofstream out_;
};

// The file's first two lines and its last one.
// The character set is declared so that names with accents read correctly in any browser;
// the document type keeps browsers out of their quirks mode and makes the page one that
// checks as valid HTML (the table is therefore not inside a paragraph, which a table
// cannot be).
inline constexpr const char* kHtmlHead =
    "<!DOCTYPE html><HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
    "charset=utf-8\"><TITLE>Dust Model Output</TITLE></HEAD>";
inline constexpr const char* kHtmlTableStart = "<BODY><TABLE BORDER=\"1\" WIDTH=\"100%\">";
inline constexpr const char* kHtmlEnd = "</TABLE></BODY></HTML>";
// The same end in two lines, with the exposure chart between them.
inline constexpr const char* kHtmlTableEnd = "</TABLE>";
inline constexpr const char* kHtmlBodyEnd = "</BODY></HTML>";

// The exposure chart as an inline SVG figure (one line), with one group
// of class "year" per worked year, for the page after the report's table.
std::string ExposureChartSvg(const orv::ExposureChartData& chart);

}  // namespace orv::dust
