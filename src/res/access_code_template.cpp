#include "res/access_code_template.h"

namespace km8 {
namespace {

using K = ControlKind;

// clang-format off
constexpr ControlTemplate kAccessCodeControls[] = {
    {1113, K::Edit, "", 13, 12, 57, 14, kDigitsOnly},
    {kStaticId, K::GroupBox, "", 5, 1, 74, 33},
    {1, K::DefaultPushButton, "OK", 87, 5, 40, 12},
    {2, K::PushButton, "Cancel", 87, 22, 40, 12},
};
// clang-format on

}  // namespace

const DialogTemplate& AccessCodeTemplate() {
  static const DialogTemplate t{.id = 140,
                                .caption = "Код доступу даного приладу",
                                .width = 134,
                                .height = 39,
                                .fontName = "MS Sans Serif",
                                .fontPointSize = 8,
                                .controls = kAccessCodeControls};
  return t;
}

}  // namespace km8
