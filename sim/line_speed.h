// Sets a serial device's line speed, including the rates termios has no constant
// for (14400, 28800), which Linux takes through its arbitrary-rate interface.
#pragma once

#include <cstdint>

namespace km8::sim {

// Applies raw 8N1 settings and the rate to an open descriptor; false if refused.
bool configureSerialLine(int fd, std::uint32_t baud);

// Whether the descriptor's line runs at `baud`; true for a rate termios has no
// constant for, which it cannot tell.
bool lineRunsAt(int fd, std::uint32_t baud);

// The arbitrary-rate path alone (Linux); false where the platform has none.
bool setArbitrarySpeed(int fd, std::uint32_t baud);

}  // namespace km8::sim
