#include "faults.h"

#include <algorithm>
#include <cstring>

#include "wire_bytes.h"

namespace km8::sim {

namespace {
constexpr std::array<std::string_view, kFaultCount> kNames = {
    "silence",        "bad-crc",       "wrong-address", "short",
    "garbage-before", "garbage-after", "late",          "gap"};
}  // namespace

std::string_view faultName(Fault fault) { return kNames[static_cast<std::size_t>(fault)]; }

std::optional<Fault> faultFromName(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) return static_cast<Fault>(i);
  }
  return std::nullopt;
}

bool FaultConfig::any() const {
  return std::any_of(rate.begin(), rate.end(), [](double r) { return r > 0; });
}

// The master waits (FrameLength + 4) x 11 bits + 200 ms for a reply, and gives up on
// a frame after a silence of 50000 / baud ms (at least 20).
std::uint32_t defaultLateDelayMs(std::uint32_t baud) {
  if (baud == 0) baud = 600;
  return (20 + 4) * 11 * 1000 / baud + 200 + 150;
}

std::uint32_t defaultGapPauseMs(std::uint32_t baud) {
  if (baud == 0) baud = 600;
  return std::max<std::uint32_t>(50000 / baud, 20) + 40;
}

std::uint64_t FaultInjector::next() {
  // splitmix64: small, fast, and the same sequence on every platform.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

bool FaultInjector::roll(Fault f) {
  const double rate = config_[f];
  if (rate <= 0) return false;
  const bool hit = rate >= 1 || static_cast<double>(next() >> 11) * 0x1.0p-53 < rate;
  if (hit) ++counts_[static_cast<std::size_t>(f)];
  return hit;
}

bool FaultInjector::plan(const std::uint8_t* reply, std::size_t length, std::uint32_t baud,
                         TransmitPlan& out) {
  out.length = 0;
  out.delayBeforeMs = 0;
  out.pauseAt = 0;
  out.pauseMs = 0;
  length = std::min(length, kMaxReplyBytes);
  if (roll(Fault::Silence)) return false;

  std::uint8_t frame[kMaxReplyBytes];
  std::memcpy(frame, reply, length);
  if (length >= 3 && roll(Fault::WrongAddress)) {
    frame[0] = static_cast<std::uint8_t>(frame[0] + 1);
    appendCrc(frame, length - 2);
  }
  if (length >= 3 && roll(Fault::BadCrc)) frame[length - 1] ^= 0xA5;
  if (length >= 2 && roll(Fault::ShortReply)) length = 1 + below(length - 1);

  std::size_t at = 0;
  if (roll(Fault::GarbageBefore)) {
    const std::size_t n = 1 + below(kMaxGarbageBytes);
    for (std::size_t i = 0; i < n; ++i) out.bytes[at++] = static_cast<std::uint8_t>(next());
  }
  const std::size_t frameStart = at;
  std::memcpy(out.bytes.data() + at, frame, length);
  at += length;
  if (roll(Fault::GarbageAfter)) {
    const std::size_t n = 1 + below(kMaxGarbageBytes);
    for (std::size_t i = 0; i < n; ++i) out.bytes[at++] = static_cast<std::uint8_t>(next());
  }
  out.length = at;

  if (roll(Fault::LateReply)) {
    out.delayBeforeMs = config_.lateDelayMs ? config_.lateDelayMs : defaultLateDelayMs(baud);
  }
  if (length >= 2 && roll(Fault::GapInFrame)) {
    out.pauseAt = frameStart + 1 + below(length - 1);
    out.pauseMs = config_.gapPauseMs ? config_.gapPauseMs : defaultGapPauseMs(baud);
  }
  return true;
}

}  // namespace km8::sim
