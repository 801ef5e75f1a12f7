#include "configuration/serial_devices.h"

namespace km8 {

// COM1..COM9 are the devices themselves; there is nothing to choose.
std::vector<SerialDevice> ListSerialDevices(const SerialDeviceScan&) { return {}; }

}  // namespace km8
