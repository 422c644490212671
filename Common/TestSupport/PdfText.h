// The text of a PDF file as pdftotext reads it, pages separated by form
// feeds; empty when the tool is missing.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace orv::testing {

inline bool HavePdfToText() { return std::system("pdftotext -v >/dev/null 2>&1") == 0; }

// `mode` is pdftotext's: "-layout" keeps the page's layout, "-raw" the
// order in which the text was drawn.
inline std::string PdfText(const std::string& path, const std::string& mode = "-layout") {
  std::string text;
  FILE* p = popen(("pdftotext " + mode + " '" + path + "' - 2>/dev/null").c_str(), "r");
  if (!p) return text;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  pclose(p);
  return text;
}

inline std::vector<std::string> PdfPages(const std::string& path) {
  std::vector<std::string> pages(1);
  for (const char c : PdfText(path)) {
    if (c == '\f')
      pages.emplace_back();
    else
      pages.back() += c;
  }
  if (pages.back().empty()) pages.pop_back();
  return pages;
}

}  // namespace orv::testing
