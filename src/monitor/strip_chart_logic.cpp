#include "monitor/strip_chart_logic.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace km8 {
namespace {

constexpr int kNoLow = 100000;  // bounds of a channel without a plotted value
constexpr int kNoHigh = -100000;

// Whole degrees toward zero, kept far from int's limits whatever the double holds.
long long truncated(double x) {
  if (std::isnan(x)) return 0;
  return static_cast<long long>(std::trunc(std::clamp(x, -1e9, 1e9)));
}

long long floorDiv10(long long v) { return v >= 0 ? v / 10 : -((-v + 9) / 10); }

bool isMarker(double v) { return v <= LowMarker || v >= HighMarker; }

bool twoPositionLaw(std::uint8_t law) { return law == 0 || law == 1; }

}  // namespace

int StepBelow(double x) {
  const long long t = truncated(x);
  return static_cast<int>(floorDiv10(t - 1) * 10);
}

int StepAbove(double x) {
  const long long t = truncated(x);
  return static_cast<int>(floorDiv10(t) * 10 + 10);
}

int RoundHalfAway(double x) { return static_cast<int>(std::lround(std::clamp(x, -1e9, 1e9))); }

Message chartUpdateFailure(const std::string& description) {
  return {.text = description, .caption = "Оновлення графiка", .icon = MessageIcon::Error};
}

std::uint32_t SteadyTickMs() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

StripChartLogic::StripChartLogic(StripChart& chart, const PollItems& items,
                                 const SharedSettings& settings, MessageBoxHost& messages,
                                 TickSource tick)
    : chart_(chart),
      items_(items),
      settings_(settings),
      messages_(messages),
      tick_(std::move(tick)),
      lastAppend_(tick_() - 1000) {
  rangeLow_.fill(kNoLow);
  rangeHigh_.fill(kNoHigh);
}

bool StripChartLogic::regLines() const { return settings_.get(&AppSettings::DisplayRegLines) != 0; }

int StripChartLogic::widenLow(int channel, int lo) const {
  const ChannelLimits& l = items_.limits[channel];
  if (regLines() && twoPositionLaw(l.controlLaw) && l.switchPoint <= lo) {
    lo = RoundHalfAway(StepBelow(l.switchPoint));
  }
  if (l.alarmLow <= lo) lo = RoundHalfAway(StepBelow(l.alarmLow));
  return lo;
}

int StripChartLogic::widenHigh(int channel, int hi) const {
  const ChannelLimits& l = items_.limits[channel];
  if (regLines() && l.setpoint >= hi) hi = RoundHalfAway(StepAbove(l.setpoint));
  if (l.alarmHigh >= hi) hi = RoundHalfAway(StepAbove(l.alarmHigh));
  return hi;
}

void StripChartLogic::SetUpChart() {
  try {
    chart_.setCapacity(kCapacity);
    chart_.setValueRange(0.0, 100.0);
  } catch (const ControlError& e) {
    reportFailure(e);
  }
}

void StripChartLogic::ApplyChartSpan() {
  const AppSettings s = settings_.snapshot();
  const double span = (static_cast<double>(s.XAxisSec) / 3600.0 +
                       static_cast<double>(s.XAxisMin) / 60.0 + static_cast<double>(s.XAxisHour)) /
                      24.0;
  try {
    chart_.setInteractionMode(0);
    chart_.setTimeAxis(0.0, span);
  } catch (const ControlError& e) {
    reportFailure(e);
  }
}

void StripChartLogic::UpdateChart(int selection) {
  if (selection < 0 || selection > kAllChannels) return;
  try {
    chart_.beginUpdate();
    if (chart_.interactionMode() != kUserViewMode) chart_.setInteractionMode(0);
    if (selection < kChannelCount) {
      showOneChannel(selection);
    } else {
      showAllChannels();
    }
    chart_.endUpdate();
  } catch (const ControlError& e) {
    // An unfinished batch would keep the chart from ever redrawing.
    try {
      chart_.resetAfterFailure();
    } catch (const ControlError&) {
    }
    reportFailure(e);
  }
}

void StripChartLogic::showOneChannel(int p) {
  for (int i = 0; i < kChannelCount; ++i) {
    chart_.setChannelColor(i, kYellow);
    chart_.setChannelVisible(i, false);
  }
  if (rangeLow_[p] < rangeHigh_[p]) {
    const ChannelLimits& l = items_.limits[p];
    int lo = rangeLow_[p];
    int hi = rangeHigh_[p];
    if (regLines()) {
      if (twoPositionLaw(l.controlLaw) && l.switchPoint <= lo) {
        lo = RoundHalfAway(StepBelow(l.switchPoint));
      }
      if (l.setpoint >= hi) hi = RoundHalfAway(StepAbove(l.setpoint));
      chart_.setValueRange(lo, hi);
      chart_.setRegulationLines(p, true, l.setpoint, kRegulationCode, twoPositionLaw(l.controlLaw),
                                l.switchPoint, kRegulationCode);
      if (l.controlLaw == 2 || l.controlLaw == 5) {
        chart_.setRegulationLines(p, false, l.setpoint, kRegulationCode, false, l.switchPoint,
                                  kRegulationCode);
      }
      chart_.setRegulationLineColors(p, kRegulationLineColour, kRegulationLineColour);
    } else {
      chart_.setRegulationLines(p, false, l.setpoint, kRegulationCode, false, l.switchPoint,
                                kRegulationCode);
    }
    if (l.alarmLow <= lo) lo = RoundHalfAway(StepBelow(l.alarmLow));
    if (l.alarmHigh >= hi) hi = RoundHalfAway(StepAbove(l.alarmHigh));
    chart_.setAlarmLines(p, true, l.alarmHigh, kAlarmCode, true, l.alarmLow, kAlarmCode);
    chart_.setAlarmLineColors(p, kAlarmLineColour, kAlarmLineColour);
    chart_.setValueRange(lo, hi);
  }
  chart_.setCurrentChannel(p);
  chart_.setChannelVisible(p, true);
  chart_.setLegendVisible(false);
}

void StripChartLogic::showAllChannels() {
  int lo = kNoLow;
  int hi = kNoHigh;
  for (int i = 0; i < kChannelCount; ++i) {
    if (rangeLow_[i] < rangeHigh_[i]) {
      if (rangeLow_[i] <= lo) lo = RoundHalfAway(StepBelow(rangeLow_[i]));
      if (rangeHigh_[i] >= hi) hi = RoundHalfAway(StepAbove(rangeHigh_[i]));
    }
    const ChannelLimits& l = items_.limits[i];
    chart_.setRegulationLines(i, false, l.setpoint, kRegulationCode, false, l.switchPoint,
                              kRegulationCode);
    chart_.setAlarmLines(i, false, l.alarmHigh, kAlarmCode, false, l.alarmLow, kAlarmCode);
    chart_.setChannelColor(i, ChannelColours[i]);
    chart_.setChannelVisible(i, true);
  }
  if (lo >= hi) {
    lo = 0;
    hi = 100;
  }
  chart_.setValueRange(lo, hi);
  chart_.setCurrentChannel(0);
  chart_.setLegendVisible(true);
}

void StripChartLogic::AppendChartSample() {
  const std::uint32_t now = tick_();
  if (static_cast<std::uint32_t>(now - lastAppend_) < kSampleSpacingMs) return;
  lastAppend_ = now;
  if (sampleSink_ != nullptr) {
    sampleSink_->onLiveSample(settings_.get(&AppSettings::DeviceID), items_.temperatures);
  }
  try {
    const int sample = chart_.newSample();
    chart_.beginUpdate();
    for (int i = 0; i < kChannelCount; ++i) {
      const double v = items_.temperatures[i];
      if (isMarker(v)) continue;  // no value: a gap in this channel's trace
      if (v < rangeLow_[i]) {
        rangeLow_[i] = RoundHalfAway(StepBelow(v));
        if (items_.chartChannel == i) chart_.setValueMinimum(widenLow(i, rangeLow_[i]));
      }
      if (v > rangeHigh_[i]) {
        rangeHigh_[i] = RoundHalfAway(StepAbove(v));
        if (items_.chartChannel == i) chart_.setValueMaximum(widenHigh(i, rangeHigh_[i]));
      }
      chart_.setSampleValue(i, sample, v);
    }
    if (items_.chartChannel == kAllChannels) {
      const int lo = *std::min_element(rangeLow_.begin(), rangeLow_.end());
      const int hi = *std::max_element(rangeHigh_.begin(), rangeHigh_.end());
      if (lo < hi) chart_.setValueRange(lo, hi);
    }
    chart_.endUpdate();
  } catch (const ControlError&) {
    // Samples keep coming once a second; this batch is given up without a word.
    try {
      chart_.resetAfterFailure();
    } catch (const ControlError&) {
    }
  }
}

ColorRef StripChartLogic::invertChartBackground() {
  chartBackground_ = chartBackground_ == kBlack ? kWhite : kBlack;
  return chartBackground_;
}

void StripChartLogic::reportFailure(const ControlError& error) {
  // Once a run: a chart that fails does so on every rebuild, and the box's own event
  // loop may run the next rebuild while it is open.
  if (failureReported_) return;
  failureReported_ = true;
  messages_.showMessage(chartUpdateFailure(error.what()));
}

}  // namespace km8
