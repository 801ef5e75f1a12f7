#include "controls/ui/round_led_widget.h"

#include <QPainter>
#include <algorithm>

#include "controls/ui/color_ref.h"

namespace km8 {

RoundLedWidget::RoundLedWidget(QWidget* parent) : QWidget(parent) {}

void RoundLedWidget::setLit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  update();
}

void RoundLedWidget::setActiveColor(ColorRef color) {
  color &= 0xFFFFFF;
  if (color == activeColor_) return;
  activeColor_ = color;
  update();
}

ColorRef RoundLedWidget::inactiveColor() const {
  return toColorRef(toQColor(activeColor_).darker(300));
}

void RoundLedWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal diameter = std::max(2, std::min(width(), height()) - 2);
  const QRectF lamp((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter, diameter);
  painter.setPen(QPen(QColor(64, 64, 64), 1.0));
  painter.setBrush(toQColor(lit_ ? activeColor_ : inactiveColor()));
  painter.drawEllipse(lamp);
  // A glint in the upper left quarter; it stays off the centre, which keeps the
  // lamp's own colour.
  if (diameter >= 8) {
    const qreal r = diameter / 2.0;
    const QPointF glint = lamp.center() - QPointF(r * 0.42, r * 0.42);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, lit_ ? 170 : 60));
    painter.drawEllipse(glint, r * 0.2, r * 0.2);
  }
}

}  // namespace km8
