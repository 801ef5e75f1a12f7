// Byte helpers for tests on the wire: frames with their CRC appended, and a
// readable hex form for failure messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "crc16.h"

namespace km8::test {

using Bytes = std::vector<std::uint8_t>;

// The frame followed by its Modbus CRC, low byte first.
inline Bytes withCrc(Bytes frame) {
  const std::uint16_t crc = Crc16(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

inline std::string hex(const Bytes& bytes) {
  std::string out;
  char cell[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", b);
    out += cell;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace km8::test
