// The HTML report file: one table row per report line. Labels and values are
// written as text, so markup characters in them (a claimant's name, a pit
// name) are escaped rather than taken as markup.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

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
// The character set is declared so that names with accents read correctly in any browser.
inline constexpr const char* kHtmlHead =
    "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">"
    "<TITLE>Dust Model Output</TITLE></HEAD>";
inline constexpr const char* kHtmlTableStart =
    "<BODY><P ALIGN=Left><TABLE BORDER=\"1\" WIDTH=\"100%\">";
inline constexpr const char* kHtmlEnd = "</TABLE></P></BODY></HTML>";

}  // namespace orv::dust
