#include "link/line_error_counters.h"

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace km8 {

std::optional<std::uint64_t> readLineErrorCount(int fd) {
#ifdef __linux__
  serial_icounter_struct c{};
  if (::ioctl(fd, TIOCGICOUNT, &c) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(static_cast<unsigned>(c.frame)) +
         static_cast<unsigned>(c.parity) + static_cast<unsigned>(c.overrun) +
         static_cast<unsigned>(c.brk) + static_cast<unsigned>(c.buf_overrun);
#else
  (void)fd;
  return std::nullopt;
#endif
}

}  // namespace km8
