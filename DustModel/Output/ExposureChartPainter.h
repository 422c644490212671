// The exposure chart painted with QPainter: the report's page after its
// last line, in the preview, on the printer and in the PDF file alike.
#pragma once

#include <QPainter>
#include <QRectF>

#include "ExposureChart.h"

namespace orv::dusto {

// Paints the chart into `box` (device units of the painter's device), in
// the report's font, as wide as the box and no taller than it.
void PaintExposureChart(QPainter& painter, const QRectF& box, const ExposureChartData& chart);

}  // namespace orv::dusto
