#include "res/ui/station_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace km8 {
namespace {

QPixmap paintIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);

  // Chart panel.
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  p.setBrush(QColor(250, 250, 240));
  p.drawRoundedRect(QRectF(1.5, 3.5, 29, 25), 3, 3);
  p.setPen(QPen(QColor(190, 190, 190), 0.8));
  for (int y = 10; y <= 24; y += 7) p.drawLine(QLineF(14, y, 29, y));

  // Trend line.
  QPainterPath trend;
  trend.moveTo(14, 24);
  trend.lineTo(18, 19);
  trend.lineTo(21, 21);
  trend.lineTo(25, 12);
  trend.lineTo(29, 9);
  p.setPen(QPen(QColor(0, 110, 220), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(trend);

  // Thermometer: tube and bulb, red column.
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(6, 5.5, 5, 17), 2.5, 2.5);
  p.drawEllipse(QPointF(8.5, 23.5), 4.2, 4.2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(220, 30, 30));
  p.drawRect(QRectF(7.4, 11, 2.2, 12));
  p.drawEllipse(QPointF(8.5, 23.5), 3.0, 3.0);
  return pixmap;
}

}  // namespace

QIcon stationIcon() {
  QIcon icon;
  // Up to 256 px: the desktop's icon theme and the Windows .ico are made from these
  // (scripts/make-icons.sh), and a QIcon does not scale a pixmap up.
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(paintIcon(size));
  return icon;
}

}  // namespace km8
