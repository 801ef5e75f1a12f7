#include "res/setpoint_editor_template.h"

namespace km8 {
namespace {

using K = ControlKind;

// The labels have no width of their own: each ends just before the control it names.
// clang-format off
constexpr ControlTemplate kSetpointEditorControls[] = {
    {1, K::DefaultPushButton, "Змiнити", 55, 229, 50, 14},
    {2, K::PushButton, "Вiдмiна", 129, 229, 50, 14},
    {1093, K::GroupBox, "Канал", 6, 3, 224, 156},
    {1095, K::PushButton, "<<", 14, 15, 18, 12},
    {kStaticId, K::Static, "Тип датчика:", 74, 17, 45, 8},
    {1094, K::DropDownList, "", 121, 15, 40, 56},
    {1096, K::PushButton, ">>", 204, 15, 18, 12},
    {kStaticId, K::Static, "Закон регулювання:", 12, 31, 49, 18, kCentered},
    {1090, K::DropDownList, "", 63, 33, 160, 76},
    {kStaticId, K::Static, "Уставка температури регулювання, °C:", 9, 52, 76, 18, kCentered},
    {1088, K::Edit, "", 87, 54, 24, 14},
    {kStaticId, K::Static, "Верхня температура сигналiзацiї, °C:", 11, 73, 74, 18, kCentered},
    {1091, K::Edit, "", 87, 75, 24, 14},
    {kStaticId, K::Static, "Нижня температура сигналiзацiї, °C:", 121, 73, 74, 18, kCentered},
    {1092, K::Edit, "", 197, 75, 24, 14},
    {kStaticId, K::Static, "Період iмпульсiв для ПIД закону, с:", 19, 95, 66, 18, kCentered},
    {1119, K::Edit, "", 87, 96, 24, 14, kDigitsOnly},
    {kStaticId, K::Static, "Діап. пропорційності /зона поверн., °C:", 122, 95, 73, 18, kCentered},
    {1120, K::Edit, "", 197, 96, 24, 14, kDigitsOnly},
    {kStaticId, K::Static, "Стала диференціювання, с:", 13, 114, 72, 18, kCentered},
    {1121, K::Edit, "", 87, 116, 24, 14, kDigitsOnly},
    {kStaticId, K::Static, "Стала інтегрування, хв:", 135, 114, 60, 18, kCentered},
    {1122, K::Edit, "", 197, 116, 24, 14},
    {kStaticId, K::Static, "Максимальна потужність, %:", 31, 135, 54, 18, kCentered},
    {1123, K::Edit, "", 87, 137, 24, 14, kDigitsOnly},
    {kStaticId, K::Static, "Змiщення датчика, °C:", 151, 135, 44, 18, kCentered},
    {1115, K::Edit, "", 197, 137, 24, 14},
    {kStaticId, K::GroupBox, "", 6, 162, 224, 58},
    {kStaticId, K::Static, "Архiвування час, хв:", 11, 172, 45, 18, kCentered},
    {1097, K::Edit, "", 58, 174, 18, 14, kDigitsOnly},
    {kStaticId, K::Static, "Номер приладу:", 83, 172, 32, 18, kCentered},
    {1098, K::Edit, "", 117, 174, 18, 14, kDigitsOnly},
    {kStaticId, K::Static, "Швидкiсть обмiну, бод:", 144, 172, 41, 18, kCentered},
    {1100, K::DropDownList, "", 187, 174, 36, 82},
    {kStaticId, K::Static, "Включенi канали:", 36, 196, 36, 18, kCentered},
    {kStaticId, K::Static, "1", 76, 196, 8, 8},
    {kStaticId, K::Static, "2", 92, 196, 8, 8},
    {kStaticId, K::Static, "3", 108, 196, 8, 8},
    {kStaticId, K::Static, "4", 124, 196, 8, 8},
    {kStaticId, K::Static, "5", 140, 196, 8, 8},
    {kStaticId, K::Static, "6", 156, 196, 8, 8},
    {kStaticId, K::Static, "7", 172, 196, 8, 8},
    {kStaticId, K::Static, "8", 188, 196, 8, 8},
    {1103, K::CheckBox, "", 74, 204, 10, 8},
    {1104, K::CheckBox, "", 90, 204, 10, 8},
    {1105, K::CheckBox, "", 106, 204, 10, 8},
    {1106, K::CheckBox, "", 122, 204, 10, 8},
    {1107, K::CheckBox, "", 138, 204, 10, 8},
    {1108, K::CheckBox, "", 154, 204, 10, 8},
    {1109, K::CheckBox, "", 170, 204, 10, 8},
    {1111, K::CheckBox, "", 186, 204, 10, 8},
};
// clang-format on

}  // namespace

const DialogTemplate& SetpointEditorTemplate() {
  static const DialogTemplate t{.id = 137,
                                .caption = "Змiна уставок",
                                .width = 236,
                                .height = 252,
                                .fontName = "MS Sans Serif",
                                .fontPointSize = 8,
                                .controls = kSetpointEditorControls};
  return t;
}

}  // namespace km8
