// What a seven-segment display shows for a value: the text with a fixed number of
// decimals, and the lit segments of each digit cell.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km8 {

// Segment bits: a (top) = bit 0, b, c, d (bottom), e, f, g (middle) = bit 6.
struct SegmentCell {
  std::uint8_t segments = 0;
  bool point = false;  // the decimal point after this cell
};

// Values whose integer part has more digits than this are shown as dashes.
inline constexpr int kMaxSegmentIntegerDigits = 6;

// The value rounded to `decimals` places ("23.4", "-10000.0"); "----" for NaN,
// infinities and values too long to show. A negative zero loses its sign.
std::string formatSegmentValue(double value, int decimals);

// The cells of the text: digits, '-' (middle segment) and ' '; a '.' lights the
// point of the cell before it.
std::vector<SegmentCell> segmentCells(std::string_view text);

}  // namespace km8
