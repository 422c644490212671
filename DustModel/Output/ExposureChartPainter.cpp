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
// A hatching's line spacing on paper, in points (Qt's patterns repeat
// every eight device pixels).
constexpr double kHatchPoints = 5.0;

QColor Rgb(uint32_t rgb) { return QColor::fromRgb(rgb >> 16 & 0xff, rgb >> 8 & 0xff, rgb & 0xff); }

Qt::BrushStyle Hatching(int pattern) {
  switch (pattern) {
    case 1:
      return Qt::BDiagPattern;
    case 2:
      return Qt::FDiagPattern;
    case 3:
      return Qt::HorPattern;
    case 4:
      return Qt::VerPattern;
    case 5:
      return Qt::CrossPattern;
    case 6:
      return Qt::DiagCrossPattern;
    case 7:
      return Qt::Dense6Pattern;
    default:
      return Qt::NoBrush;
  }
}

// Points on the chart's box to device units.
class PainterCanvas : public ChartCanvas {
 public:
  PainterCanvas(QPainter& painter, const QPointF& origin)
      : p_(painter), origin_(origin), k_(painter.device()->logicalDpiX() / 72.0) {}

  void Rect(double x, double y, double w, double h, const ChartFill& fill,
            double outline) override {
    const QRectF r(At(x, y), QSizeF(w * k_, h * k_));
    p_.fillRect(r, Rgb(fill.rgb));
    if (const Qt::BrushStyle style = Hatching(fill.pattern); style != Qt::NoBrush) {
      QBrush hatch(Rgb(fill.line_rgb), style);
      hatch.setTransform(QTransform::fromScale(kHatchPoints * k_ / 8, kHatchPoints * k_ / 8));
      p_.fillRect(r, hatch);
    }
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
