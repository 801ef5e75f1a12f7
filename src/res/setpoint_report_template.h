// Template 134: the setpoint report window, one read-only multi-line edit filling it.
// Its caption is set at run time only.
#pragma once

#include "res/dialog_template.h"

namespace km8 {

inline constexpr int kSetpointReportTextId = 1054;

const DialogTemplate& SetpointReportTemplate();

}  // namespace km8
