// Archive records as the instrument sends them, with the timestamps the station gives
// them, and the buffer a reading fills for the exports.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "monitor/register_map.h"

namespace km8 {

inline constexpr std::size_t kArchiveRecordBytes = 18;
inline constexpr std::uint8_t kArchiveStatusValid = 0x00;
inline constexpr std::uint8_t kArchiveStatusResetMarker = 0xEF;

enum class ArchiveRecordKind { Valid, ResetMarker, EmptySlot };

// 18 bytes exactly as received: status, minutes since the next older record, then the
// eight channel temperatures, low byte first.
struct ArchiveRecord {
  std::array<std::uint8_t, kArchiveRecordBytes> bytes{};

  std::uint8_t status() const { return bytes[0]; }
  std::uint8_t intervalMinutes() const { return bytes[1]; }
  ArchiveRecordKind kind() const;

  // Channel 0..7 through DecodeTemperature: degrees, or LowMarker / HighMarker.
  double temperature(int channel) const;
  // Channel 0..7 as received: signed tenths of a degree.
  std::int16_t tenths(int channel) const;
  // The same, empty when the value is an out-of-range marker.
  std::optional<double> channelValue(int channel) const;

  bool operator==(const ArchiveRecord&) const = default;
};

// True for the range markers (and anything beyond them): such values are shown as
// "----" and stored as nothing.
constexpr bool IsTemperatureMarker(double degrees) {
  return degrees <= LowMarker || degrees >= HighMarker;
}

// A point in the station's local time, broken down as the platform's time-zone rules
// give it at that instant.
struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;

  bool operator==(const LocalDateTime&) const = default;
};

// A record with its timestamp. Reset markers and empty slots carry the running time of
// the reading when they arrived; their kind tells the exports to show or skip them.
struct ArchiveEntry {
  ArchiveRecord record;
  std::int64_t instant = 0;  // seconds since 1970-01-01 00:00 UTC
  LocalDateTime local;       // `instant` in local time

  ArchiveRecordKind kind() const { return record.kind(); }
  bool operator==(const ArchiveEntry&) const = default;
};

// The entries of the current reading in reading order (entry 0 is the newest record).
class ArchiveBuffer {
 public:
  static constexpr std::size_t kMaxEntries = 60000;

  // Returns false (and keeps nothing) once kMaxEntries are held.
  bool append(const ArchiveEntry& entry);
  void clear() { entries_.clear(); }

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const ArchiveEntry& operator[](std::size_t i) const { return entries_[i]; }
  std::span<const ArchiveEntry> entries() const { return entries_; }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::vector<ArchiveEntry> entries_;
};

// The purpose of a reading, chosen by the archives dialog's three buttons.
enum class ArchiveMode : std::uint8_t { View = 0, TextExport = 1, DatabaseExport = 2 };

}  // namespace km8
