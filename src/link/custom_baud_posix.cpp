#include "link/custom_baud.h"

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace km8 {

#ifdef __linux__

bool setCustomBaudRate(int fd, std::uint32_t baudRate) {
  struct termios2 t {};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = baudRate;
  t.c_ospeed = baudRate;
  return ::ioctl(fd, TCSETS2, &t) == 0;
}

std::uint32_t currentBaudRate(int fd) {
  struct termios2 t {};
  if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}

#else

bool setCustomBaudRate(int, std::uint32_t) { return false; }
std::uint32_t currentBaudRate(int) { return 0; }

#endif

}  // namespace km8
