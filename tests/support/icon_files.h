// The station's icon as committed files in src/res/icons (made by scripts/make-icons.sh):
// which sizes there are as PNGs for the desktop's icon theme, and which the Windows .ico holds.
#pragma once

#include <array>

namespace km8::test {

inline constexpr std::array kIconPngSizes{16, 32, 48, 64, 128, 256};
inline constexpr std::array kIconIcoSizes{16, 32, 48, 256};

}  // namespace km8::test
