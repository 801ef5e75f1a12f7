// Dialog template 139: the progress window of the setpoint change, a bar inside a
// group box whose text names the phase, and Cancel.
#pragma once

#include "res/dialog_template.h"

namespace km8 {

namespace progress_ids {
inline constexpr int kCancel = 2;
inline constexpr int kBar = 1102;
inline constexpr int kPhaseCaption = 1112;
}  // namespace progress_ids

const DialogTemplate& ProgressTemplate();

}  // namespace km8
