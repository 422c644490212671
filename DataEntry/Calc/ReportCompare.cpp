#include "ReportCompare.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Numbers.h"

namespace orv::calcrun {

namespace {

constexpr std::string_view kTimeLine = "Calculation time and date: ";

bool SameLine(const std::string& a, const std::string& b) {
  if (a == b) return true;
  return a.starts_with(kTimeLine) && b.starts_with(kTimeLine);
}

// A figure as read back, in whole hundredths ("12.34" -> 1234).
int64_t Hundredths(const std::string& shown) {
  const bool negative = !shown.empty() && shown.front() == '-';
  const std::string digits = negative ? shown.substr(1) : shown;
  const size_t dot = digits.find('.');
  const int64_t whole = std::strtoll(digits.substr(0, dot).c_str(), nullptr, 10);
  const int64_t part =
      dot == std::string::npos ? 0 : std::strtoll(digits.substr(dot + 1, 2).c_str(), nullptr, 10);
  const int64_t v = whole * 100 + part;
  return negative ? -v : v;
}

std::string ShowHundredths(int64_t v) {
  const int64_t magnitude = v < 0 ? -v : v;
  std::string frac = std::to_string(magnitude % 100);
  if (frac.size() < 2) frac.insert(0, "0");
  const std::string sign = v > 0 ? "+" : v < 0 ? "-" : "";
  return sign + std::to_string(magnitude / 100) + "." + frac;
}

}  // namespace

std::vector<ComparedLine> CompareReports(const std::vector<std::string>& a,
                                         const std::vector<std::string>& b) {
  const size_t n = a.size();
  const size_t m = b.size();
  // common[i][j]: the longest common run of lines of a[i..] and b[j..].
  std::vector<std::vector<uint32_t>> common(n + 1, std::vector<uint32_t>(m + 1, 0));
  for (size_t i = n; i-- > 0;)
    for (size_t j = m; j-- > 0;)
      common[i][j] = SameLine(a[i], b[j]) ? common[i + 1][j + 1] + 1
                                          : std::max(common[i + 1][j], common[i][j + 1]);

  std::vector<ComparedLine> rows;
  std::vector<size_t> only_a;
  std::vector<size_t> only_b;
  // The lines each report has between two shared ones, paired in order.
  const auto flush = [&] {
    const size_t paired = std::min(only_a.size(), only_b.size());
    for (size_t k = 0; k < paired; ++k) rows.push_back({a[only_a[k]], b[only_b[k]], true});
    for (size_t k = paired; k < only_a.size(); ++k) rows.push_back({a[only_a[k]], {}, true});
    for (size_t k = paired; k < only_b.size(); ++k) rows.push_back({{}, b[only_b[k]], true});
    only_a.clear();
    only_b.clear();
  };
  size_t i = 0;
  size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && SameLine(a[i], b[j]) && common[i][j] == common[i + 1][j + 1] + 1) {
      flush();
      rows.push_back({a[i], b[j], false});
      ++i;
      ++j;
    } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
      only_a.push_back(i++);
    } else {
      only_b.push_back(j++);
    }
  }
  flush();
  return rows;
}

std::vector<ComparedLine> Differences(const std::vector<ComparedLine>& rows) {
  std::vector<ComparedLine> out;
  for (const ComparedLine& r : rows)
    if (r.differs) out.push_back(r);
  return out;
}

std::string TabsAsSpaces(const std::string& line) {
  std::string out;
  for (char ch : line) {
    if (ch == '\t')
      out += "    ";
    else
      out += ch;
  }
  return out;
}

FigureComparison CompareFigures(std::optional<float> a, std::optional<float> b) {
  FigureComparison f;
  if (a) f.a = orv::FormatPattern(*a, "0.00");
  if (b) f.b = orv::FormatPattern(*b, "0.00");
  if (f.a && f.b) f.difference = ShowHundredths(Hundredths(*f.b) - Hundredths(*f.a));
  return f;
}

}  // namespace orv::calcrun
