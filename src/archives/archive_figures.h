// What a set of archive records says about each channel, for the batch report and the
// chart's value axis: lowest, highest and mean value, and the time beyond the alarm limits.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "archives/archive_record.h"

namespace km8 {

using ChannelLimitsRead = std::array<std::optional<ChannelLimits>, kChannelCount>;

struct ChannelFigures {
  std::size_t count = 0;  // valid records with a value on this channel; the rest needs one
  double min = 0.0;
  double max = 0.0;
  double mean = 0.0;
  std::size_t minEntry = 0;  // the oldest record at the minimum (an index as listed)
  std::size_t maxEntry = 0;  // the oldest record at the maximum
  // Seconds above alarmHigh and below alarmLow, empty without the channel's limits.
  // Between two neighbouring records the value is taken to run straight from one to the
  // other, as the chart draws it; a marker or a value out of range counts nothing.
  std::optional<double> secondsAbove;
  std::optional<double> secondsBelow;
};

// `newestFirst` as the list shows them (entry 0 the newest).
std::array<ChannelFigures, kChannelCount> ArchiveChannelFigures(
    std::span<const ArchiveEntry> newestFirst, const ChannelLimitsRead& limits = {});

}  // namespace km8
