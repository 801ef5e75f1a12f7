// The main window's strip chart as the station drives it: the rebuild for a channel
// selection, one sample a second, the time span, and the value bounds kept per channel.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "config/app_settings.h"
#include "controls/display_controls.h"
#include "monitor/display_hooks.h"
#include "monitor/poll_items.h"
#include "monitor/sample_sinks.h"
#include "res/message_box.h"

namespace km8 {

// Rounding to the chart's 10-degree steps, from the value truncated toward zero: the
// multiple of 10 strictly below or strictly above it.
int StepBelow(double x);
int StepAbove(double x);
int RoundHalfAway(double x);  // nearest integer, halves away from zero

// Trace colours of channels 1..8 when all channels are shown.
inline constexpr std::array<ColorRef, kChannelCount> ChannelColours = {
    0x00FFFF, 0x0000FF, 0xFF80FF, 0xFFFF00, 0xFF00C0, 0x80FF80, 0xFF8080, 0x4080C0};
inline constexpr ColorRef kRegulationLineColour = 0x80FF80;
inline constexpr ColorRef kAlarmLineColour = 0x0000FF;

// A chart operation of the rebuild, the span or the set-up failed; shown once a run.
Message chartUpdateFailure(const std::string& description);

// Milliseconds of a monotonic tick that wraps at 32 bits.
std::uint32_t SteadyTickMs();

class StripChartLogic final : public ChartOps {
 public:
  using TickSource = std::function<std::uint32_t()>;
  static constexpr int kCapacity = 60000;
  static constexpr std::uint32_t kSampleSpacingMs = 998;
  static constexpr int kUserViewMode = 4;  // the user's own view: left as it is
  static constexpr int kRegulationCode = 3;
  static constexpr int kAlarmCode = 4;

  // Reads the live readings, the chart channel and the limits from `items`, and
  // DisplayRegLines and the span from `settings`. The first sample goes through at once.
  StripChartLogic(StripChart& chart, const PollItems& items, const SharedSettings& settings,
                  MessageBoxHost& messages, TickSource tick = SteadyTickMs);

  void SetUpChart() override;
  void ApplyChartSpan() override;
  void UpdateChart(int selection) override;
  void AppendChartSample() override;

  // The background colour the station shows; Invert toggles it between black and white.
  ColorRef chartBackground() const { return chartBackground_; }
  ColorRef invertChartBackground();

  // Every sample plotted from now on also goes to `sink` (nullptr: none); it must
  // outlive this object or be detached first.
  void attachSampleSink(LiveSampleSink* sink) { sampleSink_ = sink; }

  int rangeLow(int channel) const { return rangeLow_[channel]; }
  int rangeHigh(int channel) const { return rangeHigh_[channel]; }

 private:
  bool regLines() const;
  // The shown channel's range ends, widened to take its limit lines.
  int widenLow(int channel, int lo) const;   // switching threshold, then low alarm
  int widenHigh(int channel, int hi) const;  // setpoint, then high alarm
  void showOneChannel(int channel);
  void showAllChannels();
  void reportFailure(const ControlError& error);

  StripChart& chart_;
  const PollItems& items_;
  const SharedSettings& settings_;
  MessageBoxHost& messages_;
  TickSource tick_;

  std::array<int, kChannelCount> rangeLow_;
  std::array<int, kChannelCount> rangeHigh_;
  std::uint32_t lastAppend_;
  ColorRef chartBackground_ = kBlack;
  bool failureReported_ = false;
  LiveSampleSink* sampleSink_ = nullptr;
};

}  // namespace km8
