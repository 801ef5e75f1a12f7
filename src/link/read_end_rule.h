// Where one read of a reply ends: at the read length, after the inter-character
// time-out once a byte has arrived, at the total time-out since the call, or, when
// the read knows the request it answers, as soon as the whole reply frame is in.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

namespace km8 {

using ReadClock = std::chrono::steady_clock;

enum class ReadEnd : std::uint8_t {
  None,      // keep reading
  Length,    // the read length has arrived
  Interval,  // more than the inter-character time-out since the last byte
  Total,     // the total time-out since the call has passed
  Frame,     // the reply frame is complete by its own length
};

// Every end but Length still takes the bytes that are already waiting, without
// waiting for more (up to maxBytes), as the Windows driver does when a time-out ends
// a read.

struct ReadStep {
  ReadEnd end = ReadEnd::None;
  std::uint32_t maxBytes = 0;  // the most the next system read may take
  int waitMs = -1;             // how long to wait for more bytes; -1 without limit
};

// The read loop asks this rule, and nothing else, whether the read is over. It sees
// the bytes received so far. With a reply function it also ends the read once the
// reply's own length has arrived (known from its function code and byte count),
// which spares the inter-character time-out after every reply; the read length and
// both time-outs still bound it, so a short, silent or garbled reply ends as before.
class ReadEndRule {
 public:
  // A totalMs of 0 means no total time-out, as with the Windows driver. A
  // replyFunction of 0 leaves the time-outs and the read length alone in charge.
  ReadEndRule(std::uint32_t readLength, std::uint32_t intervalMs, std::uint32_t totalMs,
              std::uint8_t replyFunction = 0);

  // sinceLastByte is empty until the first byte has arrived.
  ReadStep next(std::span<const std::uint8_t> received, ReadClock::duration sinceCall,
                std::optional<ReadClock::duration> sinceLastByte) const;

  std::uint32_t readLength() const { return readLength_; }
  std::uint8_t replyFunction() const { return replyFunction_; }

 private:
  std::uint32_t readLength_;
  std::chrono::milliseconds interval_;
  std::chrono::milliseconds total_;
  std::uint8_t replyFunction_;
};

// The inter-character time-out of a line: 50000 / baudRate ms, at least 20 ms (454 at
// 110 baud, 41 at 1200, 20 from 2400 up). baudRate must not be 0.
std::uint32_t intervalTimeoutMs(std::uint32_t baudRate);

}  // namespace km8
