#include "ExposureChart.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <iterator>
#include <set>

#include "Numbers.h"

namespace orv {

namespace {

// Colours that stay apart for readers with a colour vision deficiency.
constexpr uint32_t kPalette[] = {0xe69f00, 0x56b4e9, 0x009e73, 0xf0e442,
                                 0x0072b2, 0xd55e00, 0xcc79a7, 0x999999};
constexpr int kPaletteSize = static_cast<int>(std::size(kPalette));

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGridGrey = 0xc8c8c8;
constexpr uint32_t kRespiratorGrey = 0xe4e4e4;
constexpr double kTitlePoints = 12;
constexpr double kAxisPoints = 7.5;
constexpr double kLegendPoints = 8;
constexpr double kCaptionPoints = 9.5;
constexpr double kTortiousOutline = 1.4;

double LineHeight(double points) { return points * 1.35; }

// The colour mixed with white: the part of a bar that is not tortious.
uint32_t Tint(uint32_t rgb) {
  const auto mix = [](uint32_t c) { return static_cast<uint32_t>(c + (255 - c) * 0.6); };
  return mix(rgb >> 16 & 0xff) << 16 | mix(rgb >> 8 & 0xff) << 8 | mix(rgb & 0xff);
}

struct Colliery {
  int32_t id = 0;
  std::string name;
  std::set<int16_t> years;
};

// One job's part of a year's bar.
struct Segment {
  int colliery = 0;
  double insult = 0;
  double tortious = 0;  // the tortious part of `insult`
};

struct YearBar {
  std::vector<Segment> segments;
  double total = 0;
  bool strike = false;
  bool closed = false;
  bool no_data = false;
  bool respirator = false;
};

// "1955-1965, 1972" for a set of years.
std::string YearRanges(const std::set<int16_t>& years) {
  std::string text;
  for (auto it = years.begin(); it != years.end();) {
    const int16_t from = *it;
    int16_t to = from;
    for (++it; it != years.end() && *it == to + 1; ++it) to = *it;
    if (!text.empty()) text += ", ";
    text += std::to_string(from);
    if (to != from) text += "-" + std::to_string(to);
  }
  return text;
}

// A round step (1, 2, 2.5 or 5 times a power of ten) giving about five ticks.
double TickStep(double max) {
  if (!(max > 0)) return 1;
  const double rough = max / 5;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * power >= rough) return m * power;
  return 10 * power;
}

std::string TickText(double v) { return FloatToText(static_cast<float>(v)); }

// Words wrapped to lines no wider than `width`.
std::vector<std::string> Wrap(ChartCanvas& canvas, const std::string& text, double points,
                              double width) {
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && canvas.TextWidth(longer, points, false) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = longer;
    }
    at = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// One entry of the legend: a swatch and its text.
struct LegendEntry {
  enum class Swatch { kFill, kTortious, kBand, kDashed, kNone } swatch = Swatch::kFill;
  ChartFill fill;
  std::string text;
};

class ChartLayout {
 public:
  ChartLayout(const ExposureChartData& data, ChartCanvas& canvas, double width, double height)
      : data_(data), canvas_(canvas), width_(width), height_(height) {}

  void Draw() {
    if (data_.years.empty()) return;
    Gather();
    const std::vector<LegendEntry> legend = Legend();
    const std::vector<std::string> caption = CaptionLines();

    // From the top: title, the axis's unit and the limitation label, the
    // plot, the year labels and markers, the legend, the caption.
    double y = LineHeight(kTitlePoints);
    canvas_.Text(0, kTitlePoints, kExposureChartTitle, kTitlePoints, true, ChartAlign::kLeft);
    const double caption_h = static_cast<double>(caption.size()) * LineHeight(kCaptionPoints);
    const double legend_h = LegendHeight(legend);
    plot_top_ = y + LineHeight(kAxisPoints) * 2;
    plot_bottom_ = height_ - caption_h - legend_h - LineHeight(kAxisPoints) * 2 - 10;
    if (plot_bottom_ - plot_top_ < 40) plot_bottom_ = plot_top_ + 40;

    step_ = TickStep(max_total_);
    axis_max_ = std::max(step_, std::ceil(max_total_ / step_ - 1e-9) * step_);
    double label_w = 0;
    for (double v = 0; v <= axis_max_ + step_ / 2; v += step_)
      label_w = std::max(label_w, canvas_.TextWidth(TickText(v), kAxisPoints, false));
    plot_left_ = label_w + 6;
    plot_right_ = width_ - 2;
    slot_ = (plot_right_ - plot_left_) / (last_ - first_ + 1);

    RespiratorBands();
    Grid();
    Bars();
    LimitationLine();
    Axes();
    YearLabels();

    double ly = plot_bottom_ + LineHeight(kAxisPoints) * 2 + 8;
    ly = DrawLegend(legend, ly);
    for (const std::string& line : caption) {
      ly += LineHeight(kCaptionPoints);
      canvas_.Text(0, ly - 3, line, kCaptionPoints, false, ChartAlign::kLeft);
    }
  }

  std::vector<std::string> CaptionLines() {
    std::vector<std::string> lines;
    for (const std::string& text : ExposureChartCaption(data_))
      for (const std::string& line : Wrap(canvas_, text, kCaptionPoints, width_))
        lines.push_back(line);
    return lines;
  }

 private:
  void Gather() {
    std::map<int32_t, int> index;
    first_ = data_.years.front().year;
    last_ = first_;
    for (const ExposureYear& e : data_.years) {
      first_ = std::min(first_, e.year);
      last_ = std::max(last_, e.year);
      auto [it, added] = index.try_emplace(e.colliery_id, static_cast<int>(collieries_.size()));
      if (added) collieries_.push_back({e.colliery_id, e.colliery, {}});
      collieries_[static_cast<size_t>(it->second)].years.insert(e.year);
      YearBar& bar = bars_[e.year];
      Segment s;
      s.colliery = it->second;
      s.insult = std::max(0.0, static_cast<double>(e.weighted_dust_insult));
      s.tortious = std::clamp(
          static_cast<double>(e.post_limitation_insult) * e.tortious_percent / 100.0, 0.0,
          s.insult);
      bar.segments.push_back(s);
      bar.total += s.insult;
      bar.strike = bar.strike || e.kind == ExposureKind::kStrike;
      bar.closed = bar.closed || e.kind == ExposureKind::kClosed;
      bar.no_data = bar.no_data || e.kind == ExposureKind::kNoData;
      bar.respirator = bar.respirator || e.respirator_period;
      any_tortious_ = any_tortious_ || s.tortious > 0;
    }
    for (const auto& [year, bar] : bars_) max_total_ = std::max(max_total_, bar.total);
  }

  std::vector<LegendEntry> Legend() const {
    std::vector<LegendEntry> entries;
    for (size_t i = 0; i < collieries_.size(); ++i)
      entries.push_back({LegendEntry::Swatch::kFill, CollieryFill(static_cast<int>(i)),
                         collieries_[i].name + " (" + YearRanges(collieries_[i].years) + ")"});
    if (any_tortious_)
      entries.push_back({LegendEntry::Swatch::kTortious, {}, "tortious part (dark, bold outline)"});
    bool respirator = false, strike = false, closed = false, no_data = false;
    for (const auto& [year, bar] : bars_) {
      respirator = respirator || bar.respirator;
      strike = strike || bar.strike;
      closed = closed || bar.closed;
      no_data = no_data || bar.no_data;
    }
    if (respirator) entries.push_back({LegendEntry::Swatch::kBand, {}, "respirator period"});
    entries.push_back({LegendEntry::Swatch::kDashed, {}, LimitationText()});
    if (strike) entries.push_back({LegendEntry::Swatch::kNone, {}, "S strike year"});
    if (closed) entries.push_back({LegendEntry::Swatch::kNone, {}, "C worked after closure"});
    if (no_data) entries.push_back({LegendEntry::Swatch::kNone, {}, "N no dust data"});
    return entries;
  }

  std::string LimitationText() const {
    std::string text = "limitation date (" + std::to_string(data_.limitation_year);
    if (data_.limitation_value == 0.5f) text = "limitation date (mid " +
                                               std::to_string(data_.limitation_year);
    text += ")";
    if (data_.limitation_year < first_) text += ", before the first year";
    if (data_.limitation_year > last_) text += ", after the last year";
    return text;
  }

  double EntryWidth(const LegendEntry& e) const {
    const double swatch = e.swatch == LegendEntry::Swatch::kNone ? 0 : 16;
    return swatch + canvas_.TextWidth(e.text, kLegendPoints, false) + 14;
  }

  // Entries flow left to right and wrap at the box's width.
  template <typename Place>
  int FlowLegend(const std::vector<LegendEntry>& legend, Place place) const {
    int rows = legend.empty() ? 0 : 1;
    double x = 0;
    for (const LegendEntry& e : legend) {
      const double w = EntryWidth(e);
      if (x > 0 && x + w > width_) {
        ++rows;
        x = 0;
      }
      place(e, x, rows - 1);
      x += w;
    }
    return rows;
  }

  double LegendHeight(const std::vector<LegendEntry>& legend) const {
    return FlowLegend(legend, [](const LegendEntry&, double, int) {}) *
           LineHeight(kLegendPoints + 2);
  }

  double DrawLegend(const std::vector<LegendEntry>& legend, double top) {
    const double row_h = LineHeight(kLegendPoints + 2);
    const int rows = FlowLegend(legend, [&](const LegendEntry& e, double x, int row) {
      const double base = top + row * row_h + kLegendPoints;
      const double sy = base - kLegendPoints + 1;
      double tx = x + 16;
      switch (e.swatch) {
        case LegendEntry::Swatch::kFill:
          canvas_.Rect(x, sy, 11, 8, e.fill, 0.5);
          break;
        case LegendEntry::Swatch::kTortious:
          canvas_.Rect(x, sy, 11, 8, {0x808080, 0, kBlack}, kTortiousOutline);
          break;
        case LegendEntry::Swatch::kBand:
          canvas_.Rect(x, sy, 11, 8, {kRespiratorGrey, 0, kBlack}, 0);
          break;
        case LegendEntry::Swatch::kDashed:
          canvas_.Line(x + 5.5, sy - 1, x + 5.5, sy + 9, 1.2, kBlack, true);
          break;
        case LegendEntry::Swatch::kNone:
          tx = x;
          break;
      }
      canvas_.Text(tx, base, e.text, kLegendPoints, false, ChartAlign::kLeft);
    });
    return top + rows * row_h;
  }

  double SlotLeft(double year) const { return plot_left_ + (year - first_) * slot_; }
  double ValueY(double v) const {
    return plot_bottom_ - v / axis_max_ * (plot_bottom_ - plot_top_);
  }

  // Consecutive respirator years make one band behind the bars.
  void RespiratorBands() {
    for (int y = first_; y <= last_; ++y) {
      auto it = bars_.find(static_cast<int16_t>(y));
      if (it == bars_.end() || !it->second.respirator) continue;
      int end = y;
      while (true) {
        auto next = bars_.find(static_cast<int16_t>(end + 1));
        if (next == bars_.end() || !next->second.respirator) break;
        ++end;
      }
      canvas_.Rect(SlotLeft(y), plot_top_, (end - y + 1) * slot_, plot_bottom_ - plot_top_,
                   {kRespiratorGrey, 0, kBlack}, 0);
      y = end;
    }
  }

  void Grid() {
    for (double v = step_; v <= axis_max_ + step_ / 2; v += step_)
      canvas_.Line(plot_left_, ValueY(v), plot_right_, ValueY(v), 0.4, kGridGrey, false);
  }

  void Bars() {
    const double bar_w = std::max(0.5, slot_ * 0.72);
    const double pad = (slot_ - bar_w) / 2;
    for (const auto& [year, bar] : bars_) {
      canvas_.BeginYear(year, std::to_string(year) + ": " +
                                  FormatPattern(static_cast<float>(bar.total), "0.00") +
                                  " dust insult units");
      const double x = SlotLeft(year) + pad;
      double base = 0;
      for (const Segment& s : bar.segments) {
        if (s.insult <= 0) continue;
        const ChartFill full = CollieryFill(s.colliery);
        const double top = ValueY(base + s.insult);
        canvas_.Rect(x, top, bar_w, ValueY(base) - top, {Tint(full.rgb), full.pattern, 0x505050},
                     0.5);
        if (s.tortious > 0) {
          const double t_top = ValueY(base + s.tortious);
          canvas_.Rect(x, t_top, bar_w, ValueY(base) - t_top, full, kTortiousOutline);
        }
        base += s.insult;
      }
      // Markers: what a year without (or with odd) dust was.
      const double mx = x + bar_w / 2;
      double my = ValueY(bar.total) - 2;
      const auto mark = [&](const char* letter) {
        canvas_.Text(mx, my, letter, kAxisPoints, true, ChartAlign::kCentre);
        my -= LineHeight(kAxisPoints);
      };
      if (bar.strike) mark("S");
      if (bar.closed) mark("C");
      if (bar.no_data) mark("N");
      canvas_.EndYear();
    }
  }

  void LimitationLine() {
    const double at = data_.limitation_year + (1.0 - data_.limitation_value);
    if (at < first_ || at > last_ + 1) return;
    const double x = SlotLeft(at);
    canvas_.Line(x, plot_top_ - 2, x, plot_bottom_, 1.2, kBlack, true);
    const std::string label = "limitation date";
    const double w = canvas_.TextWidth(label, kAxisPoints, false);
    const double lx = std::clamp(x, plot_left_ + w / 2, width_ - w / 2);
    canvas_.Text(lx, plot_top_ - 4, label, kAxisPoints, false, ChartAlign::kCentre);
  }

  void Axes() {
    canvas_.Line(plot_left_, plot_top_, plot_left_, plot_bottom_, 0.8, kBlack, false);
    canvas_.Line(plot_left_, plot_bottom_, plot_right_, plot_bottom_, 0.8, kBlack, false);
    for (double v = 0; v <= axis_max_ + step_ / 2; v += step_) {
      canvas_.Line(plot_left_ - 3, ValueY(v), plot_left_, ValueY(v), 0.8, kBlack, false);
      canvas_.Text(plot_left_ - 5, ValueY(v) + kAxisPoints / 3, TickText(v), kAxisPoints, false,
                   ChartAlign::kRight);
    }
    canvas_.Text(0, plot_top_ - LineHeight(kAxisPoints) - 4, "dust insult units per year",
                 kAxisPoints, false, ChartAlign::kLeft);
  }

  void YearLabels() {
    const double label_w = canvas_.TextWidth("0000", kAxisPoints, false) + 6;
    int step = 1;
    for (const int s : {1, 2, 5, 10, 20, 50}) {
      step = s;
      if (s * slot_ >= label_w) break;
    }
    const double base = plot_bottom_ + LineHeight(kAxisPoints);
    for (int y = first_; y <= last_; ++y) {
      const double mid = SlotLeft(y) + slot_ / 2;
      if (y % step != 0) continue;
      canvas_.Line(mid, plot_bottom_, mid, plot_bottom_ + 3, 0.8, kBlack, false);
      const double w = canvas_.TextWidth(std::to_string(y), kAxisPoints, false);
      const double x = std::clamp(mid, w / 2, width_ - w / 2);
      canvas_.Text(x, base + 1, std::to_string(y), kAxisPoints, false, ChartAlign::kCentre);
    }
  }

  const ExposureChartData& data_;
  ChartCanvas& canvas_;
  const double width_;
  const double height_;

  std::vector<Colliery> collieries_;
  std::map<int16_t, YearBar> bars_;
  int16_t first_ = 0;
  int16_t last_ = 0;
  double max_total_ = 0;
  bool any_tortious_ = false;
  double plot_top_ = 0, plot_bottom_ = 0, plot_left_ = 0, plot_right_ = 0;
  double slot_ = 1;
  double step_ = 1;
  double axis_max_ = 1;
};

}  // namespace

std::vector<std::string> ExposureChartCaption(const ExposureChartData& data) {
  const std::string before = FormatPattern(data.recoverable_before_smoking, "0.00");
  const std::string after = FormatPattern(data.recoverable_after_smoking, "0.00");
  std::string text = "Recoverable proportion of quantum: " + before +
                     "% before the smoking adjustment, " + after + "% after it";
  text += data.smoking_insult == 0 ? " (no smoking to adjust for)." : ".";
  return {text};
}

ChartFill CollieryFill(int n) {
  ChartFill f;
  f.rgb = kPalette[n % kPaletteSize];
  // The hatchings run through all eight before a colour comes round again,
  // and shift by one each round, so that nine or more collieries still differ.
  f.pattern = (n + n / kPaletteSize) % kChartPatternCount;
  f.line_rgb = kBlack;
  return f;
}

void DrawExposureChart(const ExposureChartData& data, ChartCanvas& canvas, double width,
                       double height) {
  ChartLayout(data, canvas, width, height).Draw();
}

}  // namespace orv
