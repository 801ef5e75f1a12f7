// The instrument's registers as the station sees them: the request of every poll state,
// the temperature and archive-age encodings, and the chart limits of one channel.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/link_mailbox.h"

namespace km8 {

// The number of the outstanding request (or, between dispatch and build, of the next).
// Values above 10 never arise from the poll cycle itself; they are handled like 0.
enum class PollState : std::uint8_t {
  Idle = 0,               // nothing of ours outstanding, or a reply to be ignored
  CurrentValuesLow = 1,   // registers 0..4: channels 1..5
  CurrentValuesHigh = 2,  // registers 5..9: channels 6..8, outputs, enabled, status
  ReportStep = 3,         // one step of the setpoint report read
  ChartLimits = 4,        // limits of the chart channel
  ArchiveAge = 5,
  ArchiveFirstHalf = 6,
  ArchiveSecondHalf = 7,
  BlockRead = 8,    // one step of the setpoint block read before editing
  BlockWrite = 9,   // one step of the setpoint block write
  AccessCode = 10,  // the access code written to register 12
};

inline constexpr int kChannelCount = 8;
inline constexpr int kAllChannels = 8;  // chart selection: every channel, no limits

// Temperatures are signed tenths of a degree, low byte first; raw values at or beyond
// +-32000 are the instrument's out-of-range marks.
inline constexpr double LowMarker = -10000.0;
inline constexpr double HighMarker = 10000.0;

double DecodeTemperature(std::uint8_t low, std::uint8_t high);

// Time since the instrument stored its newest archive record, rounded to whole seconds.
struct ArchiveAge {
  int days = 0;  // always 0 for what the registers can hold
  int hours = 0;
  int minutes = 0;
  int seconds = 0;

  std::chrono::seconds span() const {
    return std::chrono::seconds(((days * 24 + hours) * 60 + minutes) * 60 + seconds);
  }
  bool operator==(const ArchiveAge&) const = default;
};

// Four data bytes of the archive-age reply (registers 10 and 11).
ArchiveAge DecodeArchiveAge(std::span<const std::uint8_t, 4> bytes);

// What the strip chart draws as limit lines for one channel, in degrees.
struct ChannelLimits {
  double setpoint = 100.0;
  double switchPoint = 0.0;
  double alarmHigh = 120.0;
  double alarmLow = -20.0;
  std::uint8_t controlLaw = 0;  // the instrument's code, unchanged

  bool operator==(const ChannelLimits&) const = default;
};

// The ten data bytes of a limits reply: four temperatures, the sensor type (not kept)
// and the control law.
ChannelLimits decodeChannelLimits(std::span<const std::uint8_t, 10> bytes);

// Everything a request of the table depends on besides the state. Only the fields of
// the state being built are read.
struct RequestParams {
  std::uint8_t unitAddress = 1;                 // DeviceID
  std::uint16_t reportOffset = 0;               // state 3: register offset 0..70
  int chartChannel = kAllChannels;              // state 4: 0..8
  std::uint16_t recordIndex = 0;                // states 6 and 7
  std::uint16_t blockOffset = 0;                // states 8 and 9: register offset 0..70
  const std::uint8_t* blockStepData = nullptr;  // state 9: 10 bytes, valid until completion
  std::uint16_t packedCode = 0;                 // state 10
};

// Archive record n is read at 2n and 2n + 1, which fit in 16 bits up to record 32767; the
// request of any later record would wrap round to the newest ones.
inline constexpr std::uint32_t kAddressableArchiveRecords = 0x10000 / 2;

// The mailbox request of a poll state. Addresses wrap at 16 bits like the registers do;
// a state outside 1..10 gives the empty request to unit 0.
LinkRequest pollRequest(PollState state, const RequestParams& params);

// Data bytes a successful reply of the state must carry (0 for the writes and for
// states without a request).
std::size_t replyBytesFor(PollState state);

// The access code travels low byte first, but function 6 sends its value high byte
// first, so the two bytes are exchanged before the value is handed over.
constexpr std::uint16_t exchangeBytes(std::uint16_t value) {
  return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

}  // namespace km8
