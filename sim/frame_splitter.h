// Cuts the incoming byte stream into request frames: by the frame's own length when
// its function code tells it, otherwise by a silence of 3.5 characters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace km8::sim {

class FrameSplitter {
 public:
  static constexpr std::size_t kMaxFrame = 256;

  explicit FrameSplitter(std::uint32_t baud) { setBaud(baud); }

  void setBaud(std::uint32_t baud);
  std::int64_t gapUs() const { return gapUs_; }

  // Bytes received at nowUs (a monotonic clock). Complete frames go to onFrame(const
  // std::uint8_t*, std::size_t) before this returns.
  template <class OnFrame>
  void feed(const std::uint8_t* data, std::size_t length, std::int64_t nowUs, OnFrame&& onFrame);

  // Ends the pending bytes as a frame once the line has been quiet long enough.
  template <class OnFrame>
  void poll(std::int64_t nowUs, OnFrame&& onFrame);

  // When poll() should next be called, or -1 when nothing is pending.
  std::int64_t deadlineUs() const;
  std::size_t pending() const { return length_; }

 private:
  // Length of the frame in the buffer, 0 while it cannot be known yet (or never).
  std::size_t expectedLength() const;
  bool crcOk() const;

  std::array<std::uint8_t, kMaxFrame> buffer_{};
  std::size_t length_ = 0;
  std::int64_t lastByteUs_ = 0;
  std::int64_t gapUs_ = 0;
  // After a frame whose own length did not check out, the rest is noise until the
  // line goes quiet.
  bool discarding_ = false;
};

template <class OnFrame>
void FrameSplitter::feed(const std::uint8_t* data, std::size_t length, std::int64_t nowUs,
                         OnFrame&& onFrame) {
  poll(nowUs, onFrame);
  lastByteUs_ = nowUs;
  for (std::size_t i = 0; i < length; ++i) {
    if (discarding_) continue;
    if (length_ == buffer_.size()) {
      discarding_ = true;  // longer than any frame: not a request
      length_ = 0;
      continue;
    }
    buffer_[length_++] = data[i];
    const std::size_t expected = expectedLength();
    if (expected != 0 && length_ == expected) {
      if (!crcOk()) {
        discarding_ = true;
      } else {
        onFrame(buffer_.data(), length_);
      }
      length_ = 0;
    }
  }
}

template <class OnFrame>
void FrameSplitter::poll(std::int64_t nowUs, OnFrame&& onFrame) {
  const std::int64_t deadline = deadlineUs();
  if (deadline < 0 || nowUs < deadline) return;
  if (!discarding_ && length_ > 0) onFrame(buffer_.data(), length_);
  length_ = 0;
  discarding_ = false;
}

}  // namespace km8::sim
