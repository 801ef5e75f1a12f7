#include "controls/chart_time_axis.h"

#include <algorithm>
#include <cmath>

namespace km8 {
namespace {

constexpr double kMsPerDay = 86'400'000.0;
constexpr std::int64_t kMinSpanMs = 1000;
constexpr std::int64_t kMaxSpanMs = 3650LL * 86'400'000;
constexpr double kMaxAxisStartDays = 1e7;  // keeps milliseconds far from overflow

}  // namespace

void ChartTimeAxis::setAxis(double startDays, double spanDays) {
  if (std::isfinite(startDays) && std::abs(startDays) <= kMaxAxisStartDays) startDays_ = startDays;
  if (std::isfinite(spanDays) && spanDays > 0.0) {
    spanDays_ = std::clamp(spanDays, kMinSpanMs / kMsPerDay, kMaxSpanMs / kMsPerDay);
  }
}

void ChartTimeAxis::setMode(int mode, std::int64_t newest) {
  if (mode == kUserViewMode && mode_ != kUserViewMode) userWindow_ = visible(newest);
  mode_ = mode;
}

void ChartTimeAxis::setRunning(bool running, std::int64_t newest) {
  if (!running && running_) frozenWindow_ = live(newest);
  running_ = running;
}

void ChartTimeAxis::zoom(double steps, double fraction, std::int64_t newest) {
  if (mode_ != kUserViewMode) setMode(kUserViewMode, newest);
  const TimeWindow w = userWindow_;
  fraction = std::clamp(fraction, 0.0, 1.0);
  const double anchor = static_cast<double>(w.start) + fraction * static_cast<double>(w.span());
  const double span = std::clamp(static_cast<double>(w.span()) * std::pow(0.5, steps),
                                 static_cast<double>(kMinSpanMs), static_cast<double>(kMaxSpanMs));
  const auto start = static_cast<std::int64_t>(std::llround(anchor - fraction * span));
  userWindow_ = {start, start + static_cast<std::int64_t>(std::llround(span))};
}

TimeWindow ChartTimeAxis::live(std::int64_t newest) const {
  const auto span = static_cast<std::int64_t>(std::llround(spanDays_ * kMsPerDay));
  const auto start = static_cast<std::int64_t>(std::llround(startDays_ * kMsPerDay));
  const std::int64_t end = std::max(newest, start + span);
  return {end - span, end};
}

TimeWindow ChartTimeAxis::visible(std::int64_t newest) const {
  if (mode_ == kUserViewMode) return userWindow_;
  if (!running_) return frozenWindow_;
  return live(newest);
}

}  // namespace km8
