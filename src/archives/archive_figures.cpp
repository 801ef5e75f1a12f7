#include "archives/archive_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace km8 {
namespace {

// The share of the straight line from a to b that lies above the limit.
double ShareAbove(double a, double b, double limit) {
  if (a > limit && b > limit) return 1.0;
  if (a <= limit && b <= limit) return 0.0;
  return (std::max(a, b) - limit) / std::abs(b - a);
}

std::optional<double> ValueOf(const ArchiveEntry& entry, int channel) {
  if (entry.kind() != ArchiveRecordKind::Valid) return std::nullopt;
  return entry.record.channelValue(channel);
}

}  // namespace

std::array<ChannelFigures, kChannelCount> ArchiveChannelFigures(
    std::span<const ArchiveEntry> newestFirst, const ChannelLimitsRead& limits) {
  std::array<ChannelFigures, kChannelCount> figures{};
  for (int c = 0; c < kChannelCount; ++c) {
    ChannelFigures& f = figures[static_cast<std::size_t>(c)];
    const std::optional<ChannelLimits>& lim = limits[static_cast<std::size_t>(c)];
    if (lim) f.secondsAbove = f.secondsBelow = 0.0;
    std::int64_t tenths = 0;      // summed whole, so the mean is exact
    std::optional<double> older;  // of the record one older than the one at hand
    // Oldest first, so that a value reached again keeps its first time.
    for (std::size_t i = newestFirst.size(); i-- > 0;) {
      const ArchiveEntry& entry = newestFirst[i];
      const std::optional<double> v = ValueOf(entry, c);
      if (v) {
        if (f.count == 0 || *v < f.min) f.min = *v, f.minEntry = i;
        if (f.count == 0 || *v > f.max) f.max = *v, f.maxEntry = i;
        ++f.count;
        tenths += entry.record.tenths(c);
        if (lim && older) {
          const auto span = static_cast<double>(entry.instant - newestFirst[i + 1].instant);
          *f.secondsAbove += span * ShareAbove(*older, *v, lim->alarmHigh);
          *f.secondsBelow += span * ShareAbove(-*older, -*v, -lim->alarmLow);
        }
      }
      older = v;
    }
    if (f.count > 0) f.mean = static_cast<double>(tenths) / 10.0 / static_cast<double>(f.count);
  }
  return figures;
}

}  // namespace km8
