// Which errors of a COM port's handle mean that its device has gone (a USB adapter
// pulled out): the port is then closed and its device looked for again.
#pragma once

namespace km8 {

// error is a GetLastError() value (a DWORD).
bool DeviceGoneError(unsigned long error);

}  // namespace km8
