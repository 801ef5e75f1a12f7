#include "res/dialog_template.h"

namespace km8 {
namespace {

using K = ControlKind;

// clang-format off
constexpr ControlTemplate kMainWindowControls[] = {
    {kStaticId, K::GroupBox, "", 6, 1, 144, 203},
    {kStaticId, K::Static, "Канал", 12, 8, 24, 8},
    {kStaticId, K::Static, "Температура", 42, 8, 48, 8},
    {kStaticId, K::Static, "Рег", 102, 8, 16, 8},
    {kStaticId, K::Static, "Сиг", 128, 8, 16, 8},
    {1001, K::CaptionLabel, "1", 13, 18, 20, 20},
    {1000, K::SevenSegment, "", 38, 18, 56, 20},
    {1024, K::RoundLed, "", 98, 18, 20, 20},
    {1074, K::RoundLed, "", 124, 18, 20, 20},
    {1033, K::RadioButton, "", 159, 24, 9, 9, kGroupStart},
    {1008, K::CaptionLabel, "2", 13, 41, 20, 20},
    {1016, K::SevenSegment, "", 38, 41, 56, 20},
    {1025, K::RoundLed, "", 98, 41, 20, 20},
    {1075, K::RoundLed, "", 124, 41, 20, 20},
    {1034, K::RadioButton, "", 159, 46, 9, 9},
    {1009, K::CaptionLabel, "3", 13, 64, 20, 20},
    {1017, K::SevenSegment, "", 38, 64, 56, 20},
    {1026, K::RoundLed, "", 98, 64, 20, 20},
    {1076, K::RoundLed, "", 124, 64, 20, 20},
    {1035, K::RadioButton, "", 159, 69, 9, 9},
    {1010, K::CaptionLabel, "4", 13, 87, 20, 20},
    {1019, K::SevenSegment, "", 38, 87, 56, 20},
    {1027, K::RoundLed, "", 98, 87, 20, 20},
    {1077, K::RoundLed, "", 124, 87, 20, 20},
    {1036, K::RadioButton, "", 159, 93, 9, 9},
    {1011, K::CaptionLabel, "5", 13, 110, 20, 20},
    {1020, K::SevenSegment, "", 38, 110, 56, 20},
    {1028, K::RoundLed, "", 98, 110, 20, 20},
    {1078, K::RoundLed, "", 124, 110, 20, 20},
    {1037, K::RadioButton, "", 159, 115, 9, 9},
    {1012, K::CaptionLabel, "6", 13, 133, 20, 20},
    {1021, K::SevenSegment, "", 38, 133, 56, 20},
    {1029, K::RoundLed, "", 98, 133, 20, 20},
    {1079, K::RoundLed, "", 124, 133, 20, 20},
    {1038, K::RadioButton, "", 159, 138, 9, 9},
    {1014, K::CaptionLabel, "7", 13, 156, 20, 20},
    {1022, K::SevenSegment, "", 38, 156, 56, 20},
    {1030, K::RoundLed, "", 98, 156, 20, 20},
    {1080, K::RoundLed, "", 124, 156, 20, 20},
    {1039, K::RadioButton, "", 159, 161, 9, 9},
    {1015, K::CaptionLabel, "8", 13, 179, 20, 20},
    {1023, K::SevenSegment, "", 38, 179, 56, 20},
    {1031, K::RoundLed, "", 98, 179, 20, 20},
    {1081, K::RoundLed, "", 124, 179, 20, 20},
    {1040, K::RadioButton, "", 159, 185, 9, 9},
    {1124, K::RadioButton, "", 159, 8, 9, 9},
    {kStaticId, K::GroupBox, "", 155, 1, 290, 203},
    {1032, K::StripChart, "", 172, 11, 268, 188},
    {kStaticId, K::GroupBox, "", 6, 210, 439, 38},
    {1063, K::RoundLed, "", 44, 217, 20, 20},
    {kStaticId, K::Static, "Загальна сигналiзацiя", 15, 237, 80, 8},
    {1066, K::RoundLed, "", 148, 219, 16, 16, kHidden},
    {1071, K::Static, "Помилка уставок", 126, 237, 60, 8, kHidden},
    {1067, K::RoundLed, "", 221, 219, 16, 16, kHidden},
    {1072, K::Static, "Помилка архіву", 204, 237, 60, 8, kHidden},
    {1068, K::RoundLed, "", 294, 219, 16, 16, kHidden},
    {1073, K::Static, "Аварія АЦП", 282, 237, 44, 8, kHidden},
    {1069, K::RoundLed, "", 409, 227, 10, 10},
    {kStaticId, K::Static, "Передача даних  з приладу", 369, 219, 35, 24},
    {1053, K::PushButton, "Перегляд уставок", 35, 257, 71, 15},
    {1041, K::PushButton, "Архіви", 133, 257, 71, 15},
    {1042, K::PushButton, "Конфігурація", 231, 257, 71, 15},
    {1101, K::PushButton, "Змiнити уставки", 329, 257, 71, 15},
};
// clang-format on

}  // namespace

const DialogTemplate& MainWindowTemplate() {
  static const DialogTemplate t{102, "KM-8", 450, 279, "MS Sans Serif", 8, kMainWindowControls};
  return t;
}

}  // namespace km8
