// The instrument's archive: a ring of 18-byte records, newest first, holding valid
// records and reset markers; slots beyond its history read as empty.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace km8::sim {

inline constexpr std::size_t kRecordBytes = 18;
inline constexpr std::uint8_t kRecordValid = 0x00;
inline constexpr std::uint8_t kRecordResetMarker = 0xEF;
inline constexpr std::uint8_t kRecordEmpty = 0xFF;
// Record n is addressed at 2n in a 16-bit register space, so no more can be reached.
inline constexpr std::size_t kMaxArchiveRecords = 32768;

using ArchiveRecordBytes = std::array<std::uint8_t, kRecordBytes>;

class ArchiveStore {
 public:
  // Capacity is clamped to 1..kMaxArchiveRecords; the ring is allocated once here.
  explicit ArchiveStore(std::size_t capacity);

  std::size_t capacity() const { return slots_.size(); }
  std::size_t size() const { return size_; }

  void appendValid(std::uint8_t intervalMinutes, const std::array<std::int16_t, 8>& tenths);
  void appendResetMarker();
  void clear() { size_ = 0; }

  // Record n (0 is the newest); an empty slot (all 0xFF) beyond the history.
  const ArchiveRecordBytes& record(std::size_t n) const;

 private:
  void push(const ArchiveRecordBytes& record);

  std::vector<ArchiveRecordBytes> slots_;
  std::size_t newest_ = 0;  // slot of record 0 when size_ > 0
  std::size_t size_ = 0;
};

}  // namespace km8::sim
