// Dialog template 140: the access code dialog, one masked field for the instrument's
// code with OK and Cancel.
#pragma once

#include "res/dialog_template.h"

namespace km8 {

namespace access_code_ids {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kCode = 1113;
}  // namespace access_code_ids

inline constexpr int kAccessCodeMaxLength = 6;

const DialogTemplate& AccessCodeTemplate();

}  // namespace km8
