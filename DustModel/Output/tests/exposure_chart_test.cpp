// The exposure chart's layout, drawn on a canvas that records its shapes:
// careers of every shape stay inside the box they are given, the legend
// names each colliery with its years, markers and the limitation line show
// where they belong, and the collieries' fills differ without colour.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "ExposureChart.h"

namespace orv {
namespace {

struct Shape {
  enum Kind { kRect, kLine, kText } kind;
  double x1, y1, x2, y2;
  std::string text;
  ChartFill fill;
  bool dashed = false;
};

class RecordingCanvas : public ChartCanvas {
 public:
  void Rect(double x, double y, double w, double h, const ChartFill& fill, double) override {
    shapes.push_back({Shape::kRect, x, y, x + w, y + h, {}, fill, false});
  }
  void Line(double x1, double y1, double x2, double y2, double, uint32_t, bool dashed) override {
    shapes.push_back({Shape::kLine, x1, y1, x2, y2, {}, {}, dashed});
  }
  void Text(double x, double y, const std::string& text, double points, bool bold,
            ChartAlign align) override {
    const double w = TextWidth(text, points, bold);
    const double left = align == ChartAlign::kLeft ? x : align == ChartAlign::kCentre ? x - w / 2
                                                                                         : x - w;
    shapes.push_back({Shape::kText, left, y - points, left + w, y, text, {}, false});
  }
  double TextWidth(const std::string& text, double points, bool) override {
    return static_cast<double>(text.size()) * points * 0.5;
  }
  void BeginYear(int year, const std::string&) override { years.push_back(year); }

  bool HasText(const std::string& text) const {
    for (const Shape& s : shapes)
      if (s.kind == Shape::kText && s.text == text) return true;
    return false;
  }
  std::vector<Shape> shapes;
  std::vector<int> years;
};

ExposureYear Year(int year, int job, int colliery, double insult, bool post = true,
                  ExposureKind kind = ExposureKind::kDust) {
  ExposureYear e;
  e.year = static_cast<int16_t>(year);
  e.job = job;
  e.colliery_id = colliery;
  e.colliery = "Colliery " + std::to_string(colliery);
  e.kind = kind;
  e.weighted_dust_insult = static_cast<float>(insult);
  e.post_limitation = post;
  e.post_limitation_share = post ? 1.0f : 0.0f;
  e.post_limitation_insult = post ? static_cast<float>(insult) : 0.0f;
  e.tortious_percent = 50;
  return e;
}

ExposureChartData OneShortJob() {
  ExposureChartData d;
  d.years = {Year(1980, 1, 1, 1.5)};
  d.limitation_year = 1954;
  d.limitation_value = 0.5f;
  d.recoverable_before_smoking = 12.5f;
  d.recoverable_after_smoking = 10.25f;
  d.smoking_insult = 3;
  return d;
}

// Fifty years at eight collieries, a strike in 1972 and 1984, the last two
// years worked after the colliery closed, a respirator from 1975.
ExposureChartData FiftyYears() {
  ExposureChartData d;
  for (int y = 1945; y <= 1994; ++y) {
    const int colliery = 1 + (y - 1945) / 7;
    const ExposureKind kind = y == 1972 || y == 1984 ? ExposureKind::kStrike
                              : y >= 1993          ? ExposureKind::kClosed
                                                   : ExposureKind::kDust;
    ExposureYear e = Year(y, colliery, colliery, kind == ExposureKind::kStrike ? 0 : 2.0 - (y - 1945) * 0.03,
                          y >= 1954, kind);
    e.respirator_period = y >= 1975;
    d.years.push_back(e);
  }
  d.limitation_year = 1954;
  d.limitation_value = 0.5f;
  return d;
}

TEST(ExposureChart, CareersOfEveryShapeStayInsideTheirBox) {
  const std::pair<double, double> boxes[] = {{720, 470}, {487, 487}, {300, 260}};
  for (const ExposureChartData& data : {OneShortJob(), FiftyYears()}) {
    for (const auto& [w, h] : boxes) {
      SCOPED_TRACE(std::to_string(data.years.size()) + " years in " + std::to_string(w));
      RecordingCanvas canvas;
      DrawExposureChart(data, canvas, w, h);
      ASSERT_FALSE(canvas.shapes.empty());
      for (const Shape& s : canvas.shapes) {
        EXPECT_GE(std::min(s.x1, s.x2), -0.01) << s.text;
        EXPECT_LE(std::max(s.x1, s.x2), w + 0.01) << s.text;
        EXPECT_GE(std::min(s.y1, s.y2), -0.01) << s.text;
        EXPECT_LE(std::max(s.y1, s.y2), h + 0.01) << s.text;
      }
    }
  }
}

TEST(ExposureChart, LegendMarkersLimitationAndCaption) {
  RecordingCanvas canvas;
  ExposureChartData data = FiftyYears();
  data.years.push_back(Year(1950, 2, 1, 0.5));  // Colliery 1 again, a second job
  data.recoverable_before_smoking = 45.678f;
  data.recoverable_after_smoking = 30.13f;
  DrawExposureChart(data, canvas, 720, 470);
  EXPECT_TRUE(canvas.HasText(kExposureChartTitle));
  EXPECT_TRUE(canvas.HasText("Colliery 1 (1945-1951)"));
  EXPECT_TRUE(canvas.HasText("Colliery 8 (1994)"));
  EXPECT_TRUE(canvas.HasText("respirator period"));
  EXPECT_TRUE(canvas.HasText("limitation date (mid 1954)"));
  EXPECT_TRUE(canvas.HasText("S strike year"));
  EXPECT_TRUE(canvas.HasText("C worked after closure"));
  EXPECT_FALSE(canvas.HasText("N no dust data"));
  EXPECT_TRUE(canvas.HasText(
      "Recoverable proportion of quantum: 45.68% before the smoking adjustment, 30.13% after it "
      "(no smoking to adjust for)."));
  // One bar per year; 1950 has two jobs' parts in one bar.
  EXPECT_EQ(canvas.years.size(), 50u);
  int dashed = 0;
  for (const Shape& s : canvas.shapes) dashed += s.kind == Shape::kLine && s.dashed;
  EXPECT_EQ(dashed, 2);  // the line and its legend swatch

  // A limitation date after the last year: no line, the legend says why.
  RecordingCanvas short_job;
  ExposureChartData late = OneShortJob();
  late.limitation_year = 1990;
  late.limitation_value = 1;
  DrawExposureChart(late, short_job, 720, 470);
  EXPECT_TRUE(short_job.HasText("limitation date (1990), after the last year"));
  EXPECT_FALSE(short_job.HasText("limitation date"));
  EXPECT_TRUE(short_job.HasText(
      "Recoverable proportion of quantum: 12.50% before the smoking adjustment, 10.25% after it."));
}

TEST(ExposureChart, NothingForAnEmptySeries) {
  RecordingCanvas canvas;
  DrawExposureChart(ExposureChartData{}, canvas, 720, 470);
  EXPECT_TRUE(canvas.shapes.empty());
}

TEST(ExposureChart, CollieriesDifferInPatternAsWellAsColour) {
  std::set<uint32_t> colours;
  std::set<int> patterns;
  std::set<std::pair<uint32_t, int>> styles;
  for (int n = 0; n < 8; ++n) {
    colours.insert(CollieryFill(n).rgb);
    patterns.insert(CollieryFill(n).pattern);
  }
  EXPECT_EQ(colours.size(), 8u);
  EXPECT_EQ(patterns.size(), 8u);
  for (int n = 0; n < 24; ++n) styles.insert({CollieryFill(n).rgb, CollieryFill(n).pattern});
  EXPECT_EQ(styles.size(), 24u);
}

}  // namespace
}  // namespace orv
