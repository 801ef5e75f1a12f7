// Rates without a B-constant (14400, 28800, 56000, 128000 ...): set and read back
// through termios2 on Linux, kept apart because its header clashes with <termios.h>.
#pragma once

#include <cstdint>

namespace km8 {

// Sets input and output rate of an open tty; false where the driver or the platform
// refuses (only Linux has arbitrary rates).
bool setCustomBaudRate(int fd, std::uint32_t baudRate);

// The output rate the tty is set to, 0 where it cannot be read.
std::uint32_t currentBaudRate(int fd);

}  // namespace km8
