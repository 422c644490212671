#include <gtest/gtest.h>

#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <filesystem>
#include <algorithm>
#include <map>
#include <regex>
#include <sstream>

#include "PdfText.h"
#include "ReportDocument.h"
#include "ReportRenderer.h"
#include "TempDir.h"

namespace orv::dusto {
namespace {

namespace fs = std::filesystem;

// Rows whose every word is its own ("r7w3"), so that a word read twice or
// not at all names its row. Every third row's text wraps over several
// lines; headings stand before deeper rows as in a real report.
ReportDocument WordedReport(int rows) {
  ReportDocument doc;
  doc.StartDoc();
  doc.SetHeader("Worded report\r\nleft\tright");
  doc.SetFooter("Page %d");
  for (int r = 0; r < rows; ++r) {
    const int words = r % 3 == 0 ? 40 : 4;
    std::string line(static_cast<size_t>(r % 4), '\t');
    for (int w = 0; w < words; ++w)
      line += "r" + std::to_string(r) + "w" + std::to_string(w) + (w + 1 < words ? " " : "");
    doc.DetailLine(line, r % 4 == 0 ? "" : "v" + std::to_string(r));
  }
  doc.EndDoc();
  return doc;
}

bool IsTableWord(const std::string& w) {
  return w.size() > 1 && (w[0] == 'r' || w[0] == 'v') &&
         std::isdigit(static_cast<unsigned char>(w[1]));
}

// The words of the table in reading order (header and footer left out).
std::vector<std::string> TableWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;)
    if (IsTableWord(w)) words.push_back(w);
  return words;
}

struct PlacedWord {
  std::string text;
  double top;
  double bottom;
};

// The words of each page with their heights on it, from pdftotext's boxes.
std::vector<std::vector<PlacedWord>> PlacedWords(const std::string& bbox) {
  std::vector<std::vector<PlacedWord>> pages;
  static const std::regex word(
      R"re(<page |<word xMin="[^"]*" yMin="([^"]*)" xMax="[^"]*" yMax="([^"]*)">([^<]*)</word>)re");
  for (auto it = std::sregex_iterator(bbox.begin(), bbox.end(), word); it != std::sregex_iterator();
       ++it) {
    if (!(*it)[1].matched)
      pages.emplace_back();
    else if (!pages.empty())
      pages.back().push_back({(*it)[3], std::stod((*it)[1]), std::stod((*it)[2])});
  }
  return pages;
}

class ReportRendererTest : public ::testing::Test {
 protected:
  orv::test::TempDir tmp_;
  const fs::path dir_ = tmp_.path();

  struct Rendered {
    std::string text;  // in drawing order
    std::string boxes;
    int pages;
  };
  // Renders onto A4-wide pages `height_mm` tall with margins of 15 mm.
  Rendered Render(const ReportDocument& doc, double height_mm) {
    const std::string path = (dir_ / "pages.pdf").string();
    int pages = 0;
    {
      QPdfWriter writer(QString::fromStdString(path));
      writer.setResolution(600);
      writer.setPageLayout(QPageLayout(QPageSize(QSizeF(210, height_mm), QPageSize::Millimeter),
                                       QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                       QPageLayout::Millimeter));
      pages = RenderReport(doc, writer);
    }
    return {orv::testing::PdfText(path, "-raw"), orv::testing::PdfText(path, "-bbox"), pages};
  }
};

// However a row's text wraps, a short last word such as "%" stays on the
// line of the word before it, and a value stays on one line.
TEST_F(ReportRendererTest, NoLineEndsWithALoneShortWord) {
  if (!orv::testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  ReportDocument doc;
  doc.StartDoc();
  // A word before the last one letter longer each row moves the end of the
  // line across the last word's place.
  for (int n = 1; n <= 40; ++n) {
    std::string line = "\t";
    for (int w = 0; w < 8; ++w) line += "q" + std::to_string(n) + "w" + std::to_string(w) + " ";
    line += std::string(static_cast<size_t>(n), 'y') + " ";
    doc.DetailLine(line + "%", "1 234 567.89");
  }
  doc.EndDoc();
  const auto [text, boxes, pages] = Render(doc, 297);
  int lone = 0;
  for (const std::vector<PlacedWord>& words : PlacedWords(boxes)) {
    for (size_t i = 1; i < words.size(); ++i) {
      if (words[i].text == "%") {
        ++lone;
        EXPECT_NEAR(words[i].top, words[i - 1].top, 0.5) << words[i - 1].text << " %";
      }
      if (words[i].text == "567.89") {
        EXPECT_NEAR(words[i].top, words[i - 1].top, 0.5);
      }
    }
  }
  EXPECT_GT(lone, 0) << "no \"%\" word was read";
}

// Whatever the page height, each word and value of each row is printed
// once: a row that does not fit goes whole to the next page, and a row
// taller than a page is cut between its lines, each line printed once. The
// heights step finely enough that page breaks fall on row boundaries, inside
// wrapped rows and just beside both, down to pages of a line or two.
TEST_F(ReportRendererTest, EveryWordIsPrintedOnceWhateverThePageHeight) {
  if (!orv::testing::HavePdfToText()) GTEST_SKIP() << "pdftotext is not installed";
  const ReportDocument doc = WordedReport(24);
  for (double height = 54; height <= 120; height += 2.25) {
    SCOPED_TRACE("page height " + std::to_string(height) + " mm");
    const auto [text, boxes, pages] = Render(doc, height);
    const std::vector<std::string> words = TableWords(text);
    std::map<std::string, size_t> at;  // where each word was read
    for (size_t i = 0; i < words.size(); ++i)
      EXPECT_TRUE(at.emplace(words[i], i).second) << words[i] << " printed twice";

    // The rows' words in order; each value after its row's first word and
    // before the next row's.
    std::vector<size_t> row_starts;
    size_t last = 0;
    for (const ReportRow& row : doc.Rows()) {
      std::istringstream in(row.text);
      for (std::string w; in >> w;) {
        ASSERT_TRUE(at.count(w)) << w << " is missing";
        if (w.ends_with("w0")) row_starts.push_back(at[w]);
        EXPECT_GE(at[w], last) << w << " is out of order";
        last = at[w];
      }
    }
    for (size_t r = 0; r < doc.Rows().size(); ++r) {
      const std::string& value = doc.Rows()[r].value;
      if (value.empty()) continue;
      ASSERT_TRUE(at.count(value)) << value << " is missing";
      EXPECT_GT(at[value], row_starts[r]) << value;
      if (r + 1 < row_starts.size()) {
        EXPECT_LT(at[value], row_starts[r + 1]) << value;
      }
    }
    // Every row's line lies between the header and the footer of its page
    // (the boxes of the words may reach a little past their line's).
    for (const std::vector<PlacedWord>& page : PlacedWords(boxes)) {
      double header = 0;
      double footer = 1e9;
      for (const PlacedWord& w : page) {
        if (w.text == "left") header = w.bottom;
        if (w.text == "Page") footer = w.top;
      }
      for (const PlacedWord& w : page) {
        if (!IsTableWord(w.text)) continue;
        EXPECT_GE(w.top, header - 1) << w.text << " over the header";
        EXPECT_LE(w.bottom, footer + 1) << w.text << " over the footer";
      }
    }
    EXPECT_GE(pages, 2);
  }
}

}  // namespace
}  // namespace orv::dusto
