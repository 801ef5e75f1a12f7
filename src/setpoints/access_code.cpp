#include "setpoints/access_code.h"

#include <algorithm>

namespace km8 {

std::uint16_t packAccessCode(std::string_view entry) {
  std::uint16_t packed = 0;
  for (const char c : entry) {
    packed = static_cast<std::uint16_t>(packed << 2);
    if (c >= '1' && c <= '4') packed = static_cast<std::uint16_t>(packed + (c - '1'));
  }
  return packed;
}

bool isAcceptableAccessCode(std::string_view entry) {
  return entry.size() <= kAccessCodeMaxDigits &&
         std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '1' && c <= '4'; });
}

}  // namespace km8
