// A pseudo-terminal pair standing in for a serial line: the station opens
// slavePath() as its device; the test, or a responder, plays the far end.
#pragma once

#include <chrono>
#include <string>

#include "support/modbus_bytes.h"

namespace km8::test {

class PtyPair {
 public:
  // Both ends in raw mode. Throws std::runtime_error when no pseudo-terminal is left.
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  int masterFd() const { return master_; }
  // A descriptor of the station's end opened before the station's own: termios
  // belongs to the tty, so this shows the settings the station applied.
  int slaveFd() const { return slaveHold_; }

  // Writes all bytes to the far end of the station's device.
  void send(const Bytes& bytes);
  // Everything the station sent until the line has been quiet for `quiet`.
  Bytes receive(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));

  // The far end disappears, as when a USB adapter is unplugged: the station's
  // descriptor is hung up, and the device node goes once nobody holds it.
  void hangUp();

 private:
  int master_ = -1;
  // Held open so that the master end does not see a hang-up while the station has
  // the device closed (between tests, or between a close and a reopen).
  int slaveHold_ = -1;
  std::string slavePath_;
};

}  // namespace km8::test
