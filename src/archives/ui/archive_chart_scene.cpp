#include "archives/ui/archive_chart_scene.h"

#include <algorithm>

#include "archives/archive_chart_series.h"
#include "monitor/strip_chart_logic.h"

namespace km8 {

ArchiveChartScene::ArchiveChartScene() : samples_(ArchiveSamples({})) {
  look_.legendVisible = true;
  look_.legendListsHidden = true;
  // Records are a minute apart at best and may span days.
  look_.timeFormat = QStringLiteral("HH:mm dd.MM");
  for (std::size_t c = 0; c < look_.channels.size(); ++c)
    look_.channels[c].color = ChannelColours[c];
  fitValueAxis();
}

void ArchiveChartScene::setEntries(std::span<const ArchiveEntry> newestFirst) {
  samples_ = ArchiveSamples(newestFirst);
  figures_ = ArchiveChannelFigures(newestFirst);
  fitValueAxis();
}

std::optional<TimeWindow> ArchiveChartScene::recordsTime() const {
  if (samples_.empty()) return std::nullopt;
  return TimeWindow{samples_.time(samples_.firstSeq()), samples_.time(samples_.endSeq() - 1)};
}

std::optional<std::size_t> ArchiveChartScene::nearestEntry(std::int64_t ms) const {
  if (samples_.empty()) return std::nullopt;
  // The first sample at or after ms, then whichever of it and the one before is nearer.
  std::int64_t lo = samples_.firstSeq();
  std::int64_t hi = samples_.endSeq();
  while (lo < hi) {
    const std::int64_t mid = lo + (hi - lo) / 2;
    if (samples_.time(mid) < ms) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  std::int64_t seq = std::min(lo, samples_.endSeq() - 1);
  if (seq > samples_.firstSeq() && ms - samples_.time(seq - 1) <= samples_.time(seq) - ms) --seq;
  // The samples run oldest first, the list newest first.
  return static_cast<std::size_t>(samples_.endSeq() - 1 - seq);
}

void ArchiveChartScene::setChannelShown(int channel, bool shown) {
  if (channel < 0 || channel >= kChartChannels) return;
  look_.channels[static_cast<std::size_t>(channel)].visible = shown;
  fitValueAxis();
}

bool ArchiveChartScene::channelShown(int channel) const {
  return channel >= 0 && channel < kChartChannels &&
         look_.channels[static_cast<std::size_t>(channel)].visible;
}

void ArchiveChartScene::setBackground(ColorRef colour) {
  look_.outerBackground = colour;
  look_.plotBackground = colour;
}

void ArchiveChartScene::fitValueAxis() {
  std::array<bool, kChannelCount> shown{};
  for (std::size_t c = 0; c < shown.size(); ++c) shown[c] = look_.channels[c].visible;
  const auto [lo, hi] = FittedValueAxis(figures_, shown);
  look_.valueMin = lo;
  look_.valueMax = hi;
}

void ArchiveChartScene::paint(QPainter& painter, QSize size, TimeWindow window) {
  renderer_.paint(painter, size, look_, samples_, window, ChartCursor{});
}

void ArchiveChartScene::paintScaled(QPainter& painter, const QRect& target, QSize size,
                                    TimeWindow window) {
  renderer_.paintScaled(painter, target, size, look_, samples_, window, ChartCursor{});
}

}  // namespace km8
