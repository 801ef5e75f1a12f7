// The termios equivalent of the serial line settings (POSIX only): raw 8-bit
// transfer, no flow control, the block's parity, data bits, stop bits and rate.
#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>

#include "config/serial_setup.h"

namespace km8 {

struct TermiosSettings {
  termios attrs{};
  // Non-zero when the rate has no B-constant: attrs then carries B38400 as a
  // placeholder and the rate is set afterwards with setCustomBaudRate().
  std::uint32_t customRate = 0;
};

// Builds the attributes from the driver's current ones, as the Windows port keeps
// the members of its control block that it does not set. Empty for a block the port
// refuses: BaudRate 0, DataBits outside 5..8, StopBits above 2, or a rate or parity
// the platform cannot express.
std::optional<TermiosSettings> makeTermiosSettings(const SerialSetup& setup,
                                                   const termios& current);

// The B-constant of a rate, if the platform has one.
std::optional<speed_t> standardSpeed(std::uint32_t baudRate);

}  // namespace km8
