// Line faults the simulator can inject into its replies, each with its own rate, and
// the plan of what actually goes on the wire for one reply. Seeded, so repeatable.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace km8::sim {

enum class Fault : std::uint8_t {
  Silence,        // no reply at all
  BadCrc,         // the CRC does not match the frame
  WrongAddress,   // a well-formed reply from another slave address
  ShortReply,     // the reply is cut short
  GarbageBefore,  // noise bytes before the frame
  GarbageAfter,   // noise bytes after the frame
  LateReply,      // the reply comes after the master's total time-out
  GapInFrame,     // a pause longer than the inter-character time-out inside the frame
};
inline constexpr std::size_t kFaultCount = 8;

std::string_view faultName(Fault fault);
std::optional<Fault> faultFromName(std::string_view name);

struct FaultConfig {
  std::array<double, kFaultCount> rate{};  // 0 never .. 1 every reply
  // Real-time lengths of the late reply and of the pause; 0 picks a value just past
  // the master's time-outs at the line's baud rate.
  std::uint32_t lateDelayMs = 0;
  std::uint32_t gapPauseMs = 0;

  double& operator[](Fault f) { return rate[static_cast<std::size_t>(f)]; }
  double operator[](Fault f) const { return rate[static_cast<std::size_t>(f)]; }
  bool any() const;
};

// The master's time-outs for a 20-byte read at this rate, plus a clear margin.
std::uint32_t defaultLateDelayMs(std::uint32_t baud);
std::uint32_t defaultGapPauseMs(std::uint32_t baud);

inline constexpr std::size_t kMaxGarbageBytes = 4;
inline constexpr std::size_t kMaxReplyBytes = 256;

// What to send for one reply: wait delayBeforeMs, send bytes[0, pauseAt), wait
// pauseMs, send the rest. pauseAt 0 means no pause.
struct TransmitPlan {
  std::array<std::uint8_t, kMaxReplyBytes + 2 * kMaxGarbageBytes> bytes{};
  std::size_t length = 0;
  std::uint32_t delayBeforeMs = 0;
  std::size_t pauseAt = 0;
  std::uint32_t pauseMs = 0;
};

class FaultInjector {
 public:
  explicit FaultInjector(std::uint64_t seed) : state_(seed) {}

  void setConfig(const FaultConfig& config) { config_ = config; }
  const FaultConfig& config() const { return config_; }

  // Plans the transmission of a reply. Returns false when the reply is swallowed.
  bool plan(const std::uint8_t* reply, std::size_t length, std::uint32_t baud, TransmitPlan& out);

  // How often each fault has been applied since start.
  std::uint64_t count(Fault f) const { return counts_[static_cast<std::size_t>(f)]; }

 private:
  bool roll(Fault f);
  std::uint64_t next();
  std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

  FaultConfig config_;
  std::uint64_t state_;
  std::array<std::uint64_t, kFaultCount> counts_{};
};

}  // namespace km8::sim
