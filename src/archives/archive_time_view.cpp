#include "archives/archive_time_view.h"

#include <algorithm>
#include <cmath>

namespace km8 {

void ArchiveTimeView::setExtent(std::int64_t oldestMs, std::int64_t newestMs) {
  newestMs = std::max(newestMs, oldestMs);
  if (newestMs - oldestMs < kMinSpanMs) {
    const std::int64_t start = oldestMs + (newestMs - oldestMs) / 2 - kMinSpanMs / 2;
    extent_ = {start, start + kMinSpanMs};
  } else {
    extent_ = {oldestMs, newestMs};
  }
  if (showsAll_) {
    window_ = extent_;
  } else {
    place(static_cast<double>(window_.start), static_cast<double>(window_.span()));
  }
}

void ArchiveTimeView::showAll() {
  showsAll_ = true;
  window_ = extent_;
}

void ArchiveTimeView::zoom(double steps, double fraction) {
  if (!std::isfinite(steps) || !std::isfinite(fraction)) return;
  fraction = std::clamp(fraction, 0.0, 1.0);
  const double span = static_cast<double>(window_.span());
  const double anchor = static_cast<double>(window_.start) + fraction * span;
  // Clamped before it is placed, so that the time under the pointer stays there.
  const double next = clampedSpan(span * std::pow(0.5, steps));
  place(anchor - fraction * next, next);
}

void ArchiveTimeView::pan(double fraction) {
  if (!std::isfinite(fraction)) return;
  const double span = static_cast<double>(window_.span());
  place(static_cast<double>(window_.start) + fraction * span, span);
}

double ArchiveTimeView::clampedSpan(double span) const {
  // Never wider than the records nor narrower than the smallest span.
  const double widest = static_cast<double>(extent_.span());
  return std::clamp(span, std::min(static_cast<double>(kMinSpanMs), widest), widest);
}

void ArchiveTimeView::place(double start, double span) {
  span = clampedSpan(span);
  start = std::clamp(start, static_cast<double>(extent_.start),
                     static_cast<double>(extent_.end) - span);
  const auto s = static_cast<std::int64_t>(std::llround(start));
  window_ = {s, std::min(extent_.end, s + static_cast<std::int64_t>(std::llround(span)))};
  showsAll_ = window_.start == extent_.start && window_.end == extent_.end;
}

}  // namespace km8
