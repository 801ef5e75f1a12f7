// Kept apart from line_speed_posix.cpp: the kernel's termios2 header clashes with
// the C library's <termios.h> in one translation unit.
#include <cstdint>

#include "line_speed.h"

#ifdef __linux__
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace km8::sim {

bool setArbitrarySpeed(int fd, std::uint32_t baud) {
#ifdef __linux__
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  return ioctl(fd, TCSETS2, &tio) == 0;
#else
  (void)fd;
  (void)baud;
  return false;
#endif
}

}  // namespace km8::sim
