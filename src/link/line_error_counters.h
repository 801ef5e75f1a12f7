// The driver's own counts of line errors (framing, parity, overrun, break), where it
// keeps them: a change between two readings means errors arrived in between.
#pragma once

#include <cstdint>
#include <optional>

namespace km8 {

// The sum of the error counters of an open tty, or empty where the driver keeps none
// (pseudo-terminals, non-Linux systems).
std::optional<std::uint64_t> readLineErrorCount(int fd);

}  // namespace km8
