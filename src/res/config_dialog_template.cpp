#include "res/config_dialog_template.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace km8 {
namespace {

using K = ControlKind;

// clang-format off
constexpr ControlTemplate kConfigDialogControls[] = {
    {kStaticId, K::GroupBox, "", 6, 2, 212, 70},
    {kStaticId, K::Static, "Часова вiсь:", 12, 14, 44, 8},
    {1045, K::Edit, "", 62, 11, 18, 12, kDigitsOnly},
    {kStaticId, K::Static, "годин", 83, 14, 20, 8},
    {1046, K::Edit, "", 111, 11, 18, 12, kDigitsOnly},
    {kStaticId, K::Static, "хвилин", 133, 14, 24, 8},
    {1047, K::Edit, "", 165, 11, 18, 12, kDigitsOnly},
    {kStaticId, K::Static, "секунд", 187, 14, 24, 8},
    {kStaticId, K::Static, "Прилад №", 79, 31, 36, 8},
    {1044, K::Edit, "", 118, 28, 21, 12, kDigitsOnly},
    {1116, K::CheckBox, "Вiдображати на графiку границi регулювання", 27, 44, 169, 10},
    {1117, K::CheckBox, "Вiдображати на графiку границi сигналiзацiї", 27, 57, 169, 10},
    {kStaticId, K::GroupBox, "COM порт", 6, 75, 212, 49},
    {kStaticId, K::Static, "Порт:", 31, 88, 20, 8},
    {1048, K::DropDownList, "", 54, 86, 43, 93},
    {kStaticId, K::Static, "Кiлькiсть таймаутiв:", 130, 84, 36, 16},
    {1051, K::Edit, "", 168, 86, 43, 12, kDigitsOnly},
    {kStaticId, K::Static, "Швидкiсть:", 13, 107, 38, 8},
    {1050, K::DropDownList, "", 54, 104, 43, 83},
    {kStaticId, K::Static, "Затримка мiж запитами, мс:", 116, 102, 50, 18},
    {1052, K::Edit, "", 168, 104, 43, 12, kDigitsOnly},
    {1, K::DefaultPushButton, "OK", 52, 133, 50, 14},
    {2, K::PushButton, "Cancel", 120, 133, 50, 14},
    // Between the port list and the attempts label; only with device paths (moved below).
    {kDeviceChooserButtonId, K::PushButton, "…", 99, 86, 12, 12},
};

constexpr ControlTemplate kDeviceChooserControls[] = {
    {kDeviceListId, K::ListView, "", 7, 7, 276, 110},
    {kDeviceHintId, K::Static, "", 7, 121, 276, 18},
    {1, K::DefaultPushButton, "OK", 82, 143, 50, 14},
    {2, K::PushButton, "Cancel", 158, 143, 50, 14},
};
// clang-format on

constexpr std::size_t kTemplateControlCount = std::size(kConfigDialogControls) - 1;

// With device paths the port list shows a device after the port: it takes the gap before the
// attempts label, and the "…" button moves along to its right end.
constexpr auto kDeviceButtonControls = [] {
  std::array<ControlTemplate, std::size(kConfigDialogControls)> controls{};
  std::copy(std::begin(kConfigDialogControls), std::end(kConfigDialogControls), controls.begin());
  for (ControlTemplate& c : controls) {
    if (c.id == 1048) c.width = 60;
    if (c.id == kDeviceChooserButtonId) c.x = 116;
  }
  return controls;
}();

}  // namespace

const DialogTemplate& ConfigDialogTemplate() {
  static const DialogTemplate t{132,
                                "Конфігурація",
                                223,
                                154,
                                "MS Sans Serif",
                                8,
                                std::span(kConfigDialogControls, kTemplateControlCount)};
  return t;
}

const DialogTemplate& ConfigDialogWithDeviceButtonTemplate() {
  static const DialogTemplate t{132, "Конфігурація",       223, 154, "MS Sans Serif",
                                8,   kDeviceButtonControls};
  return t;
}

const DialogTemplate& SerialDeviceChooserTemplate() {
  static const DialogTemplate t{kStaticId, "Пристрій порту",      290, 164, "MS Sans Serif",
                                8,         kDeviceChooserControls};
  return t;
}

}  // namespace km8
