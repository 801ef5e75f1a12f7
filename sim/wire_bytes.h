// Byte-level helpers for the instrument's side of the wire: frame fields travel high
// byte first, while the instrument's own 16-bit quantities travel low byte first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crc16.h"

namespace km8::sim {

inline void putLe16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFF);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline std::uint16_t getLe16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline void putBe16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

inline std::uint16_t getBe16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

// Appends the CRC (low byte first) after `length` bytes; returns the new length.
inline std::size_t appendCrc(std::uint8_t* frame, std::size_t length) {
  const std::uint16_t crc = Crc16(frame, length);
  putLe16(frame + length, crc);
  return length + 2;
}

// True when the last two bytes are the CRC of the bytes before them.
inline bool crcMatches(const std::uint8_t* frame, std::size_t length) {
  if (length < 3) return false;
  return Crc16(frame, length - 2) == getLe16(frame + length - 2);
}

}  // namespace km8::sim
