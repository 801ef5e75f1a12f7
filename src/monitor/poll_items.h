// The readings and bookkeeping the poll cycle keeps for the main window: what the live
// display and the strip chart show, and the counters that decide the next request.
#pragma once

#include <array>
#include <cstdint>

#include "monitor/register_map.h"

namespace km8 {

struct PollItems {
  PollState state = PollState::Idle;
  // Decoded readings of channels 1..8; LowMarker until read and after a failed read.
  std::array<double, kChannelCount> temperatures = {LowMarker, LowMarker, LowMarker, LowMarker,
                                                    LowMarker, LowMarker, LowMarker, LowMarker};
  std::uint8_t regulationOutputs = 0;  // bit i: channel i+1
  std::uint8_t alarmOutputs = 0;
  std::uint8_t enabledChannels = 0xFF;  // all count as enabled until the first state-2 reply
  std::uint8_t statusFlags = 0;         // bit 0 alarm, 1 setpoint, 2 ADC, 3 archive error
  bool errorGroupShown = false;         // written by the live display

  int chartChannel = kAllChannels;   // 0..7 one channel, 8 all
  bool limitsReloadDue = true;       // read the chart channel's limits early after start
  int limitsChannel = kAllChannels;  // chartChannel of the last state-4 request
  std::array<ChannelLimits, kChannelCount> limits{};
  // Which channels' limits came from the instrument; the others still hold the defaults.
  std::array<bool, kChannelCount> limitsRead{};

  int state1Count = 0;          // state-1 transactions since the last counted reload
  int archiveFailureCount = 0;  // consecutive failures in states 6 and 7
  int watchdogTicks = 0;        // timer ticks since the last completion or firing
};

}  // namespace km8
