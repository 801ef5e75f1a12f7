// Shared set-up of the serial tests: a port map whose COM ports are pseudo-
// terminals, settings blocks for them, and a stopwatch.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "config/port_map.h"
#include "config/serial_setup.h"
#include "support/pty_pair.h"
#include "support/stopwatch.h"

namespace km8::test {

// COM1 and COM2 are pseudo-terminals; the other ports name devices that do not exist.
struct TwoPtys {
  PtyPair com1;
  PtyPair com2;
  PortMap ports{paths()};

  std::array<std::string, kPortCount> paths() const {
    std::array<std::string, kPortCount> p;
    for (int i = 0; i < kPortCount; ++i) p[i] = "/dev/km8-no-such-port-" + std::to_string(i);
    p[0] = com1.slavePath();
    p[1] = com2.slavePath();
    return p;
  }
};

inline SerialSetup lineSetup(std::uint8_t portIndex, std::uint32_t frameLength = 20,
                             std::uint32_t totalMs = 500, std::uint32_t baud = 19200) {
  SerialSetup s;
  s.PortIndex = portIndex;
  s.FrameLength = frameLength;
  s.TotalTimeoutMs = totalMs;
  s.BaudRate = baud;
  return s;
}

}  // namespace km8::test
