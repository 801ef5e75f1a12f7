#include "archives/archive_chart_series.h"

#include <algorithm>
#include <cstdint>

#include "monitor/strip_chart_logic.h"

namespace km8 {

SampleRing ArchiveSamples(std::span<const ArchiveEntry> newestFirst) {
  SampleRing ring(kChannelCount, std::max<std::size_t>(newestFirst.size(), 1));
  for (std::size_t i = newestFirst.size(); i-- > 0;) {
    const ArchiveEntry& entry = newestFirst[i];
    const std::int64_t seq = ring.append(entry.instant * 1000);
    if (entry.kind() != ArchiveRecordKind::Valid) continue;
    for (int c = 0; c < kChannelCount; ++c) {
      if (const auto v = entry.record.channelValue(c)) {
        ring.setValue(c, seq, static_cast<float>(*v));
      }
    }
  }
  return ring;
}

std::pair<int, int> FittedValueAxis(const std::array<ChannelFigures, kChannelCount>& figures,
                                    const std::array<bool, kChannelCount>& shown) {
  bool any = false;
  int lo = 0;
  int hi = 0;
  for (std::size_t c = 0; c < figures.size(); ++c) {
    if (!shown[c] || figures[c].count == 0) continue;
    const int below = StepBelow(figures[c].min);
    const int above = StepAbove(figures[c].max);
    lo = any ? std::min(lo, below) : below;
    hi = any ? std::max(hi, above) : above;
    any = true;
  }
  if (!any) return {0, 100};
  return {lo, hi};
}

}  // namespace km8
