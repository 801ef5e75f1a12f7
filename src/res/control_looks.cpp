#include "res/control_looks.h"

namespace km8 {
namespace {

constexpr LabelLook kChannelNumber{"MS Sans Serif", 24, true, kLime, kBlack, true, true};
constexpr SegmentLook kChannelValue{kBlack, true, 1};
constexpr LedLook kAlarmLed{8421631};  // red 255, green 128, blue 128
constexpr LedLook kErrorLed{8388863};  // red 255, green 0, blue 128
constexpr LedLook kGeneralAlarmLed{kRed};
constexpr LedLook kTransferLed{kYellow};

// clang-format off
constexpr ControlLook kMainWindowLooks[] = {
    {1001, kChannelNumber}, {1008, kChannelNumber}, {1009, kChannelNumber},
    {1010, kChannelNumber}, {1011, kChannelNumber}, {1012, kChannelNumber},
    {1014, kChannelNumber}, {1015, kChannelNumber},
    {1000, kChannelValue}, {1016, kChannelValue}, {1017, kChannelValue},
    {1019, kChannelValue}, {1020, kChannelValue}, {1021, kChannelValue},
    {1022, kChannelValue}, {1023, kChannelValue},
    {1074, kAlarmLed}, {1075, kAlarmLed}, {1076, kAlarmLed}, {1077, kAlarmLed},
    {1078, kAlarmLed}, {1079, kAlarmLed}, {1080, kAlarmLed}, {1081, kAlarmLed},
    {1063, kGeneralAlarmLed},
    {1066, kErrorLed}, {1067, kErrorLed}, {1068, kErrorLed},
    {1069, kTransferLed},
};
// clang-format on

}  // namespace

std::span<const ControlLook> MainWindowLooks() { return kMainWindowLooks; }

}  // namespace km8
