// Dialog templates: every control of a window with its identifier, kind, text and
// position in dialog units. The Qt views build their windows from these tables.
#pragma once

#include <span>

namespace km8 {

inline constexpr int kStaticId = -1;  // a control the code never addresses

enum class ControlKind {
  Static,
  GroupBox,
  PushButton,
  DefaultPushButton,
  RadioButton,
  CheckBox,
  Edit,
  DropDownList,
  ListView,
  ProgressBar,
  CaptionLabel,
  RoundLed,
  SevenSegment,
  StripChart,
  MultiLineEdit,  // with a border, a vertical scroll bar and no wrapping
};

enum ControlFlags : unsigned {
  kNoFlags = 0,
  kHidden = 1u << 0,
  kGroupStart = 1u << 1,  // first control of a radio group (group and tab stop)
  kCentered = 1u << 2,
  kReadOnly = 1u << 3,    // multi-line edits: the text can be selected and copied, not changed
  kDigitsOnly = 1u << 4,  // an edit that takes decimal digits only
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;  // UTF-8
  int x, y, width, height;
  unsigned flags = kNoFlags;
};

struct DialogTemplate {
  int id;
  const char* caption;  // UTF-8
  int width, height;    // dialog units
  const char* fontName;
  int fontPointSize;
  std::span<const ControlTemplate> controls;
};

// Template 102: the main window.
const DialogTemplate& MainWindowTemplate();

}  // namespace km8
