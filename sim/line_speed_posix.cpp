#include <termios.h>

#include "line_speed.h"

namespace km8::sim {

namespace {
speed_t standardSpeed(std::uint32_t baud) {
  switch (baud) {
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}
}  // namespace

bool lineRunsAt(int fd, std::uint32_t baud) {
  const speed_t speed = standardSpeed(baud);
  termios tio{};
  if (speed == B0 || tcgetattr(fd, &tio) != 0) return true;
  return cfgetispeed(&tio) == speed;
}

bool configureSerialLine(int fd, std::uint32_t baud) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = standardSpeed(baud);
  cfsetispeed(&tio, speed != B0 ? speed : B38400);
  cfsetospeed(&tio, speed != B0 ? speed : B38400);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
  return speed != B0 || setArbitrarySpeed(fd, baud);
}

}  // namespace km8::sim
