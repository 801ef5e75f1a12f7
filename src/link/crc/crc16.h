// Modbus RTU CRC-16 (polynomial 0xA001 reflected, start 0xFFFF, no final XOR).
// Header-only so that the instrument simulator can share it and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>

namespace km8 {

constexpr std::uint16_t Crc16(const std::uint8_t* data, std::size_t length) {
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool carry = (crc & 1u) != 0;
      crc = static_cast<std::uint16_t>(crc >> 1);
      if (carry) crc ^= 0xA001;
    }
  }
  return crc;
}

}  // namespace km8
