#include "ExposureChartPainter.h"

#include <QBrush>
#include <QFontMetricsF>
#include <QPen>
#include <algorithm>

#include "ReportRenderer.h"

namespace orv::dusto {

namespace {

// The chart is at most as tall as it is wide, so that a short career does
// not stretch its bars down the whole page.
constexpr double kMaxHeightToWidth = 1.0;
// A hatching's line spacing and line width on paper, in points: wide
// enough apart to tell one hatching from another on a printed page.
constexpr double kHatchPoints = 4.5;
constexpr double kHatchLinePoints = 0.6;

QColor Rgb(uint32_t rgb) { return QColor::fromRgb(rgb >> 16 & 0xff, rgb >> 8 & 0xff, rgb & 0xff); }

// Points on the chart's box to device units.
class PainterCanvas : public ChartCanvas {
 public:
  PainterCanvas(QPainter& painter, const QPointF& origin)
      : p_(painter), origin_(origin), k_(painter.device()->logicalDpiX() / 72.0) {}

  void Rect(double x, double y, double w, double h, const ChartFill& fill,
            double outline) override {
    const QRectF r(At(x, y), QSizeF(w * k_, h * k_));
    p_.fillRect(r, Rgb(fill.rgb));
    Hatch(r, fill);
    if (outline > 0) {
      p_.setPen(QPen(Qt::black, outline * k_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
      p_.setBrush(Qt::NoBrush);
      p_.drawRect(r);
    }
  }

  void Line(double x1, double y1, double x2, double y2, double width, uint32_t rgb,
            bool dashed) override {
    QPen pen(Rgb(rgb), width * k_);
    pen.setCapStyle(Qt::FlatCap);
    if (dashed) pen.setDashPattern({4 / width, 3 / width});
    p_.setPen(pen);
    p_.drawLine(At(x1, y1), At(x2, y2));
  }

  void Text(double x, double y, const std::string& text, double points, bool bold,
            ChartAlign align) override {
    const QFont font = Font(points, bold);
    const QString s = QString::fromStdString(text);
    const double w = QFontMetricsF(font, p_.device()).horizontalAdvance(s);
    QPointF at = At(x, y);
    if (align == ChartAlign::kCentre) at.rx() -= w / 2;
    if (align == ChartAlign::kRight) at.rx() -= w;
    p_.setFont(font);
    p_.setPen(Qt::black);
    p_.drawText(at, s);
  }

  double TextWidth(const std::string& text, double points, bool bold) override {
    return QFontMetricsF(Font(points, bold), p_.device())
               .horizontalAdvance(QString::fromStdString(text)) /
           k_;
  }

  double PointsPerDevice() const { return 1 / k_; }

 private:
  static QFont Font(double points, bool bold) {
    QFont f = ReportFont(10, bold);
    f.setPointSizeF(points);
    return f;
  }
  QPointF At(double x, double y) const { return origin_ + QPointF(x * k_, y * k_); }

  // The fill's hatching, drawn line by line inside the rectangle: a
  // pattern brush would be drawn at the device's resolution, far too fine
  // on a printer or in a PDF file.
  void Hatch(const QRectF& r, const ChartFill& fill) {
    const int pattern = fill.pattern;
    if (pattern <= 0 || r.width() <= 0 || r.height() <= 0) return;
    const double step = kHatchPoints * k_;
    p_.save();
    p_.setClipRect(r, Qt::IntersectClip);
    p_.setPen(QPen(Rgb(fill.line_rgb), kHatchLinePoints * k_, Qt::SolidLine, Qt::FlatCap));
    const bool rising = pattern == 1 || pattern == 6;
    const bool falling = pattern == 2 || pattern == 6;
    const bool across = pattern == 3 || pattern == 5;
    const bool down = pattern == 4 || pattern == 5;
    const double h = r.height();
    for (double d = -h; d < r.width() + step; d += step) {
      if (rising) p_.drawLine(QPointF(r.left() + d, r.bottom()), QPointF(r.left() + d + h, r.top()));
      if (falling) p_.drawLine(QPointF(r.left() + d, r.top()), QPointF(r.left() + d + h, r.bottom()));
    }
    for (double y = r.top() + step / 2; across && y < r.bottom(); y += step)
      p_.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    // Upright lines at least three to a bar, so that a narrow bar shows them.
    const double across_step = std::min(step, r.width() / 3);
    for (double x = r.left() + across_step / 2; down && x < r.right(); x += across_step)
      p_.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    if (pattern == 7) {
      p_.setPen(Qt::NoPen);
      p_.setBrush(Rgb(fill.line_rgb));
      const double radius = kHatchLinePoints * k_;
      for (double y = r.top() + step / 2; y < r.bottom(); y += step)
        for (double x = r.left() + step / 2; x < r.right(); x += step)
          p_.drawEllipse(QPointF(x, y), radius, radius);
    }
    p_.restore();
  }

  QPainter& p_;
  const QPointF origin_;
  const double k_;
};

}  // namespace

void PaintExposureChart(QPainter& painter, const QRectF& box, const ExposureChartData& chart) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setClipRect(box);
  PainterCanvas canvas(painter, box.topLeft());
  const double width = box.width() * canvas.PointsPerDevice();
  const double height = std::min(box.height() * canvas.PointsPerDevice(), width * kMaxHeightToWidth);
  DrawExposureChart(chart, canvas, width, height);
  painter.restore();
}

}  // namespace orv::dusto
