// Simulated time of the instrument, which may run faster than real time, and the
// archive-age encoding that reports how long ago the newest record was written.
#pragma once

#include <chrono>
#include <cstdint>

namespace km8::sim {

inline constexpr std::int64_t kMsPerMinute = 60'000;
inline constexpr std::int64_t kMsPerAgeTick = 4;

// Maps real (steady) time onto simulated milliseconds at a given scale. Changing the
// scale keeps the simulated time continuous.
class SimClock {
 public:
  using RealTime = std::chrono::steady_clock::time_point;

  SimClock(double scale, RealTime realStart, std::int64_t simStartMs = 0);

  std::int64_t nowMs(RealTime realNow) const;
  double scale() const { return scale_; }
  void setScale(double scale, RealTime realNow);
  // Moves simulated time forward without real time passing (start-up history).
  void skip(std::int64_t ms) { simBaseMs_ += static_cast<double>(ms); }

 private:
  double scale_;
  RealTime realBase_;
  double simBaseMs_;
};

// Archive age as registers 10 and 11 carry it: ticks of 4 ms within the current
// minute (0..14999) and whole minutes; past 255 minutes it stays at 255:00.
struct ArchiveAge {
  std::uint16_t ticks = 0;
  std::uint8_t minutes = 0;
};

constexpr ArchiveAge archiveAgeOf(std::int64_t elapsedMs) {
  if (elapsedMs < 0) elapsedMs = 0;
  const std::int64_t minutes = elapsedMs / kMsPerMinute;
  if (minutes > 255) return ArchiveAge{0, 255};
  return ArchiveAge{static_cast<std::uint16_t>((elapsedMs % kMsPerMinute) / kMsPerAgeTick),
                    static_cast<std::uint8_t>(minutes)};
}

}  // namespace km8::sim
