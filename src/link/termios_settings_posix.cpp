#include "link/termios_settings.h"

namespace km8 {
namespace {

constexpr std::uint8_t kParityOdd = 1;
constexpr std::uint8_t kParityEven = 2;
constexpr std::uint8_t kParityMark = 3;
constexpr std::uint8_t kParitySpace = 4;

#ifdef CMSPAR
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kStickParity = 0;
#endif

constexpr tcflag_t kFrameFormat = CSIZE | PARENB | PARODD | kStickParity | CSTOPB;

}  // namespace

std::optional<speed_t> standardSpeed(std::uint32_t baudRate) {
  switch (baudRate) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
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
    case 230400:
      return B230400;
    default:
      return std::nullopt;
  }
}

std::optional<TermiosSettings> makeTermiosSettings(const SerialSetup& setup,
                                                   const termios& current) {
  if (setup.BaudRate == 0 || setup.DataBits < 5 || setup.DataBits > 8 || setup.StopBits > 2)
    return std::nullopt;

  TermiosSettings result;
  termios& t = result.attrs;
  t = current;

  // Raw transfer: every byte value passes untouched in both directions, nothing
  // echoes, no signal characters, no software or hardware flow control.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | INPCK | ISTRIP | INLCR | IGNCR |
                                      ICRNL | IXON | IXOFF | IXANY);
#ifdef IMAXBEL
  t.c_iflag &= ~static_cast<tcflag_t>(IMAXBEL);
#endif
#ifdef IUCLC
  t.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
#ifdef IUTF8
  t.c_iflag &= ~static_cast<tcflag_t>(IUTF8);
#endif
  // Bytes received with a parity or framing error, and breaks, reach the reader marked
  // (FF 00 x) so that the read can report them, like the Windows error flags.
  t.c_iflag |= PARMRK;
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
#ifdef CRTSCTS
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  // Modem lines are ignored (no hang-up on carrier loss) and are not raised again
  // on close: DTR and RTS stay down, as the Windows port keeps them.
  t.c_cflag &= ~static_cast<tcflag_t>(kFrameFormat | HUPCL);
  t.c_cflag |= CLOCAL | CREAD;

  switch (setup.DataBits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }

  switch (setup.Parity) {
    case kParityOdd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case kParityEven:
      t.c_cflag |= PARENB;
      break;
    case kParityMark:
    case kParitySpace:
      if (kStickParity == 0) return std::nullopt;
      // With stick parity PARODD selects a parity bit that is always 1 (mark).
      t.c_cflag |= PARENB | kStickParity | (setup.Parity == kParityMark ? PARODD : 0);
      break;
    default:
      break;  // 0, and anything above 4, is no parity
  }
  // Parity is checked only when there is parity, as the Windows port's fParity.
  if (t.c_cflag & PARENB) t.c_iflag |= INPCK;

  // One and a half stop bits do not exist here; two is the nearest safe choice.
  if (setup.StopBits != 0) t.c_cflag |= CSTOPB;

  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;

  speed_t speed = B38400;
  if (const auto standard = standardSpeed(setup.BaudRate)) {
    speed = *standard;
  } else {
#ifdef __linux__
    result.customRate = setup.BaudRate;
#else
    return std::nullopt;
#endif
  }
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return std::nullopt;
  return result;
}

}  // namespace km8
