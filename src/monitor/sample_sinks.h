// Where the station's temperatures may go besides its own windows: every chart sample as
// it is plotted and the records of every archive reading that completes. The chart and
// the archive reading call these on the user-interface thread; a sink must not block.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "monitor/register_map.h"

namespace km8 {

// Eight channel values in degrees, LowMarker / HighMarker (or beyond) for a channel
// without a value.
using ChannelDegrees = std::array<double, kChannelCount>;

class LiveSampleSink {
 public:
  virtual ~LiveSampleSink() = default;
  // One chart sample of instrument `instrument` (the DeviceID it was polled with).
  virtual void onLiveSample(unsigned instrument, const ChannelDegrees& degrees) = 0;
};

struct StampedDegrees {
  std::int64_t instant = 0;  // seconds since 1970-01-01 00:00 UTC
  ChannelDegrees degrees{};
};

class ArchiveRecordSink {
 public:
  virtual ~ArchiveRecordSink() = default;
  // The valid records of a completed reading (reset markers and empty slots left out),
  // newest first, in any of the three modes.
  virtual void onArchiveRead(unsigned instrument, std::span<const StampedDegrees> records) = 0;
};

}  // namespace km8
