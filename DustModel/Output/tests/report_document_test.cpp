#include <gtest/gtest.h>

#include "ReportDocument.h"

namespace orv::dusto {
namespace {

TEST(ReportDocument, DetailLineRowsAndSpans) {
  struct Case {
    const char* line;
    const char* value;
    int indent;
    const char* text;
    int span;
    const char* row;
  } cases[] = {
      {"Claimant: Arthur Pennock", "", 0, "Claimant: Arthur Pennock", 5,
       "Claimant: Arthur Pennock|||||;"},
      {"\tColliery: Barrowfield", "", 1, "Colliery: Barrowfield", 4, "|Colliery: Barrowfield||||;"},
      {"\t\tDust", "1.23", 2, "Dust", 3, "||Dust|||1.23;"},
      {"\t\t\tPXR value after uplift of 1.16", "2.44", 3, "PXR value after uplift of 1.16", 2,
       "|||PXR value after uplift of 1.16||2.44;"},
      {"\t\t\t\tDeepest", "9.00", 4, "Deepest", 1, "||||Deepest|9.00;"},
      // Deeper than the table allows: the text stays in the last
      // indentation column, its tabs gone.
      {"\t\t\t\t\t\tToo deep", "1", 4, "Too deep", 1, "||||Too deep|1;"},
      {"Smoking\tinsult", "18.20", 0, "Smoking\tinsult", 5, "Smoking\tinsult|||||18.20;"},
      {"", "", 0, "", 5, "|||||;"},
  };
  ReportDocument doc;
  doc.StartDoc();
  for (const Case& c : cases) doc.DetailLine(c.line, c.value);
  ASSERT_EQ(doc.Rows().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].line);
    const ReportRow& r = doc.Rows()[i];
    EXPECT_EQ(r.indent, cases[i].indent);
    EXPECT_EQ(r.text, cases[i].text);
    EXPECT_EQ(r.value, cases[i].value);
    EXPECT_EQ(r.Span(), cases[i].span);
    EXPECT_EQ(r.indent + r.Span(), kColumns - 1);  // always reaches the value column
    EXPECT_EQ(r.RowText(), cases[i].row);
  }
}

TEST(ReportDocument, TableOpensWithTheFirstLineAndClosesWithTheDocument) {
  ReportDocument doc;
  doc.StartDoc();
  doc.EndDoc();
  EXPECT_TRUE(doc.Ended());
  EXPECT_TRUE(doc.Rows().empty());
  EXPECT_EQ(doc.TablesClosed(), 0);  // no table was touched

  doc.StartDoc();
  EXPECT_FALSE(doc.TableOpen());
  doc.DetailLine("one", "1.00");
  EXPECT_TRUE(doc.TableOpen());
  doc.DetailLine("two", "2.00");
  doc.EndDoc();
  EXPECT_FALSE(doc.TableOpen());
  EXPECT_EQ(doc.TablesClosed(), 1);
  EXPECT_EQ(doc.Rows().size(), 2u);
}

TEST(ReportDocument, KillDocClosesTheTableAndDiscardsTheRows) {
  ReportDocument doc;
  doc.SetHeader("Dust Calculation for A");
  doc.StartDoc();
  doc.DetailLine("one", "1.00");
  doc.KillDoc();
  EXPECT_FALSE(doc.TableOpen());
  EXPECT_EQ(doc.TablesClosed(), 1);
  EXPECT_TRUE(doc.Rows().empty());
  EXPECT_EQ(doc.Header(), "Dust Calculation for A");

  doc.StartDoc();
  doc.DetailLine("again", "");
  EXPECT_TRUE(doc.TableOpen());
  EXPECT_EQ(doc.Rows().size(), 1u);
}

TEST(ReportDocument, ComparedRowsKeepEachSidesIndentAndGoWithTheDocument) {
  ReportDocument doc;
  doc.StartDoc();
  EXPECT_FALSE(doc.IsComparison());
  doc.CompareLine("\t\tSmoking insult", "28.00", "\t\tSmoking insult", "20.00", true);
  doc.CompareLine("Only in A", "", "", "", true);
  doc.CompareLine("", "", "\t\t\t\t\tDeep in B", "1.00", true);
  EXPECT_TRUE(doc.IsComparison());
  EXPECT_TRUE(doc.TableOpen());
  EXPECT_TRUE(doc.Rows().empty());
  const auto& rows = doc.ComparedRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].a.indent, 2);
  EXPECT_EQ(rows[0].a.text, "Smoking insult");
  EXPECT_EQ(rows[0].b.value, "20.00");
  EXPECT_TRUE(rows[0].differs);
  EXPECT_TRUE(rows[1].b.text.empty());
  EXPECT_EQ(rows[2].b.indent, kIndentColumns);  // more than four count as four
  doc.EndDoc();
  EXPECT_EQ(doc.TablesClosed(), 1);
  // A new document, or one discarded, is no comparison.
  doc.StartDoc();
  EXPECT_FALSE(doc.IsComparison());
  doc.CompareLine("a", "", "b", "", true);
  doc.KillDoc();
  EXPECT_FALSE(doc.IsComparison());
}

TEST(ReportDocument, HeaderLinesAndFooterPageNumbers) {
  ReportDocument doc;
  doc.SetHeader("Dust Calculation for A\r\nRef: S1\tZURIR Ref: Z1\nThird\rFourth");
  EXPECT_EQ(doc.HeaderLines(),
            (std::vector<std::string>{"Dust Calculation for A", "Ref: S1\tZURIR Ref: Z1", "Third",
                                      "Fourth"}));
  doc.SetHeader("");
  EXPECT_TRUE(doc.HeaderLines().empty());
  doc.SetFooter("Page %d");
  EXPECT_EQ(doc.FooterForPage(12), "Page 12");
  doc.SetFooter("Page %d of the report, %d");
  EXPECT_EQ(doc.FooterForPage(3), "Page 3 of the report, 3");
  doc.SetFooter("No number");
  EXPECT_EQ(doc.FooterForPage(3), "No number");
}

}  // namespace
}  // namespace orv::dusto
