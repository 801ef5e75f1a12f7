// Draws the strip chart into any painter (screen, image, printer): backgrounds, the
// clock-time and value axes, grid, limit lines, traces as min/max per pixel column,
// legend and cursor.
#pragma once

#include <QLine>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

#include "controls/chart_time_axis.h"
#include "controls/sample_ring.h"
#include "controls/ui/chart_look.h"

namespace km8 {

struct ChartLayout {
  QRect plot;    // the traces' area; one pixel column per decimation column
  QRect legend;  // empty while the legend is hidden
};

struct ChartCursor {
  bool shown = false;
  int x = 0;  // in the chart's coordinates
};

class ChartRenderer {
 public:
  ChartLayout layout(const ChartLook& look, QSize size) const;
  void paint(QPainter& painter, QSize size, const ChartLook& look, const SampleRing& samples,
             TimeWindow window, const ChartCursor& cursor);
  // The chart drawn at `size` and scaled into `target` with its proportions kept, its
  // lines and fonts growing with it (a printer's page, a PDF).
  void paintScaled(QPainter& painter, const QRect& target, QSize size, const ChartLook& look,
                   const SampleRing& samples, TimeWindow window, const ChartCursor& cursor);

  // The texts under the time axis, from the left end to the right end.
  static QStringList timeLabels(const ChartLook& look, TimeWindow window);
  // The value range actually drawn: ends in order and apart, whatever was set.
  static std::pair<double, double> drawnRange(const ChartLook& look);
  // Where the legend lists each channel; empty for a channel it leaves out.
  static std::array<QRect, kChartChannels> legendRows(const ChartLook& look,
                                                      const ChartLayout& layout);

 private:
  struct ValueTicks {
    std::vector<double> values;
    int decimals = 0;
  };
  static ValueTicks valueTicks(double lo, double hi);
  void paintTrace(QPainter& painter, const ChartLayout& layout, const ChartLook& look,
                  const SampleRing& samples, int channel);
  void paintLines(QPainter& painter, const ChartLayout& layout, const ChartLook& look) const;
  void paintLegend(QPainter& painter, const ChartLayout& layout, const ChartLook& look) const;
  void paintCursor(QPainter& painter, const ChartLayout& layout, const ChartLook& look,
                   TimeWindow window, const ChartCursor& cursor) const;
  int yOf(const ChartLayout& layout, double lo, double hi, double value) const;

  // Scratch space kept between paints, so that a redraw allocates nothing once warm.
  std::vector<std::int64_t> bounds_;
  std::vector<ColumnSummary> columns_;
  std::vector<ColumnSummary> currentColumns_;  // the current channel's, for the cursor
  std::vector<QLine> lines_;
  std::vector<QPoint> points_;
  std::vector<QRect> rects_;
};

}  // namespace km8
