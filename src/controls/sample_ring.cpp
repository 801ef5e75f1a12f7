#include "controls/sample_ring.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace km8 {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::int64_t roundUp(std::int64_t n, std::int64_t step) { return (n + step - 1) / step * step; }

}  // namespace

void SampleRing::Range::add(float v) {
  // NaN compares false both ways and so leaves the range alone.
  if (v < lo) lo = v;
  if (v > hi) hi = v;
}

void SampleRing::Range::add(const Range& r) {
  lo = std::min(lo, r.lo);
  hi = std::max(hi, r.hi);
}

SampleRing::SampleRing(int channels, std::size_t capacity) : SampleRing(channels, capacity, 0) {}

SampleRing::SampleRing(int channels, std::size_t capacity, std::int64_t startSeq)
    : channels_(std::max(channels, 1)),
      capacity_(std::max<std::size_t>(capacity, 1)),
      slots_(roundUp(static_cast<std::int64_t>(capacity_), kLarge) + kLarge),
      first_(startSeq),
      end_(startSeq),
      base_(startSeq - startSeq % slots_),
      times_(static_cast<std::size_t>(slots_), 0),
      values_(static_cast<std::size_t>(channels_ * slots_), kNoValue),
      small_(static_cast<std::size_t>(channels_ * (slots_ / kSmall)), Range{kInf, -kInf}),
      large_(static_cast<std::size_t>(channels_ * (slots_ / kLarge)), Range{kInf, -kInf}) {}

SampleRing::Range& SampleRing::small(int channel, std::int64_t seq) {
  return small_[static_cast<std::size_t>(channel * (slots_ / kSmall)) + slot(seq) / kSmall];
}
SampleRing::Range& SampleRing::large(int channel, std::int64_t seq) {
  return large_[static_cast<std::size_t>(channel * (slots_ / kLarge)) + slot(seq) / kLarge];
}
const SampleRing::Range& SampleRing::small(int channel, std::int64_t seq) const {
  return small_[static_cast<std::size_t>(channel * (slots_ / kSmall)) + slot(seq) / kSmall];
}
const SampleRing::Range& SampleRing::large(int channel, std::int64_t seq) const {
  return large_[static_cast<std::size_t>(channel * (slots_ / kLarge)) + slot(seq) / kLarge];
}

std::int64_t SampleRing::append(std::int64_t timeMs) {
  const std::int64_t seq = end_;
  if (!empty() && timeMs < lastTime_) timeMs = lastTime_;
  lastTime_ = timeMs;
  const std::size_t s = slot(seq);
  times_[s] = timeMs;
  for (int ch = 0; ch < channels_; ++ch) {
    values_[static_cast<std::size_t>(ch * slots_) + s] = kNoValue;
    // A block's summary starts afresh when its first sample is opened; the samples
    // it summarised before are out of the ring by then.
    if (seq % kSmall == 0) small(ch, seq) = Range{kInf, -kInf};
    if (seq % kLarge == 0) large(ch, seq) = Range{kInf, -kInf};
  }
  ++end_;
  if (size() > capacity_) {
    first_ = end_ - static_cast<std::int64_t>(capacity_);
    if (first_ - base_ >= slots_) base_ += slots_;
  }
  return seq;
}

bool SampleRing::setValue(int channel, std::int64_t seq, float value) {
  if (channel < 0 || channel >= channels_ || !contains(seq)) return false;
  if (!std::isfinite(value)) value = kNoValue;
  float& stored = values_[static_cast<std::size_t>(channel * slots_) + slot(seq)];
  const float old = stored;
  stored = value;
  if (std::isnan(old)) {
    if (std::isnan(value)) return true;
    // The usual case, filling a fresh sample: the summaries only widen.
    small(channel, seq).add(value);
    large(channel, seq).add(value);
  } else if (old != value) {
    rebuildSummaries(channel, seq);
  }
  return true;
}

void SampleRing::rebuildSummaries(int channel, std::int64_t seq) {
  // Only samples already opened count: the slots after the newest still hold an
  // older round's values.
  const std::int64_t smallStart = seq - seq % kSmall;
  small(channel, seq) = samplesRange(channel, smallStart, std::min(smallStart + kSmall, end_));
  const std::int64_t largeStart = seq - seq % kLarge;
  Range r{kInf, -kInf};
  for (std::int64_t b = largeStart; b < std::min(largeStart + kLarge, end_); b += kSmall) {
    r.add(small(channel, b));
  }
  large(channel, seq) = r;
}

float SampleRing::value(int channel, std::int64_t seq) const {
  if (channel < 0 || channel >= channels_ || !contains(seq)) return kNoValue;
  return values(channel)[slot(seq)];
}

std::int64_t SampleRing::time(std::int64_t seq) const { return times_[slot(seq)]; }

void SampleRing::clear() { *this = SampleRing(channels_, capacity_, end_); }

void SampleRing::setCapacity(std::size_t capacity) {
  capacity = std::max<std::size_t>(capacity, 1);
  const std::int64_t keepFrom = std::max(first_, end_ - static_cast<std::int64_t>(capacity));
  SampleRing next(channels_, capacity, keepFrom);
  for (std::int64_t seq = keepFrom; seq < end_; ++seq) {
    next.append(time(seq));
    for (int ch = 0; ch < channels_; ++ch) next.setValue(ch, seq, value(ch, seq));
  }
  *this = std::move(next);
}

std::int64_t SampleRing::lowerBound(std::int64_t lo, std::int64_t hi, std::int64_t timeMs) const {
  while (lo < hi) {
    const std::int64_t mid = lo + (hi - lo) / 2;
    if (time(mid) < timeMs) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

void SampleRing::columnBounds(std::int64_t t0, std::int64_t t1,
                              std::span<std::int64_t> bounds) const {
  if (bounds.empty()) return;
  const auto n = static_cast<std::int64_t>(bounds.size()) - 1;
  if (n == 0 || t1 <= t0 || empty()) {
    std::fill(bounds.begin(), bounds.end(), end_);
    return;
  }
  bounds[0] = lowerBound(first_, end_, t0);
  bounds[n] =
      t1 == std::numeric_limits<std::int64_t>::max() ? end_ : lowerBound(bounds[0], end_, t1 + 1);
  // Column c starts at the first time t with (t - t0) * n / span >= c; the sum is
  // split so that a long span times many columns cannot overflow.
  const std::int64_t span = t1 - t0;
  const std::int64_t q = span / n;
  const std::int64_t r = span % n;
  for (std::int64_t c = 1; c < n; ++c) {
    const std::int64_t start = t0 + c * q + (c * r + n - 1) / n;
    bounds[c] = lowerBound(bounds[c - 1], bounds[n], start);
  }
}

SampleRing::Range SampleRing::samplesRange(int channel, std::int64_t a, std::int64_t b) const {
  Range r{kInf, -kInf};
  const float* v = values(channel);
  for (std::int64_t seq = a; seq < b; ++seq) r.add(v[slot(seq)]);
  return r;
}

SampleRing::Range SampleRing::rangeOf(int channel, std::int64_t a, std::int64_t b) const {
  // Loose samples up to a block edge, then blocks as large as fit, then loose samples.
  const std::int64_t head = std::min(b, roundUp(a, kSmall));
  Range r = samplesRange(channel, a, head);
  a = head;
  for (; a + kSmall <= b && a % kLarge != 0; a += kSmall) r.add(small(channel, a));
  for (; a + kLarge <= b; a += kLarge) r.add(large(channel, a));
  for (; a + kSmall <= b; a += kSmall) r.add(small(channel, a));
  r.add(samplesRange(channel, a, b));
  return r;
}

std::int64_t SampleRing::findFirst(int channel, std::int64_t a, std::int64_t b) const {
  const float* v = values(channel);
  while (a < b) {
    if (a % kLarge == 0 && a + kLarge <= b && !large(channel, a).hasValue()) {
      a += kLarge;
    } else if (a % kSmall == 0 && a + kSmall <= b && !small(channel, a).hasValue()) {
      a += kSmall;
    } else {
      if (!std::isnan(v[slot(a)])) return a;
      ++a;
    }
  }
  return b;
}

std::int64_t SampleRing::findLast(int channel, std::int64_t a, std::int64_t b) const {
  const float* v = values(channel);
  while (b > a) {
    if (b % kLarge == 0 && b - kLarge >= a && !large(channel, b - kLarge).hasValue()) {
      b -= kLarge;
    } else if (b % kSmall == 0 && b - kSmall >= a && !small(channel, b - kSmall).hasValue()) {
      b -= kSmall;
    } else {
      if (!std::isnan(v[slot(b - 1)])) return b - 1;
      --b;
    }
  }
  return a - 1;
}

void SampleRing::summarize(int channel, std::span<const std::int64_t> bounds,
                           std::span<ColumnSummary> columns) const {
  std::fill(columns.begin(), columns.end(), ColumnSummary{});
  if (channel < 0 || channel >= channels_ || bounds.size() < 2) return;
  const std::size_t n = std::min(columns.size(), bounds.size() - 1);
  for (std::size_t c = 0; c < n; ++c) {
    const std::int64_t a = std::clamp(bounds[c], first_, end_);
    const std::int64_t b = std::clamp(bounds[c + 1], a, end_);
    if (a == b) continue;
    ColumnSummary& col = columns[c];
    col.hasSamples = true;
    const Range r = rangeOf(channel, a, b);
    if (!r.hasValue()) continue;
    const std::int64_t f = findFirst(channel, a, b);
    const std::int64_t l = findLast(channel, a, b);
    col.hasValue = true;
    col.min = r.lo;
    col.max = r.hi;
    col.first = values(channel)[slot(f)];
    col.last = values(channel)[slot(l)];
    col.gapBefore = f > a;
    col.gapAfter = l < b - 1;
  }
}

void SampleRing::decimate(int channel, std::int64_t t0, std::int64_t t1,
                          std::span<ColumnSummary> columns) const {
  std::vector<std::int64_t> bounds(columns.size() + 1);
  columnBounds(t0, t1, bounds);
  summarize(channel, bounds, columns);
}

std::size_t SampleRing::bytesAllocated() const {
  return times_.capacity() * sizeof(std::int64_t) + values_.capacity() * sizeof(float) +
         (small_.capacity() + large_.capacity()) * sizeof(Range);
}

}  // namespace km8
