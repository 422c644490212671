#include "ReportHtml.h"

#include <filesystem>

#include "OrvError.h"

namespace orv::dust {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string HtmlReportLine(int indent, std::string_view label, std::string_view value) {
  std::string line = "<TR><TD>&nbsp;";
  for (int i = 0; i < indent; ++i) line += "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
  line += HtmlEscape(label);
  line += "</TD><TD ALIGN=RIGHT>&nbsp;";
  line += HtmlEscape(value);
  line += "</TD></TR>";
  return line;
}

void HtmlReportFile::Open(const std::string& path) {
  if (out_.is_open()) out_.close();
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(path).parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::is_directory(folder, ec)) RaiseStandard(err::kPathNotFound);
  out_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out_.is_open()) RaiseStandard(err::kFileAccess);
}

void HtmlReportFile::WriteLine(std::string_view line) {
  if (!out_.is_open()) return;
  out_ << line << '\n';
  if (!out_.good()) RaiseStandard(err::kFileAccess);
}

void HtmlReportFile::Close() {
  if (!out_.is_open()) return;
  out_.flush();
  const bool ok = out_.good();
  out_.close();
  if (!ok) RaiseStandard(err::kFileAccess);
}

}  // namespace orv::dust
