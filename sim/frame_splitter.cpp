#include "frame_splitter.h"

#include <algorithm>

#include "wire_bytes.h"

namespace km8::sim {

namespace {
// A request whose length is known but still incomplete may be delivered in bursts
// (USB adapters hold bytes for up to 16 ms), so it gets more time than the gap.
constexpr std::int64_t kPartialFrameGraceUs = 50'000;

// Functions whose request length follows from the function code (and byte count).
bool hasOwnLength(std::uint8_t function) {
  return (function >= 1 && function <= 6) || function == 8 || function == 15 || function == 16;
}
}  // namespace

void FrameSplitter::setBaud(std::uint32_t baud) {
  if (baud == 0) baud = 600;
  // 3.5 characters of 10 bits (8N1); above 19200 baud the usual fixed 1.75 ms.
  gapUs_ = baud > 19200 ? 1750 : static_cast<std::int64_t>(3.5 * 10 * 1'000'000 / baud);
}

std::size_t FrameSplitter::expectedLength() const {
  if (length_ < 2 || !hasOwnLength(buffer_[1])) return 0;
  if (buffer_[1] == 15 || buffer_[1] == 16) {
    return length_ < 7 ? 0 : 9 + static_cast<std::size_t>(buffer_[6]);
  }
  return 8;
}

bool FrameSplitter::crcOk() const { return crcMatches(buffer_.data(), length_); }

std::int64_t FrameSplitter::deadlineUs() const {
  if (length_ == 0 && !discarding_) return -1;
  const bool restIsKnown = length_ >= 2 && hasOwnLength(buffer_[1]);
  return lastByteUs_ + (restIsKnown ? std::max(gapUs_, kPartialFrameGraceUs) : gapUs_);
}

}  // namespace km8::sim
