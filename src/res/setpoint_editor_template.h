// Dialog template 137: the setpoint editor, its controls in tab order with the labels
// just before the control they name.
#pragma once

#include <array>

#include "res/dialog_template.h"

namespace km8 {

namespace editor_ids {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kChannelHeading = 1093;
inline constexpr int kPreviousChannel = 1095;
inline constexpr int kNextChannel = 1096;
inline constexpr int kSensorType = 1094;
inline constexpr int kControlLaw = 1090;
inline constexpr int kSetpoint = 1088;
inline constexpr int kAlarmHigh = 1091;
inline constexpr int kAlarmLow = 1092;
inline constexpr int kPulsePeriod = 1119;
inline constexpr int kBand = 1120;
inline constexpr int kDerivativeTime = 1121;
inline constexpr int kIntegralTime = 1122;
inline constexpr int kMaxPower = 1123;
inline constexpr int kSensorOffset = 1115;
inline constexpr int kArchivePeriod = 1097;
inline constexpr int kInstrumentNumber = 1098;
inline constexpr int kBaudRate = 1100;
// Channels 1..8; channel 8 is 1111, not 1110.
inline constexpr std::array<int, 8> kChannelEnabled = {1103, 1104, 1105, 1106,
                                                       1107, 1108, 1109, 1111};
}  // namespace editor_ids

const DialogTemplate& SetpointEditorTemplate();

}  // namespace km8
