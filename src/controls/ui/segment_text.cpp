#include "controls/ui/segment_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace km8 {

namespace {

constexpr std::uint8_t kDigits[10] = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F,
};
constexpr std::uint8_t kMinus = 0x40;

}  // namespace

std::string formatSegmentValue(double value, int decimals) {
  decimals = std::clamp(decimals, 0, 3);
  const std::string dashes = "----";
  if (!std::isfinite(value) || std::fabs(value) >= std::pow(10.0, kMaxSegmentIntegerDigits)) {
    return dashes;
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  // Rounding may still carry into a seventh digit (999999.96).
  const std::size_t point = text.find('.');
  const std::size_t integerEnd = point == std::string::npos ? text.size() : point;
  const std::size_t digitsBeforePoint = integerEnd - (text[0] == '-' ? 1 : 0);
  if (digitsBeforePoint > static_cast<std::size_t>(kMaxSegmentIntegerDigits)) return dashes;
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::vector<SegmentCell> segmentCells(std::string_view text) {
  std::vector<SegmentCell> cells;
  for (char ch : text) {
    if (ch == '.') {
      if (cells.empty()) cells.push_back({});
      cells.back().point = true;
    } else if (ch >= '0' && ch <= '9') {
      cells.push_back({kDigits[ch - '0'], false});
    } else if (ch == '-') {
      cells.push_back({kMinus, false});
    } else {
      cells.push_back({});
    }
  }
  return cells;
}

}  // namespace km8
