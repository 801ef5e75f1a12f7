// Conversions between the core's COLORREF colours (0x00BBGGRR, red in the low byte)
// and Qt colours.
#pragma once

#include <QColor>

#include "controls/display_controls.h"

namespace km8 {

inline QColor toQColor(ColorRef c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

inline ColorRef toColorRef(const QColor& c) {
  return static_cast<ColorRef>(c.red()) | static_cast<ColorRef>(c.green()) << 8 |
         static_cast<ColorRef>(c.blue()) << 16;
}

}  // namespace km8
