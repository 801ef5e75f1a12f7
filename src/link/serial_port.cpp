// What both platforms' serial ports share: looking again for a device that has gone.
#include "link/serial_port.h"

#include "link/read_end_rule.h"

namespace km8 {
namespace {

// A device that has gone (an unplugged adapter) or was not there is looked for again
// this often, on the next write, so that polling resumes soon after it is back.
constexpr auto kLookInterval = std::chrono::seconds(1);

}  // namespace

void SerialPort::lose() {
  Close();
  lookingForDevice_ = true;
  lastLook_ = ReadClock::now();
}

void SerialPort::lookForDevice() {
  if (isOpen() || !lookingForDevice_ || ReadClock::now() - lastLook_ < kLookInterval) return;
  // Silently, like the worker's own reopening: the user was not told it went either. A
  // device that is there but refuses the setup now is looked for again all the same.
  const SerialSetup setup = setup_;
  if (!Open(setup)) {
    setup_ = setup;
    lookingForDevice_ = true;
    lastLook_ = ReadClock::now();
  }
}

}  // namespace km8
