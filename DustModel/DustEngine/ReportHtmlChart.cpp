// The exposure chart of the HTML report: the chart's shapes as SVG
// elements, inline in the page, so that a browser shows it with no file
// beside the report.
#include <fmt/format.h>

#include <map>

#include "ReportHtml.h"

namespace orv::dust {

namespace {

// The chart's box in points; the figure scales to the page's width.
constexpr double kSvgWidth = 720;
constexpr double kSvgHeight = 470;

std::string Colour(uint32_t rgb) { return fmt::format("#{:06x}", rgb & 0xffffff); }

std::string Num(double v) { return fmt::format("{:.2f}", v); }

// The lines of each hatching in a tile of 6 by 6; none for the dots (7).
const char* HatchPath(int pattern) {
  switch (pattern) {
    case 1:
      return "M-1,1 l2,-2 M0,6 l6,-6 M5,7 l2,-2";
    case 2:
      return "M-1,5 l2,2 M0,0 l6,6 M5,-1 l2,2";
    case 3:
      return "M0,3 h6";
    case 4:
      return "M3,0 v6";
    case 5:
      return "M0,3 h6 M3,0 v6";
    case 6:
      return "M-1,1 l2,-2 M0,6 l6,-6 M5,7 l2,-2 M-1,5 l2,2 M0,0 l6,6 M5,-1 l2,2";
    default:
      return nullptr;
  }
}

class SvgCanvas : public orv::ChartCanvas {
 public:
  void Rect(double x, double y, double w, double h, const orv::ChartFill& fill,
            double outline) override {
    body_ += fmt::format(R"(<rect x="{}" y="{}" width="{}" height="{}" fill="{}")", Num(x), Num(y),
                         Num(w), Num(h), FillRef(fill));
    if (outline > 0)
      body_ += fmt::format(R"( stroke="#000000" stroke-width="{}")", Num(outline));
    body_ += "/>";
  }

  void Line(double x1, double y1, double x2, double y2, double width, uint32_t rgb,
            bool dashed) override {
    body_ += fmt::format(R"(<line x1="{}" y1="{}" x2="{}" y2="{}" stroke="{}" stroke-width="{}")",
                         Num(x1), Num(y1), Num(x2), Num(y2), Colour(rgb), Num(width));
    if (dashed) body_ += R"( stroke-dasharray="4 3")";
    body_ += "/>";
  }

  void Text(double x, double y, const std::string& text, double points, bool bold,
            orv::ChartAlign align) override {
    const char* anchor = align == orv::ChartAlign::kLeft     ? "start"
                         : align == orv::ChartAlign::kCentre ? "middle"
                                                             : "end";
    body_ += fmt::format(R"(<text x="{}" y="{}" font-size="{}" text-anchor="{}")", Num(x), Num(y),
                         Num(points), anchor);
    if (bold) body_ += R"( font-weight="bold")";
    body_ += ">" + HtmlEscape(text) + "</text>";
  }

  // The browser lays the text out; the report font's letters average a
  // little over half their size in width.
  double TextWidth(const std::string& text, double points, bool bold) override {
    return static_cast<double>(text.size()) * points * (bold ? 0.56 : 0.5);
  }

  void BeginYear(int year, const std::string& summary) override {
    body_ += fmt::format(R"(<g class="year" data-year="{}"><title>{}</title>)", year,
                         HtmlEscape(summary));
  }
  void EndYear() override { body_ += "</g>"; }

  std::string Svg() const {
    std::string svg = fmt::format(
        R"(<figure style="margin:1em 0"><svg xmlns="http://www.w3.org/2000/svg" )"
        R"(viewBox="0 0 {} {}" width="100%" style="max-width:960px" role="img" )"
        R"(aria-label="{}" font-family="Liberation Sans, Arial, Arimo, sans-serif">)",
        kSvgWidth, kSvgHeight, orv::kExposureChartTitle);
    if (!defs_.empty()) svg += "<defs>" + defs_ + "</defs>";
    svg += body_ + "</svg></figure>";
    return svg;
  }

 private:
  // A plain fill is its colour; a hatched one a pattern, defined once.
  std::string FillRef(const orv::ChartFill& fill) {
    if (fill.pattern <= 0 || fill.pattern >= orv::kChartPatternCount) return Colour(fill.rgb);
    const char* path = HatchPath(fill.pattern);
    const std::string id = fmt::format("h{:06x}{}{:06x}", fill.rgb, fill.pattern, fill.line_rgb);
    if (defined_.emplace(id, true).second) {
      defs_ += fmt::format(
          R"(<pattern id="{}" patternUnits="userSpaceOnUse" width="6" height="6">)"
          R"(<rect width="6" height="6" fill="{}"/>)",
          id, Colour(fill.rgb));
      if (path)
        defs_ += fmt::format(R"(<path d="{}" stroke="{}" stroke-width="0.8"/>)", path,
                             Colour(fill.line_rgb));
      else
        defs_ += fmt::format(R"(<circle cx="3" cy="3" r="1.1" fill="{}"/>)", Colour(fill.line_rgb));
      defs_ += "</pattern>";
    }
    return "url(#" + id + ")";
  }

  std::string defs_;
  std::string body_;
  std::map<std::string, bool> defined_;
};

}  // namespace

std::string ExposureChartSvg(const orv::ExposureChartData& chart) {
  SvgCanvas canvas;
  orv::DrawExposureChart(chart, canvas, kSvgWidth, kSvgHeight);
  return canvas.Svg();
}

}  // namespace orv::dust
