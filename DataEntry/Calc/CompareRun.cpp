#include "CompareRun.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "ReportHtml.h"
#include "ResultJson.h"

namespace orv::calcrun {

namespace {

using Json = nlohmann::ordered_json;

// The width the text takes on a terminal: UTF-8 continuation bytes take none.
size_t Columns(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char ch) {
    return (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  }));
}

}  // namespace

std::optional<float> RecoverableFigure(const CalcOutcome& o) {
  if (!o.ok) return std::nullopt;
  for (const auto& [name, value] : o.results)
    if (name == "RecoverableQuantumPercent") return value;
  return std::nullopt;
}

CompareOutcome RunComparison(const CalcOptions& options, const HistoryFile& a,
                             const HistoryFile& b) {
  CalcOptions lines = options;
  lines.format = Format::kJson;
  lines.output.clear();
  CompareOutcome c;
  c.a = RunCalculation(lines, a);
  c.b = RunCalculation(lines, b);
  c.rows = CompareReports(c.a.report, c.b.report);
  c.figures = CompareFigures(RecoverableFigure(c.a), RecoverableFigure(c.b));
  return c;
}

std::string ComparisonText(const CompareOutcome& c, const std::string& name_a,
                           const std::string& name_b) {
  const std::string head_a = "A: " + name_a;
  size_t width = Columns(head_a);
  for (const ComparedLine& r : c.rows)
    if (r.a) width = std::max(width, Columns(TabsAsSpaces(*r.a)));
  const auto row = [width](const char* mark, const std::string& left, const std::string& right) {
    std::string line = mark + left;
    line.append(width - Columns(left), ' ');
    line += " | " + right;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line + "\n";
  };
  std::string out = row("  ", head_a, "B: " + name_b);
  for (const ComparedLine& r : c.rows)
    out += row(r.differs ? "* " : "  ", TabsAsSpaces(r.a.value_or("")),
               TabsAsSpaces(r.b.value_or("")));
  out += "\n";
  out += std::string(kFigureLabel) + " A: " + FigureOrNotCalculated(c.figures.a) + "\n";
  out += std::string(kFigureLabel) + " B: " + FigureOrNotCalculated(c.figures.b) + "\n";
  out += "Difference (B - A): " + c.figures.difference.value_or("none") + "\n";
  return out;
}

std::string ComparisonHtml(const CompareOutcome& c, const std::string& name_a,
                           const std::string& name_b) {
  using orv::dust::HtmlEscape;
  const auto cell = [](const std::optional<std::string>& line) {
    if (!line) return std::string("<TD></TD>");
    const size_t tabs = line->find_first_not_of('\t');
    std::string indent;
    for (size_t k = 0; k < std::min(tabs, line->size()); ++k) indent += "&nbsp;&nbsp;&nbsp;&nbsp;";
    return "<TD>" + indent + HtmlEscape(tabs == std::string::npos ? "" : line->substr(tabs)) +
           "</TD>";
  };
  std::string out =
      "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">"
      "<TITLE>Dust Model Comparison</TITLE></HEAD>\n<BODY><TABLE BORDER=\"1\" WIDTH=\"100%\">\n<TR><TH></TH><TH>A: " + HtmlEscape(name_a) +
      "</TH><TH>B: " + HtmlEscape(name_b) + "</TH></TR>\n";
  for (const ComparedLine& r : c.rows) {
    out += r.differs ? "<TR STYLE=\"background:#ffe08a\"><TD>*</TD>" : "<TR><TD></TD>";
    out += cell(r.a) + cell(r.b) + "</TR>\n";
  }
  out += "</TABLE>\n<P>" + HtmlEscape(kFigureLabel) + " A: " +
         FigureOrNotCalculated(c.figures.a) + "<BR>" + HtmlEscape(kFigureLabel) +
         " B: " + FigureOrNotCalculated(c.figures.b) +
         "<BR>Difference (B - A): " + c.figures.difference.value_or("none") +
         "</P>\n</BODY></HTML>\n";
  return out;
}

std::string ComparisonJson(const CompareOutcome& c) {
  Json doc;
  doc["a"] = ResultObject(c.a);
  doc["b"] = ResultObject(c.b);
  Json differences = Json::array();
  for (const ComparedLine& r : Differences(c.rows))
    differences.push_back({{"a", r.a ? Json(*r.a) : Json(nullptr)},
                           {"b", r.b ? Json(*r.b) : Json(nullptr)}});
  doc["differences"] = differences;
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace orv::calcrun
