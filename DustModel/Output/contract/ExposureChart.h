// The year-by-year exposure of a claimant as the calculation worked it, and
// the chart drawn from it: one bar of weighted dust insult per year, the
// bars by colliery, the tortious part marked, the limitation date as a
// line, respirator periods shaded, and a caption with the recoverable
// proportion of quantum before and after the smoking adjustment.
//
// The engine fills the series (it knows nothing of drawing); the report
// output library paints the chart onto its pages and the engine's HTML
// report writes it as SVG. Both draw through DrawExposureChart, so the
// picture is laid out once: a ChartCanvas turns its shapes into painter
// calls or SVG elements. Coordinates are in points (1/72 inch), y downwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

// What the matrix and the job made of a year.
enum class ExposureKind : int32_t {
  kDust = 0,      // an ordinary dust year
  kStrike = 1,    // a strike year (the matrix's STRIKE or a strike job)
  kClosed = 2,    // work after the colliery closed, within the job's allowance
  kJobBreak = 3,  // a job break: nothing counted
  kNoData = 4,    // a no-data job: employed, no dust
};

// One year of one job, read off the values the calculation's second pass
// computes: adding a job's years in order gives the job's totals, and the
// jobs' totals in order give the claimant's, to the last bit.
struct ExposureYear {
  int16_t year = 0;
  int32_t job = 0;  // 1-based, in the work history's order after sorting
  int32_t colliery_id = 0;
  std::string colliery;
  std::string job_factor;  // the job factor's text
  std::string marker;      // the dust matrix marker ("SURVEY", "STRIKE", ...)
  ExposureKind kind = ExposureKind::kDust;
  float dust_share = 0;  // share of the year that carries dust (halving, dusty time)
  float dust_value = 0;  // the matrix's dust value (0 in a strike year)
  float weighted_pxr = 0;          // after share, uplift and job factor
  float weighted_dust_insult = 0;  // weighted_pxr in dust insult units
  bool post_limitation = false;    // on or after the limitation date
  float post_limitation_share = 0;  // share of the year counted after the limitation date
  float post_limitation_pxr = 0;    // weighted PXR counted after the limitation date
  float post_limitation_insult = 0;  // the same in dust insult units
  float tortious_percent = 0;        // the year's tortious dust percentage
  float tortious = 0;                // tortious percentage x post-limitation share
  bool respirator_period = false;    // inside the job's respirator period, factor above 0
  float respirator_share = 0;        // share of the post-limitation year in that period
  float respirator_reduction = 0;    // respirator factor (%) x respirator_share
};

// Everything the chart shows.
struct ExposureChartData {
  std::vector<ExposureYear> years;
  int16_t limitation_year = 0;
  float limitation_value = 1;  // share of the limitation year after the date
  float recoverable_before_smoking = 0;  // percent, as the result reads back
  float recoverable_after_smoking = 0;
  float smoking_insult = 0;
};

// The chart's title and caption: what a reader (or a search of the PDF)
// finds the chart by.
inline constexpr const char* kExposureChartTitle = "Exposure chart: weighted dust insult by year";
std::vector<std::string> ExposureChartCaption(const ExposureChartData& data);

// A fill of the chart: a colour, a hatching pattern drawn over it in a
// darker line, or a plain one.
struct ChartFill {
  uint32_t rgb = 0xffffff;
  int pattern = 0;  // 0 plain; 1 to 7 hatchings (see kChartPatternCount)
  uint32_t line_rgb = 0x000000;
};
inline constexpr int kChartPatternCount = 8;

enum class ChartAlign { kLeft, kCentre, kRight };

// The surface the chart is drawn on.
class ChartCanvas {
 public:
  virtual ~ChartCanvas() = default;
  // A rectangle filled, then outlined with a pen of `outline` points (none
  // when 0).
  virtual void Rect(double x, double y, double w, double h, const ChartFill& fill,
                    double outline) = 0;
  // A line; dashed when asked.
  virtual void Line(double x1, double y1, double x2, double y2, double width, uint32_t rgb,
                    bool dashed) = 0;
  // Text whose baseline starts, centres or ends at (x, y).
  virtual void Text(double x, double y, const std::string& text, double points, bool bold,
                    ChartAlign align) = 0;
  // How wide the text is drawn (an estimate where the canvas cannot measure).
  virtual double TextWidth(const std::string& text, double points, bool bold) = 0;
  // Around the shapes of one year's bar (markers included); `summary` says
  // in words what the bar shows.
  virtual void BeginYear(int /*year*/, const std::string& /*summary*/) {}
  virtual void EndYear() {}
};

// Draws the chart into the box of `width` by `height` points at the canvas's
// origin. Nothing is drawn outside the box. An empty series draws nothing.
void DrawExposureChart(const ExposureChartData& data, ChartCanvas& canvas, double width,
                       double height);

// The style of the n-th colliery (0-based, in order of first work): a
// colour and a hatching that differ from its neighbours' in black and white
// too.
ChartFill CollieryFill(int n);

}  // namespace orv
