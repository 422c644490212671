// Two calculation reports side by side: the lines of each aligned so that
// what the two have in common sits on the same row and what differs is
// marked, and the two recoverable figures with their difference. Used by
// tarnby-calc --compare and the desktop's what-if comparison.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orv::calcrun {

// One row of the side-by-side view: the line of report A and the line of
// report B (none where the other report has a line the first has not).
struct ComparedLine {
  std::optional<std::string> a;
  std::optional<std::string> b;
  bool differs = false;
};

// Aligns the two reports on their longest common run of lines. Between two
// lines they share, the lines that differ are paired in order (A's k-th
// with B's k-th), so that "Smoking insult = 28.00" and "Smoking insult =
// 20.00" share a row; the lines one report has beyond that stand alone.
// The heading's calculation time counts as the same line in both: two
// calculations a minute apart are not different reports.
std::vector<ComparedLine> CompareReports(const std::vector<std::string>& a,
                                         const std::vector<std::string>& b);

// The differing rows only, in order.
std::vector<ComparedLine> Differences(const std::vector<ComparedLine>& rows);

// The two recoverable figures as the report reads them back ("0.00"; none
// for a calculation that did not succeed) and B minus A, worked in whole
// hundredths so that the difference is exactly that of the two figures shown.
struct FigureComparison {
  std::optional<std::string> a;
  std::optional<std::string> b;
  std::optional<std::string> difference;  // both present: "+1.25", "-0.40", "0.00"
};
FigureComparison CompareFigures(std::optional<float> a, std::optional<float> b);

// How a comparison names the figure, and shows one that was not calculated.
inline constexpr const char* kFigureLabel = "Recoverable Proportion of Quantum %";
inline std::string FigureOrNotCalculated(const std::optional<std::string>& f) {
  return f.value_or("not calculated");
}

// A report line as a side by side view shows it: each tab four spaces.
std::string TabsAsSpaces(const std::string& line);

}  // namespace orv::calcrun
