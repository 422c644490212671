// The program's icon, painted: a pit headframe with its winding wheel over a
// heap of coal. The installed desktop icon (data/desktop/tarnby.svg) draws
// the same picture.
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "Dialogs.h"

namespace orv::tarnby {

namespace {

QPixmap PaintIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2f, 0x3b, 0x45));
  p.drawRoundedRect(QRectF(4, 4, 56, 56), 10, 10);
  const QColor amber(0xf2, 0xa9, 0x00);
  QPen frame(amber, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(frame);
  p.drawLine(QPointF(20, 50), QPointF(32, 22));
  p.drawLine(QPointF(44, 50), QPointF(32, 22));
  p.drawLine(QPointF(24, 40), QPointF(40, 40));
  p.setPen(QPen(amber, 3));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(32, 18), 8, 8);
  p.setPen(Qt::NoPen);
  p.setBrush(amber);
  p.drawEllipse(QPointF(32, 18), 2, 2);
  QPainterPath heap;
  heap.moveTo(8, 56);
  heap.quadTo(32, 38, 56, 56);
  heap.closeSubpath();
  p.setBrush(QColor(0x10, 0x10, 0x10));
  p.drawPath(heap);
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(PaintIcon(size));
  return icon;
}

}  // namespace orv::tarnby
