// Template 132: the configuration dialog; and where each COM port stands for a device path
// (POSIX), the device button beside its port list and the device chooser it opens.
#pragma once

#include "res/dialog_template.h"

namespace km8 {

// Opens the serial device chooser for the selected COM port; not part of template 132.
inline constexpr int kDeviceChooserButtonId = 1200;

// The device chooser's list and the line under it that says why a device is marked.
inline constexpr int kDeviceListId = 1201;
inline constexpr int kDeviceHintId = 1202;

// Template 132 as it stands.
const DialogTemplate& ConfigDialogTemplate();
// Template 132 with the device button beside the port list.
const DialogTemplate& ConfigDialogWithDeviceButtonTemplate();
// The serial device chooser the device button opens.
const DialogTemplate& SerialDeviceChooserTemplate();

}  // namespace km8
