// The archive chart's picture without its window: the records as strip-chart samples,
// the strip chart's look (channel colours, legend, value axis fitted to the channels
// shown) and its renderer, for the chart window and the batch report alike.
#pragma once

#include <QPainter>
#include <QRect>
#include <QSize>
#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "archives/archive_figures.h"
#include "controls/chart_time_axis.h"
#include "controls/sample_ring.h"
#include "controls/ui/chart_look.h"
#include "controls/ui/chart_renderer.h"

namespace km8 {

class ArchiveChartScene {
 public:
  ArchiveChartScene();

  // The records as listed, newest first; copied into the samples.
  void setEntries(std::span<const ArchiveEntry> newestFirst);
  std::size_t entryCount() const { return samples_.size(); }
  // Milliseconds of the oldest and the newest record; empty without records.
  std::optional<TimeWindow> recordsTime() const;
  // The listed index of the record nearest to `ms` in time; empty without records.
  std::optional<std::size_t> nearestEntry(std::int64_t ms) const;

  // A hidden channel draws nothing, keeps its place in the legend and leaves the value
  // axis to the others.
  void setChannelShown(int channel, bool shown);
  bool channelShown(int channel) const;
  void setBackground(ColorRef colour);

  const ChartLook& look() const { return look_; }
  const SampleRing& samples() const { return samples_; }
  ChartLayout layout(QSize size) const { return renderer_.layout(look_, size); }
  // Draws the chart at `size`, the logical size of the painter's coordinates.
  void paint(QPainter& painter, QSize size, TimeWindow window);
  // The same picture scaled into `target` with its proportions kept, lines and fonts
  // growing with it (a printer's page, the report's PDF).
  void paintScaled(QPainter& painter, const QRect& target, QSize size, TimeWindow window);

 private:
  void fitValueAxis();

  ChartLook look_;
  SampleRing samples_;
  std::array<ChannelFigures, kChannelCount> figures_{};
  ChartRenderer renderer_;
};

}  // namespace km8
