#include "frame_splitter.h"

#include <algorithm>

#include "wire_bytes.h"

namespace km8::sim {

namespace {
// A request whose length is known but still incomplete may be delivered in bursts
// (USB adapters hold bytes for up to 16 ms), so it gets more time than the gap.
constexpr std::int64_t kPartialFrameGraceUs = 50'000;
}  // namespace

void FrameSplitter::setBaud(std::uint32_t baud) {
  if (baud == 0) baud = 600;
  // 3.5 characters of 11 bits; above 19200 baud the usual fixed 1.75 ms.
  gapUs_ = baud > 19200 ? 1750 : static_cast<std::int64_t>(3.5 * 11 * 1'000'000 / baud);
}

std::size_t FrameSplitter::expectedLength() const {
  if (length_ < 2) return 0;
  switch (buffer_[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
      return 8;
    case 15:
    case 16:
      return length_ < 7 ? 0 : 9 + static_cast<std::size_t>(buffer_[6]);
    default:
      return 0;
  }
}

bool FrameSplitter::crcOk() const { return crcMatches(buffer_.data(), length_); }

std::int64_t FrameSplitter::deadlineUs() const {
  if (length_ == 0 && !discarding_) return -1;
  const bool waitingForKnownRest =
      length_ >= 2 && (expectedLength() != 0 || buffer_[1] == 15 || buffer_[1] == 16);
  return lastByteUs_ + (waitingForKnownRest ? std::max(gapUs_, kPartialFrameGraceUs) : gapUs_);
}

}  // namespace km8::sim
