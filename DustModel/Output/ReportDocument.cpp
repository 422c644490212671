#include "ReportDocument.h"

namespace orv::dusto {

std::string ReportRow::RowText() const {
  std::string row(static_cast<size_t>(indent), '|');
  row += text;
  row.append(static_cast<size_t>(kIndentColumns - indent), '|');
  row += '|';
  row += value;
  row += ';';
  return row;
}

std::vector<std::string> ReportDocument::HeaderLines() const {
  std::vector<std::string> lines;
  if (header_.empty()) return lines;
  lines.emplace_back();
  for (size_t i = 0; i < header_.size(); ++i) {
    const char c = header_[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < header_.size() && header_[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::string ReportDocument::FooterForPage(int page) const {
  std::string text = footer_;
  const std::string number = std::to_string(page);
  for (size_t at = text.find("%d"); at != std::string::npos; at = text.find("%d", at)) {
    text.replace(at, 2, number);
    at += number.size();
  }
  return text;
}

void ReportDocument::CloseTable() {
  if (!table_open_) return;
  table_open_ = false;
  ++tables_closed_;
}

void ReportDocument::StartDoc() {
  CloseTable();
  rows_.clear();
  compared_.clear();
  chart_.reset();
  ended_ = false;
}

void ReportDocument::EndDoc() {
  CloseTable();
  ended_ = true;
}

void ReportDocument::KillDoc() {
  CloseTable();
  rows_.clear();
  compared_.clear();
  chart_.reset();
  ended_ = false;
}

namespace {

ReportRow RowOf(const std::string& sLine, const std::string& sValue) {
  size_t tabs = 0;
  while (tabs < sLine.size() && sLine[tabs] == '\t') ++tabs;
  ReportRow row;
  row.indent = static_cast<int>(tabs < kIndentColumns ? tabs : kIndentColumns);
  row.text = sLine.substr(tabs);
  row.value = sValue;
  return row;
}

}  // namespace

void ReportDocument::DetailLine(const std::string& sLine, const std::string& sValue) {
  if (!table_open_) table_open_ = true;
  rows_.push_back(RowOf(sLine, sValue));
}

void ReportDocument::CompareLine(const std::string& aLine, const std::string& aValue,
                                 const std::string& bLine, const std::string& bValue,
                                 bool differs) {
  if (!table_open_) table_open_ = true;
  compared_.push_back({RowOf(aLine, aValue), RowOf(bLine, bValue), differs});
}

}  // namespace orv::dusto
