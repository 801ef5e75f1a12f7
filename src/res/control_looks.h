// Initial look of a dialog's display controls, as the dialog resources carry it: what
// each caption label, seven-segment value and round LED shows before the code drives it.
#pragma once

#include <span>
#include <variant>

#include "controls/display_controls.h"

namespace km8 {

struct LabelLook {
  const char* fontFamily;
  int fontPixelHeight;
  bool bold;
  ColorRef text;
  ColorRef background;
  bool lowered;  // lowered border
  bool centred;
};

struct SegmentLook {
  ColorRef segments;
  bool lowered;
  int precision;  // decimals
};

struct LedLook {
  ColorRef active;  // the lamp's colour when lit
};

struct ControlLook {
  int id;
  std::variant<LabelLook, SegmentLook, LedLook> look;
};

// Template 102. Controls without an entry (the regulation LEDs) keep their defaults.
std::span<const ControlLook> MainWindowLooks();

}  // namespace km8
