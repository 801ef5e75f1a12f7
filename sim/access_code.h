// The instrument's access code: a digit string packed two bits per digit into the
// 16-bit value that a master writes to register 12 to unlock a staged block.
#pragma once

#include <cstdint>
#include <string_view>

namespace km8::sim {

// '1'..'4' give 00..11, any other character 00; the first character ends up in the
// highest-order pair, and an empty code packs to 0.
constexpr std::uint16_t packAccessCode(std::string_view digits) {
  std::uint16_t packed = 0;
  for (const char c : digits) {
    packed = static_cast<std::uint16_t>(packed << 2);
    if (c >= '1' && c <= '4') packed = static_cast<std::uint16_t>(packed + (c - '1'));
  }
  return packed;
}

}  // namespace km8::sim
