// Which stretch of clock time the strip chart shows: the scrolling window that ends at
// the newest sample, the window frozen while the chart is stopped, or the user's own
// view that the wheel zooms about the pointer.
#pragma once

#include <cstdint>

namespace km8 {

// The visible stretch of time, in milliseconds since the epoch; end > start.
struct TimeWindow {
  std::int64_t start = 0;
  std::int64_t end = 1;
  std::int64_t span() const { return end - start; }
};

// `newest` below is the time of the newest sample, or the clock while there is none.
class ChartTimeAxis {
 public:
  static constexpr int kUserViewMode = 4;

  // Values that are not finite or out of range are ignored; the span is kept between a
  // second and ten years.
  void setAxis(double startDays, double spanDays);
  void setMode(int mode, std::int64_t newest);
  void setRunning(bool running, std::int64_t newest);
  // One wheel step halves the span (negative steps double it) about the time at
  // `fraction` (0..1) of the plot's width; the chart goes to the user's own view.
  void zoom(double steps, double fraction, std::int64_t newest);

  TimeWindow visible(std::int64_t newest) const;
  int mode() const { return mode_; }
  bool running() const { return running_; }
  double startDays() const { return startDays_; }
  double spanDays() const { return spanDays_; }

 private:
  TimeWindow live(std::int64_t newest) const;

  int mode_ = 0;
  bool running_ = true;
  double startDays_ = 0.0;
  double spanDays_ = 1.0;
  TimeWindow userWindow_;
  TimeWindow frozenWindow_;
};

}  // namespace km8
