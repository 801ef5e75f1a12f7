#include "archives/ui/archive_chart_widget.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "archives/archive_rows.h"
#include "controls/ui/color_ref.h"

namespace km8 {

ArchiveChartWidget::ArchiveChartWidget(Source source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  // Reading 60000 records again takes some milliseconds; rows may come every few dozen.
  redraw_.setSingleShot(true);
  redraw_.setInterval(250);
  connect(&redraw_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void ArchiveChartWidget::recordsChanged() {
  stale_ = true;
  if (!redraw_.isActive()) redraw_.start();
}

void ArchiveChartWidget::refresh() {
  if (!stale_) return;
  stale_ = false;
  const std::span<const ArchiveEntry> entries =
      source_ ? source_() : std::span<const ArchiveEntry>{};
  scene_.setEntries(entries);
  if (const auto time = scene_.recordsTime()) {
    view_.setExtent(time->start, time->end);
  } else {
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    view_.setExtent(now, now);
  }
  if (hovered_ && *hovered_ >= entries.size()) hovered_.reset();
}

const ArchiveChartScene& ArchiveChartWidget::scene() {
  refresh();
  return scene_;
}

const ArchiveTimeView& ArchiveChartWidget::view() {
  refresh();
  return view_;
}

ChartLayout ArchiveChartWidget::chartLayout() { return scene().layout(pictureSize()); }

void ArchiveChartWidget::setBackground(ColorRef colour) {
  scene_.setBackground(colour);
  update();
}

QImage ArchiveChartWidget::renderPicture() {
  refresh();
  QImage picture(pictureSize(), QImage::Format_RGB32);
  if (picture.isNull()) return picture;
  QPainter painter(&picture);
  scene_.paint(painter, picture.size(), view_.window());
  return picture;
}

void ArchiveChartWidget::renderScaled(QPainter& painter, const QRect& target) {
  refresh();
  scene_.paintScaled(painter, target, pictureSize(), view_.window());
}

void ArchiveChartWidget::paintEvent(QPaintEvent*) {
  refresh();
  QPainter painter(this);
  scene_.paint(painter, size(), view_.window());
  paintReadout(painter, scene_.layout(size()));
}

void ArchiveChartWidget::paintReadout(QPainter& painter, const ChartLayout& layout) {
  const std::span<const ArchiveEntry> entries =
      source_ ? source_() : std::span<const ArchiveEntry>{};
  if (!hovered_ || *hovered_ >= entries.size()) return;
  const std::size_t n = *hovered_;
  const ArchiveEntry& entry = entries[n];
  const ChartLook& look = scene_.look();
  const QRect& plot = layout.plot;
  const TimeWindow w = view_.window();

  // The record's column, as the decimation places its sample.
  const std::int64_t t = entry.instant * 1000;
  if (t < w.start || t > w.end) return;
  const int x =
      plot.left() +
      std::min<int>(plot.width() - 1, static_cast<int>((t - w.start) * plot.width() / w.span()));
  painter.setPen(toQColor(look.cursorColor));
  painter.drawLine(x, plot.top(), x, plot.bottom());

  // The list's own texts: number, time (or the marker's word), the eight values.
  QStringList lines;
  lines << QString::fromStdString(ArchiveCellText(n, entry, 0) + "   " +
                                  ArchiveCellText(n, entry, 1));
  for (int c = 0; c < kChartChannels; ++c) {
    lines << look.channels[static_cast<std::size_t>(c)].name + QStringLiteral("  ") +
                 QString::fromStdString(ArchiveCellText(n, entry, 2 + c));
  }
  const QFontMetrics metrics(look.labelFont);
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  const int lineHeight = metrics.height();
  QRect box(0, plot.top() + 4, width + 8, lineHeight * static_cast<int>(lines.size()) + 6);
  box.moveLeft(x + 6 + box.width() <= plot.right() ? x + 6 : x - 6 - box.width());
  painter.fillRect(box, toQColor(look.plotBackground));
  painter.setPen(toQColor(look.axisColor));
  painter.drawRect(box.adjusted(0, 0, -1, -1));
  painter.setFont(look.labelFont);
  for (int i = 0; i < lines.size(); ++i) {
    const ColorRef colour = i == 0 ? look.axisColor
                            : look.channels[static_cast<std::size_t>(i - 1)].visible
                                ? look.channels[static_cast<std::size_t>(i - 1)].color
                                : look.gridColor;
    painter.setPen(toQColor(colour));
    painter.drawText(QRect(box.left() + 4, box.top() + 3 + i * lineHeight, width, lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
  }
}

void ArchiveChartWidget::hoverAt(int x) {
  const ChartLayout layout = chartLayout();
  const QRect& plot = layout.plot;
  std::optional<std::size_t> nearest;
  if (x >= plot.left() && x <= plot.right() && plot.width() > 0) {
    const TimeWindow w = view_.window();
    const double at = (x - plot.left() + 0.5) / plot.width();
    nearest = scene_.nearestEntry(w.start + static_cast<std::int64_t>(at * w.span()));
  }
  if (nearest != hovered_) {
    hovered_ = nearest;
    update();
  }
}

void ArchiveChartWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  const ChartLayout layout = chartLayout();
  const auto rows = ChartRenderer::legendRows(scene_.look(), layout);
  for (int c = 0; c < kChartChannels; ++c) {
    if (rows[static_cast<std::size_t>(c)].contains(pos)) {
      scene_.setChannelShown(c, !scene_.channelShown(c));
      update();
      return;
    }
  }
  if (layout.plot.contains(pos)) {
    dragX_ = pos.x();
    setCursor(Qt::ClosedHandCursor);
  }
}

void ArchiveChartWidget::mouseMoveEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  if (dragX_) {
    const int width = chartLayout().plot.width();
    if (width > 0 && x != *dragX_) {
      // The records follow the pointer: dragging right shows earlier times.
      view_.pan(static_cast<double>(*dragX_ - x) / width);
      dragX_ = x;
      update();
    }
  }
  hoverAt(x);
}

void ArchiveChartWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragX_) return;
  dragX_.reset();
  unsetCursor();
}

void ArchiveChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (!chartLayout().plot.contains(event->position().toPoint())) {
    mousePressEvent(event);  // a quick second click on a legend name switches it back
    return;
  }
  view_.showAll();
  update();
}

void ArchiveChartWidget::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  const QRect plot = chartLayout().plot;
  if (steps == 0.0 || plot.width() < 2) return;
  event->accept();
  view_.zoom(steps, (event->position().x() - plot.left()) / plot.width());
  hoverAt(static_cast<int>(event->position().x()));
  update();
}

void ArchiveChartWidget::leaveEvent(QEvent*) {
  if (!hovered_) return;
  hovered_.reset();
  update();
}

}  // namespace km8
