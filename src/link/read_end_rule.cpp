#include "link/read_end_rule.h"

#include <algorithm>

#include "link/modbus_frame.h"

namespace km8 {
namespace {

using std::chrono::ceil;
using std::chrono::floor;
using std::chrono::milliseconds;

int clampMs(milliseconds ms) {
  return static_cast<int>(std::clamp<milliseconds::rep>(ms.count(), 1, 24 * 3600 * 1000));
}

}  // namespace

ReadEndRule::ReadEndRule(std::uint32_t readLength, std::uint32_t intervalMs, std::uint32_t totalMs,
                         std::uint8_t replyFunction)
    : readLength_(readLength),
      interval_(intervalMs),
      total_(totalMs),
      replyFunction_(replyFunction) {}

ReadStep ReadEndRule::next(std::span<const std::uint8_t> received, ReadClock::duration sinceCall,
                           std::optional<ReadClock::duration> sinceLastByte) const {
  ReadStep step;
  if (received.size() >= readLength_) {
    step.end = ReadEnd::Length;
    return step;
  }
  step.maxBytes = readLength_ - static_cast<std::uint32_t>(received.size());
  if (replyFunction_ != 0) {
    const std::size_t frame = expectedReplyLength(replyFunction_, received.data(), received.size());
    if (frame != 0 && received.size() >= frame) {
      // Bytes already waiting behind the frame are still taken (see ReadEnd), as they
      // would be under the time-outs: an over-long reply fails the same way.
      step.end = ReadEnd::Frame;
      return step;
    }
  }

  if (total_.count() > 0) {
    if (sinceCall >= total_) {
      step.end = ReadEnd::Total;
      return step;
    }
    step.waitMs = clampMs(ceil<milliseconds>(total_ - sinceCall));
  }
  if (sinceLastByte) {
    // "More than" the interval: wake one millisecond past it, never on it.
    if (*sinceLastByte > interval_) {
      step.end = ReadEnd::Interval;
      return step;
    }
    const int intervalWait =
        clampMs(floor<milliseconds>(interval_ - *sinceLastByte) + milliseconds(1));
    step.waitMs = step.waitMs < 0 ? intervalWait : std::min(step.waitMs, intervalWait);
  }
  return step;
}

std::uint32_t intervalTimeoutMs(std::uint32_t baudRate) {
  return std::max<std::uint32_t>(50000u / baudRate, 20u);
}

}  // namespace km8
