// The strip chart's sample store: per channel a ring of float values (NaN = no value)
// with timestamps shared per sample, and min/max decimation of a time window into columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace km8 {

// What one pixel column of a trace holds. min, max, first and last are valid only
// when hasValue is set.
struct ColumnSummary {
  bool hasSamples = false;  // at least one sample falls into the column
  bool hasValue = false;    // at least one of those samples has a value
  bool gapBefore = false;   // a sample without value precedes the column's first value
  bool gapAfter = false;    // a sample without value follows the column's last value
  float min = 0.0f;
  float max = 0.0f;
  float first = 0.0f;  // value of the earliest sample with a value
  float last = 0.0f;   // value of the latest sample with a value

  friend bool operator==(const ColumnSummary&, const ColumnSummary&) = default;
};

// Samples are numbered by a sequence number that grows by one per append and is never
// reused; the ring keeps the newest `capacity` of them. Appending is O(1) and allocates
// nothing. Min/max summaries of blocks of 16 and 256 samples let a decimation skip
// whole blocks, so its cost depends on the column count much more than on the number
// of samples in the window.
class SampleRing {
 public:
  SampleRing(int channels, std::size_t capacity);

  int channels() const { return channels_; }
  std::size_t capacity() const { return capacity_; }
  std::size_t size() const { return static_cast<std::size_t>(end_ - first_); }
  bool empty() const { return end_ == first_; }
  std::int64_t firstSeq() const { return first_; }  // oldest sample kept
  std::int64_t endSeq() const { return end_; }      // one past the newest
  bool contains(std::int64_t seq) const { return seq >= first_ && seq < end_; }

  // Opens a sample without values at timeMs and returns its sequence number. Times
  // never go backwards: an earlier time (a clock set back) is raised to the last one,
  // which keeps the samples ordered for the search by time.
  std::int64_t append(std::int64_t timeMs);

  // Stores a value; NaN or infinity clears it. False when the channel or the sample
  // is not held.
  bool setValue(int channel, std::int64_t seq, float value);
  float value(int channel, std::int64_t seq) const;  // NaN when none or not held
  std::int64_t time(std::int64_t seq) const;         // precondition: contains(seq)

  void clear();  // drops every sample; numbering goes on
  // Changes the capacity, keeping the newest samples and their numbers.
  void setCapacity(std::size_t capacity);

  // Splits the window [t0, t1] into bounds.size() - 1 equal columns: the samples of
  // column c are the sequence numbers [bounds[c], bounds[c + 1]).
  void columnBounds(std::int64_t t0, std::int64_t t1, std::span<std::int64_t> bounds) const;
  // Summarises one channel per column; columns.size() must be bounds.size() - 1.
  void summarize(int channel, std::span<const std::int64_t> bounds,
                 std::span<ColumnSummary> columns) const;
  // Both steps in one, for a single channel.
  void decimate(int channel, std::int64_t t0, std::int64_t t1,
                std::span<ColumnSummary> columns) const;

  std::size_t bytesAllocated() const;

 private:
  struct Range {
    float lo;
    float hi;
    bool hasValue() const { return lo <= hi; }
    void add(float v);
    void add(const Range& r);
  };
  static constexpr std::int64_t kSmall = 16;   // samples per first-level block
  static constexpr std::int64_t kLarge = 256;  // samples per second-level block

  SampleRing(int channels, std::size_t capacity, std::int64_t startSeq);
  // seq % slots_ without a division: every sequence number the ring touches lies
  // within one round of slots on either side of base_.
  std::size_t slot(std::int64_t seq) const {
    std::int64_t d = seq - base_;
    if (d < 0) d += slots_;
    if (d >= slots_) d -= slots_;
    return static_cast<std::size_t>(d);
  }
  const float* values(int channel) const { return &values_[channel * slots_]; }
  Range& small(int channel, std::int64_t seq);
  Range& large(int channel, std::int64_t seq);
  const Range& small(int channel, std::int64_t seq) const;
  const Range& large(int channel, std::int64_t seq) const;
  void rebuildSummaries(int channel, std::int64_t seq);
  std::int64_t lowerBound(std::int64_t lo, std::int64_t hi, std::int64_t timeMs) const;
  Range rangeOf(int channel, std::int64_t a, std::int64_t b) const;
  Range samplesRange(int channel, std::int64_t a, std::int64_t b) const;
  std::int64_t findFirst(int channel, std::int64_t a, std::int64_t b) const;
  std::int64_t findLast(int channel, std::int64_t a, std::int64_t b) const;

  int channels_;
  std::size_t capacity_;
  std::int64_t slots_;  // physical slots: a multiple of kLarge, beyond the capacity by
                        // one large block so a block is never half overwritten while held
  std::int64_t first_;
  std::int64_t end_;
  std::int64_t base_;  // first_ rounded down to a multiple of slots_
  std::int64_t lastTime_ = 0;
  std::vector<std::int64_t> times_;
  std::vector<float> values_;  // channel-major
  std::vector<Range> small_;   // channel-major, slots_ / kSmall per channel
  std::vector<Range> large_;   // channel-major, slots_ / kLarge per channel
};

}  // namespace km8
