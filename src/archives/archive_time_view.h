// The stretch of time the archive chart shows: all the records, following a reading as it
// grows, or the user's own view that the wheel zooms and a drag pans within them.
#pragma once

#include <cstdint>

#include "controls/chart_time_axis.h"

namespace km8 {

class ArchiveTimeView {
 public:
  static constexpr std::int64_t kMinSpanMs = 10 * 60'000;  // ten one-minute records

  // The records' time in milliseconds, oldest to newest; a shorter stretch is widened to
  // the smallest span about its middle. A view showing all follows it.
  void setExtent(std::int64_t oldestMs, std::int64_t newestMs);
  void showAll();
  // One step halves the span (a negative step doubles it) about the time at `fraction`
  // (0 left, 1 right) of the width.
  void zoom(double steps, double fraction);
  // Moves the view by `fraction` of its span, towards later times when positive.
  void pan(double fraction);

  TimeWindow window() const { return window_; }
  TimeWindow extent() const { return extent_; }
  bool showsAll() const { return showsAll_; }

 private:
  double clampedSpan(double span) const;
  void place(double start, double span);  // clamped to the records

  TimeWindow extent_{0, kMinSpanMs};
  TimeWindow window_{0, kMinSpanMs};
  bool showsAll_ = true;
};

}  // namespace km8
