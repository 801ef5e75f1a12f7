#include "res/progress_template.h"

namespace km8 {
namespace {

using K = ControlKind;

// clang-format off
constexpr ControlTemplate kProgressControls[] = {
    {1102, K::ProgressBar, "", 13, 13, 122, 10},
    {1112, K::GroupBox, "", 5, 1, 138, 29, kCentered},
    {2, K::PushButton, "Cancel", 150, 11, 40, 12},
};
// clang-format on

}  // namespace

// No caption bar: the group box names the phase.
const DialogTemplate& ProgressTemplate() {
  static const DialogTemplate t{.id = 139,
                                .caption = "",
                                .width = 195,
                                .height = 35,
                                .fontName = "MS Sans Serif",
                                .fontPointSize = 8,
                                .controls = kProgressControls};
  return t;
}

}  // namespace km8
