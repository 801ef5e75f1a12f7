#include "controls/ui/seven_segment_widget.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "controls/ui/color_ref.h"
#include "controls/ui/segment_text.h"

namespace km8 {

namespace {

// Short values keep the size of this many cells, so "0.0" is not drawn huge.
constexpr int kMinCells = 4;
constexpr qreal kCellAspect = 0.55;  // cell width over digit height
constexpr qreal kCellGap = 0.45;     // gap after a cell, in cell widths (room for the point)

// One segment as a hexagon along the line from p to q (horizontal or vertical).
QPainterPath segmentPath(QPointF p, QPointF q, qreal thickness) {
  const qreal h = thickness / 2;
  const bool horizontal = std::abs(q.y() - p.y()) < std::abs(q.x() - p.x());
  QPainterPath path;
  if (horizontal) {
    path.moveTo(p.x(), p.y());
    path.lineTo(p.x() + h, p.y() - h);
    path.lineTo(q.x() - h, q.y() - h);
    path.lineTo(q.x(), q.y());
    path.lineTo(q.x() - h, q.y() + h);
    path.lineTo(p.x() + h, p.y() + h);
  } else {
    path.moveTo(p.x(), p.y());
    path.lineTo(p.x() + h, p.y() + h);
    path.lineTo(q.x() + h, q.y() - h);
    path.lineTo(q.x(), q.y());
    path.lineTo(q.x() - h, q.y() - h);
    path.lineTo(p.x() - h, p.y() + h);
  }
  path.closeSubpath();
  return path;
}

void drawCell(QPainter& painter, const SegmentCell& cell, const QRectF& box) {
  const qreal t = std::max<qreal>(1.5, box.width() * 0.2);
  const qreal inset = t * 0.15;  // keeps neighbouring segments apart
  const qreal left = box.left() + t / 2;
  const qreal right = box.right() - t / 2;
  const qreal top = box.top() + t / 2;
  const qreal bottom = box.bottom() - t / 2;
  const qreal middle = (top + bottom) / 2;
  const QPointF ends[7][2] = {
      {{left + inset, top}, {right - inset, top}},         // a
      {{right, top + inset}, {right, middle - inset}},     // b
      {{right, middle + inset}, {right, bottom - inset}},  // c
      {{left + inset, bottom}, {right - inset, bottom}},   // d
      {{left, middle + inset}, {left, bottom - inset}},    // e
      {{left, top + inset}, {left, middle - inset}},       // f
      {{left + inset, middle}, {right - inset, middle}},   // g
  };
  for (int s = 0; s < 7; ++s) {
    if (cell.segments & (1 << s)) painter.drawPath(segmentPath(ends[s][0], ends[s][1], t));
  }
  if (cell.point) {
    const qreal d = t;
    const qreal gap = box.width() * kCellGap;
    painter.drawEllipse(QRectF(box.right() + (gap - d) / 2, box.bottom() - d, d, d));
  }
}

}  // namespace

SevenSegmentWidget::SevenSegmentWidget(QWidget* parent) : QFrame(parent) {
  // The whole rectangle is painted, so a repaint need not repaint the parent first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setLowered(true);
}

void SevenSegmentWidget::setValue(double value) {
  // The poll cycle sets every value on every reply: repaint only what changed.
  if (value == value_ || (std::isnan(value) && std::isnan(value_))) return;
  value_ = value;
  update();
}

void SevenSegmentWidget::setSegmentColor(ColorRef color) {
  color &= 0xFFFFFF;
  if (color == segmentColor_) return;
  segmentColor_ = color;
  update();
}

void SevenSegmentWidget::setBackgroundColor(ColorRef color) {
  color &= 0xFFFFFF;
  if (color == backgroundColor_) return;
  backgroundColor_ = color;
  update();
}

void SevenSegmentWidget::setPrecision(int decimals) {
  decimals = std::clamp(decimals, 0, 3);
  if (decimals == precision_) return;
  precision_ = decimals;
  update();
}

void SevenSegmentWidget::setLowered(bool lowered) {
  setFrameStyle(lowered ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
  setLineWidth(1);
  update();
}

QString SevenSegmentWidget::displayText() const {
  return QString::fromStdString(formatSegmentValue(value_, precision_));
}

void SevenSegmentWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), toQColor(backgroundColor_));
  drawFrame(&painter);

  const std::vector<SegmentCell> cells = segmentCells(formatSegmentValue(value_, precision_));
  const QRectF area = QRectF(contentsRect()).adjusted(3, 3, -3, -3);
  if (cells.empty() || area.width() < 4 || area.height() < 4) return;

  // The digit height follows the widget; a long text makes the cells narrower and
  // shorter together so the digits keep their shape and stay inside.
  const int cellCount = std::max<int>(kMinCells, static_cast<int>(cells.size()));
  const qreal pitch =
      std::min(area.height() * kCellAspect * (1 + kCellGap), area.width() / cellCount);
  const qreal cellWidth = pitch / (1 + kCellGap);
  const qreal digitHeight = std::min(area.height(), cellWidth / kCellAspect);
  const qreal top = area.top() + (area.height() - digitHeight) / 2;
  qreal x = area.right() - pitch * static_cast<qreal>(cells.size());

  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(segmentColor_));
  for (const SegmentCell& cell : cells) {
    drawCell(painter, cell, QRectF(x, top, cellWidth, digitHeight));
    x += pitch;
  }
}

}  // namespace km8
