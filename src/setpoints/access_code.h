// The instrument's access code as the user types it and as it travels: at most six
// digits, packed two bits per character into the value written to register 12.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace km8 {

inline constexpr std::size_t kAccessCodeMaxDigits = 6;

// Each character shifts the value left by two bits and adds 0..3 for the digits 1..4;
// any other character (the field lets none through) adds nothing. The first character ends up highest; "" packs to 0.
std::uint16_t packAccessCode(std::string_view entry);

// The characters the code field lets through: the digits that have a packing of their own.
inline constexpr char kAccessCodeDigitPattern[] = "[1-4]*";

// What the code field lets through: at most six of the digits 1 to 4. Any other digit would
// pack as 1 and send a code the user did not type.
bool isAcceptableAccessCode(std::string_view entry);

}  // namespace km8
