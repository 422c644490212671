// tarnby-calc --compare: two histories calculated one after the other with
// the same dust data and options, nothing stored, and their reports side by
// side as text, HTML or JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CalcRun.h"
#include "HistoryJson.h"
#include "ReportCompare.h"

namespace orv::calcrun {

struct CompareOutcome {
  CalcOutcome a;
  CalcOutcome b;
  std::vector<ComparedLine> rows;  // the two reports aligned
  FigureComparison figures;        // the recoverable figures and B minus A
};

// Calculates both histories with `options` (its format and output file are
// not used: the reports are taken line by line).
CompareOutcome RunComparison(const CalcOptions& options, const HistoryFile& a,
                             const HistoryFile& b);

// The recoverable figure of a calculation that succeeded.
std::optional<float> RecoverableFigure(const CalcOutcome& o);

// Side by side: a heading row naming the two files, one row per aligned
// line with "*" before the rows that differ and "|" between the columns
// (tabs shown as four spaces), then the two figures and their difference.
std::string ComparisonText(const CompareOutcome& c, const std::string& name_a,
                           const std::string& name_b);

// The same as an HTML page: a two-column table, the differing rows shaded.
std::string ComparisonHtml(const CompareOutcome& c, const std::string& name_a,
                           const std::string& name_b);

// {"a": RESULT, "b": RESULT, "differences": [{"a": LINE, "b": LINE}, ...]}
// with RESULT as --format json writes it; a line one report lacks is null.
std::string ComparisonJson(const CompareOutcome& c);

}  // namespace orv::calcrun
