#include "controls/ui/chart_renderer.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPaintEngine>
#include <algorithm>
#include <cmath>

#include "controls/ui/color_ref.h"

namespace km8 {

namespace {

QString valueText(double v, int decimals) { return QString::number(v, 'f', decimals); }

QString clockText(const ChartLook& look, std::int64_t ms) {
  return QDateTime::fromMSecsSinceEpoch(ms).toString(look.timeFormat);
}

// Where the time axis puts tick k of `count`, from the plot's left to its right column.
int tickX(const QRect& plot, int k, int count) {
  if (count < 2) return plot.left();
  return plot.left() +
         static_cast<int>(static_cast<std::int64_t>(k) * (plot.width() - 1) / (count - 1));
}

std::int64_t tickTime(TimeWindow window, int k, int count) {
  if (count < 2) return window.start;
  return window.start + window.span() / (count - 1) * k +
         window.span() % (count - 1) * k / (count - 1);
}

}  // namespace

std::pair<double, double> ChartRenderer::drawnRange(const ChartLook& look) {
  double lo = look.valueMin;
  double hi = look.valueMax;
  if (lo > hi) std::swap(lo, hi);
  if (!(hi - lo > 0.0) || !std::isfinite(hi - lo)) hi = lo + 1.0;
  return {lo, hi};
}

ChartRenderer::ValueTicks ChartRenderer::valueTicks(double lo, double hi) {
  ValueTicks ticks;
  const double rough = (hi - lo) / 5.0;
  if (!(rough > 0.0) || !std::isfinite(rough)) return ticks;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  double step = 10.0 * magnitude;
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * magnitude >= rough) {
      step = m * magnitude;
      break;
    }
  }
  ticks.decimals =
      step >= 1.0 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
  const double first = std::ceil(lo / step) * step;
  for (int i = 0; i < 50; ++i) {
    double v = first + i * step;
    if (v > hi + step * 1e-9) break;
    if (std::abs(v) < step * 1e-9) v = 0.0;  // no "-0"
    ticks.values.push_back(v);
  }
  return ticks;
}

QStringList ChartRenderer::timeLabels(const ChartLook& look, TimeWindow window) {
  QStringList labels;
  for (int k = 0; k < look.timeTickCount; ++k) {
    labels << clockText(look, tickTime(window, k, look.timeTickCount));
  }
  return labels;
}

ChartLayout ChartRenderer::layout(const ChartLook& look, QSize size) const {
  const QFontMetrics labels(look.labelFont);
  const QFontMetrics titles(look.titleFont);
  const auto [lo, hi] = drawnRange(look);
  const ValueTicks ticks = valueTicks(lo, hi);
  int valueLabelWidth = 0;
  for (double v : ticks.values) {
    valueLabelWidth =
        std::max(valueLabelWidth, labels.horizontalAdvance(valueText(v, ticks.decimals)));
  }

  ChartLayout result;
  QRect content = QRect(QPoint(0, 0), size).marginsRemoved(look.outerMargins);
  if (look.legendVisible) {
    result.legend = QRect(content.right() - look.legendWidth + 1, content.top(), look.legendWidth,
                          content.height());
    content.setRight(content.right() - look.legendWidth - look.legendMargin);
  }
  const int timeLabelWidth =
      labels.horizontalAdvance(QDateTime(QDate(2000, 1, 1), QTime(0, 0)).toString(look.timeFormat));
  const int left =
      content.left() + titles.height() + 3 + valueLabelWidth + 3 + look.valueTickLength + 1;
  const int right = content.right() - timeLabelWidth / 2;
  const int top = content.top() + labels.height() / 2 + 1;
  const int bottom =
      content.bottom() - (1 + look.timeTickLength + 2 + labels.height() + 2 + titles.height());
  result.plot = QRect(QPoint(left, top), QPoint(right, bottom));
  return result;
}

int ChartRenderer::yOf(const ChartLayout& layout, double lo, double hi, double value) const {
  const QRect& plot = layout.plot;
  double y = plot.top() + (hi - value) / (hi - lo) * (plot.height() - 1);
  // Far-off values are drawn towards the edge only; the clip hides the rest and the
  // rasteriser never sees huge coordinates.
  const double reach = 4.0 * plot.height();
  y = std::clamp(y, plot.top() - reach, plot.bottom() + reach);
  return static_cast<int>(std::lround(y));
}

void ChartRenderer::paint(QPainter& painter, QSize size, const ChartLook& look,
                          const SampleRing& samples, TimeWindow window, const ChartCursor& cursor) {
  const ChartLayout l = layout(look, size);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), size), toQColor(look.outerBackground));
  const QRect& plot = l.plot;
  if (plot.width() < 2 || plot.height() < 2) {
    painter.restore();
    return;
  }
  painter.fillRect(plot, toQColor(look.plotBackground));

  const auto [lo, hi] = drawnRange(look);
  const ValueTicks ticks = valueTicks(lo, hi);
  const QColor axis = toQColor(look.axisColor);

  // Grid at the labelled ticks.
  painter.setPen(QPen(toQColor(look.gridColor), 1, Qt::DotLine));
  for (double v : ticks.values) {
    const int y = yOf(l, lo, hi, v);
    if (y > plot.top() && y < plot.bottom()) painter.drawLine(plot.left(), y, plot.right(), y);
  }
  for (int k = 1; k + 1 < look.timeTickCount; ++k) {
    const int x = tickX(plot, k, look.timeTickCount);
    painter.drawLine(x, plot.top(), x, plot.bottom());
  }

  painter.setClipRect(plot);
  paintLines(painter, l, look);
  const auto columns = static_cast<std::size_t>(plot.width());
  bounds_.resize(columns + 1);
  samples.columnBounds(window.start, window.end, bounds_);
  currentColumns_.clear();
  for (int ch = 0; ch < kChartChannels; ++ch) {
    if (ch != look.currentChannel) paintTrace(painter, l, look, samples, ch);
  }
  if (look.currentChannel >= 0 && look.currentChannel < kChartChannels) {
    paintTrace(painter, l, look, samples, look.currentChannel);
  }
  painter.setClipping(false);

  // Frame just outside the plot, so that it never covers the first or newest column.
  painter.setPen(QPen(axis, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot.adjusted(-1, -1, 0, 0));

  const QFontMetrics labelMetrics(look.labelFont);
  const QFontMetrics titleMetrics(look.titleFont);
  painter.setFont(look.labelFont);
  // Time axis: ticks, clock times (kept inside the chart at both ends), title.
  const QStringList times = timeLabels(look, window);
  const int labelTop = plot.bottom() + 2 + look.timeTickLength + 1;
  for (int k = 0; k < look.timeTickCount; ++k) {
    const int x = tickX(plot, k, look.timeTickCount);
    painter.drawLine(x, plot.bottom() + 2, x, plot.bottom() + 1 + look.timeTickLength);
    const int w = labelMetrics.horizontalAdvance(times[k]) + 2;
    const int left = std::clamp(x - w / 2, 0, std::max(0, size.width() - w));
    painter.drawText(QRect(left, labelTop, w, labelMetrics.height()), Qt::AlignCenter, times[k]);
  }
  painter.setFont(look.titleFont);
  painter.drawText(
      QRect(plot.left(), labelTop + labelMetrics.height() + 2, plot.width(), titleMetrics.height()),
      Qt::AlignCenter, look.timeTitle);

  // Value axis: ticks, numbers, title written upwards.
  painter.setFont(look.labelFont);
  for (double v : ticks.values) {
    const int y = yOf(l, lo, hi, v);
    painter.drawLine(plot.left() - 1 - look.valueTickLength, y, plot.left() - 2, y);
    const int right = plot.left() - 2 - look.valueTickLength - 2;
    painter.drawText(QRect(0, y - labelMetrics.height() / 2, right, labelMetrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, valueText(v, ticks.decimals));
  }
  painter.save();
  painter.setFont(look.titleFont);
  painter.translate(look.outerMargins.left() + titleMetrics.height() / 2.0 + 1, plot.center().y());
  painter.rotate(-90);
  const int titleWidth = std::max(plot.height(), titleMetrics.horizontalAdvance(look.valueTitle));
  painter.drawText(
      QRect(-titleWidth / 2, -titleMetrics.height() / 2, titleWidth, titleMetrics.height()),
      Qt::AlignCenter, look.valueTitle);
  painter.restore();

  paintLegend(painter, l, look);
  paintCursor(painter, l, look, window, cursor);
  painter.restore();
}

void ChartRenderer::paintScaled(QPainter& painter, const QRect& target, QSize size,
                                const ChartLook& look, const SampleRing& samples, TimeWindow window,
                                const ChartCursor& cursor) {
  painter.save();
  painter.setViewport(QRect(target.topLeft(), size.scaled(target.size(), Qt::KeepAspectRatio)));
  painter.setWindow(QRect(QPoint(0, 0), size));
  paint(painter, size, look, samples, window, cursor);
  painter.restore();
}

void ChartRenderer::paintLines(QPainter& painter, const ChartLayout& layout,
                               const ChartLook& look) const {
  const auto [lo, hi] = drawnRange(look);
  for (const ChartChannel& ch : look.channels) {
    if (!ch.visible) continue;
    for (const auto* lines : {&ch.regulation, &ch.alarm}) {
      for (const ChartLine& line : *lines) {
        if (!line.shown || !std::isfinite(line.value) || line.value < lo || line.value > hi) {
          continue;
        }
        const int y = yOf(layout, lo, hi, line.value);
        painter.setPen(
            QPen(toQColor(line.color), 1, line.code == 3 ? Qt::DashLine : Qt::SolidLine));
        painter.drawLine(layout.plot.left(), y, layout.plot.right(), y);
      }
    }
  }
}

void ChartRenderer::paintTrace(QPainter& painter, const ChartLayout& layout, const ChartLook& look,
                               const SampleRing& samples, int channel) {
  const ChartChannel& ch = look.channels[static_cast<std::size_t>(channel)];
  if (!ch.visible) return;
  columns_.resize(bounds_.size() - 1);
  samples.summarize(channel, bounds_, columns_);
  const auto [lo, hi] = drawnRange(look);
  const QColor color = toQColor(ch.color);

  // Per column one vertical stroke from the minimum to the maximum, and a stroke from
  // the previous column's last value to this one's first, unless a sample without
  // value lies between them. Columns without any sample (samples sparser than pixels)
  // do not break the trace.
  // Where the painter sets device pixels one for one (an image or a widget, unscaled,
  // not antialiased), a vertical stroke is exactly the one-pixel-wide rectangle from
  // its top to its bottom end, and rectangles fill in one batch for far less than
  // lines cost; elsewhere (the printer, a scaled picture) the strokes stay lines.
  const bool strokesAsRects = painter.paintEngine() != nullptr &&
                              painter.paintEngine()->type() == QPaintEngine::Raster &&
                              painter.deviceTransform().type() <= QTransform::TxTranslate &&
                              !painter.testRenderHint(QPainter::Antialiasing);
  lines_.clear();
  points_.clear();
  rects_.clear();
  bool joined = false;
  QPoint previous;
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    const ColumnSummary& col = columns_[c];
    if (!col.hasSamples) continue;
    if (!col.hasValue) {
      joined = false;
      continue;
    }
    const int x = layout.plot.left() + static_cast<int>(c);
    const int yMin = yOf(layout, lo, hi, col.min);
    const int yMax = yOf(layout, lo, hi, col.max);
    const QPoint first(x, yOf(layout, lo, hi, col.first));
    const bool linked = joined && !col.gapBefore;
    // A join to the column just before that moves at most one row sets only its two end
    // pixels; on such a device the two columns' own strokes set them already.
    const bool joinAddsNothing = strokesAsRects && yMin != yMax && previous.x() == x - 1 &&
                                 std::abs(first.y() - previous.y()) <= 1;
    if (linked && !joinAddsNothing) lines_.emplace_back(previous, first);
    if (yMin != yMax) {
      if (strokesAsRects) {
        rects_.emplace_back(x, yMax, 1, yMin - yMax + 1);  // yMax is the upper end
      } else {
        lines_.emplace_back(x, yMin, x, yMax);
      }
    } else if (!linked) {
      points_.push_back(first);
    }
    previous = QPoint(x, yOf(layout, lo, hi, col.last));
    joined = !col.gapAfter;
  }
  if (!rects_.empty()) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRects(rects_.data(), static_cast<int>(rects_.size()));
    painter.setBrush(Qt::NoBrush);
  }
  painter.setPen(QPen(color, 1));
  if (!lines_.empty()) painter.drawLines(lines_.data(), static_cast<int>(lines_.size()));
  if (!points_.empty()) painter.drawPoints(points_.data(), static_cast<int>(points_.size()));
  if (channel == look.currentChannel) currentColumns_ = columns_;
}

std::array<QRect, kChartChannels> ChartRenderer::legendRows(const ChartLook& look,
                                                            const ChartLayout& layout) {
  std::array<QRect, kChartChannels> rows{};
  if (layout.legend.isEmpty()) return rows;
  const int height = QFontMetrics(look.labelFont).height();
  const QRect& box = layout.legend;
  int y = box.top() + 2;
  for (int i = 0; i < kChartChannels; ++i) {
    if (!look.channels[static_cast<std::size_t>(i)].visible && !look.legendListsHidden) continue;
    if (y + height > box.bottom()) break;
    rows[static_cast<std::size_t>(i)] = QRect(box.left(), y, box.width(), height);
    y += height + 2;
  }
  return rows;
}

void ChartRenderer::paintLegend(QPainter& painter, const ChartLayout& layout,
                                const ChartLook& look) const {
  painter.setFont(look.labelFont);
  const auto rows = legendRows(look, layout);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const QRect& row = rows[i];
    if (row.isEmpty()) continue;
    const ChartChannel& ch = look.channels[i];
    if (ch.visible) {
      const int middle = row.top() + row.height() / 2;
      painter.setPen(QPen(toQColor(ch.color), 2));
      painter.drawLine(row.left() + 2, middle, row.left() + 11, middle);
    }
    painter.setPen(toQColor(ch.visible ? look.axisColor : look.gridColor));
    painter.drawText(row.adjusted(14, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, ch.name);
  }
}

void ChartRenderer::paintCursor(QPainter& painter, const ChartLayout& layout, const ChartLook& look,
                                TimeWindow window, const ChartCursor& cursor) const {
  const QRect& plot = layout.plot;
  if (!cursor.shown || cursor.x < plot.left() || cursor.x > plot.right()) return;
  const QColor color = toQColor(look.cursorColor);
  painter.setPen(QPen(color, 1));
  painter.drawLine(cursor.x, plot.top(), cursor.x, plot.bottom());

  const auto column = static_cast<std::size_t>(cursor.x - plot.left());
  const std::int64_t t =
      window.start +
      static_cast<std::int64_t>((column + 0.5) * static_cast<double>(window.span()) / plot.width());
  QString text = clockText(look, t);
  if (column < currentColumns_.size() && currentColumns_[column].hasValue) {
    text += QStringLiteral("  ") + valueText(currentColumns_[column].last, 1);
  }
  const QFontMetrics metrics(look.labelFont);
  painter.setFont(look.labelFont);
  const int w = metrics.horizontalAdvance(text) + 4;
  const int left = cursor.x + 3 + w <= plot.right() ? cursor.x + 3 : cursor.x - 3 - w;
  painter.drawText(QRect(left, plot.top() + 1, w, metrics.height()), Qt::AlignCenter, text);
}

}  // namespace km8
