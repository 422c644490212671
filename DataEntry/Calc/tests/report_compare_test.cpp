// Two reports side by side: which lines share a row and which are marked.
#include <gtest/gtest.h>

#include "ReportCompare.h"

namespace orv::calcrun {
namespace {

using Lines = std::vector<std::string>;

// A row as "a|b*" ("-" for a missing line, "*" when marked), so that a
// whole alignment reads as one list.
std::vector<std::string> Picture(const std::vector<ComparedLine>& rows) {
  std::vector<std::string> out;
  for (const ComparedLine& r : rows)
    out.push_back(r.a.value_or("-") + "|" + r.b.value_or("-") + (r.differs ? "*" : ""));
  return out;
}

TEST(CompareReports, AlignsOnWhatTheReportsShare) {
  struct Case {
    const char* what;
    Lines a;
    Lines b;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"identical", {"x", "y"}, {"x", "y"}, {"x|x", "y|y"}},
      {"one value changed", {"h", "s = 28.00", "t"}, {"h", "s = 20.00", "t"},
       {"h|h", "s = 28.00|s = 20.00*", "t|t"}},
      {"a line only B has", {"h", "t"}, {"h", "job 2", "t"}, {"h|h", "-|job 2*", "t|t"}},
      {"a line only A has", {"h", "job 2", "t"}, {"h", "t"}, {"h|h", "job 2|-*", "t|t"}},
      {"more changed on one side: paired in order, the rest alone",
       {"h", "p", "q", "t"}, {"h", "P", "t"}, {"h|h", "p|P*", "q|-*", "t|t"}},
      {"both empty", {}, {}, {}},
      {"one empty", {"x"}, {}, {"x|-*"}},
      {"the calculation time is not a difference",
       {"Calculation time and date: 10:01 on 07 Dec 2026"},
       {"Calculation time and date: 10:02 on 07 Dec 2026"},
       {"Calculation time and date: 10:01 on 07 Dec 2026|"
        "Calculation time and date: 10:02 on 07 Dec 2026"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Picture(CompareReports(c.a, c.b)), c.rows) << c.what;
}

TEST(CompareReports, DifferencesKeepOnlyTheMarkedRowsInOrder) {
  const auto rows = CompareReports({"h", "a1", "m", "a2"}, {"h", "b1", "m", "b2", "b3"});
  EXPECT_EQ(Picture(Differences(rows)), (std::vector<std::string>{"a1|b1*", "a2|b2*", "-|b3*"}));
}

TEST(CompareFigures, DifferenceIsThatOfTheFiguresShown) {
  struct Case {
    std::optional<float> a, b;
    std::optional<std::string> shown_a, shown_b, difference;
  };
  const Case cases[] = {
      {12.5f, 10.0f, "12.50", "10.00", "-2.50"},
      {10.0f, 12.345f, "10.00", "12.35", "+2.35"},
      {0.1f, 0.2f, "0.10", "0.20", "+0.10"},
      {33.33f, 33.33f, "33.33", "33.33", "0.00"},
      {0.3f, 0.0f, "0.30", "0.00", "-0.30"},
      {std::nullopt, 5.0f, std::nullopt, "5.00", std::nullopt},
  };
  for (const Case& c : cases) {
    const FigureComparison f = CompareFigures(c.a, c.b);
    EXPECT_EQ(f.a, c.shown_a);
    EXPECT_EQ(f.b, c.shown_b);
    EXPECT_EQ(f.difference, c.difference) << c.shown_a.value_or("-") << " " << *c.shown_b;
  }
}

}  // namespace
}  // namespace orv::calcrun
