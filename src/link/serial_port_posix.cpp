#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <thread>

#include "link/custom_baud.h"
#include "link/line_error_counters.h"
#include "link/modbus_frame.h"
#include "link/parity_mark_decoder.h"
#include "link/read_end_rule.h"
#include "link/serial_port.h"
#include "link/termios_settings.h"

namespace km8 {
namespace {

// Reads and writes on a closed port wait this long, so that a worker polling a
// missing port does not spin.
constexpr auto kClosedPortDelay = std::chrono::milliseconds(20);

// Errors after which the descriptor is dead: the tty was hung up (an unplugged USB
// adapter, the far end of a pseudo-terminal gone) or is no longer there.
bool deviceGone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

int msUntil(std::optional<ReadClock::time_point> deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - ReadClock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// The shortest reply a Modbus slave sends: address, function, exception code, CRC.
constexpr std::size_t kShortestReply = 5;

// The rest of a reply cannot come sooner than its characters take on the line: after
// each read, sleep until all but the last of the bytes still missing can have arrived
// (of the whole frame once its length is known, of the shortest reply before that),
// then wait for the last one, which ends the read the moment it comes. `lastRead` is
// when the bytes so far were taken. Bytes keep arriving in the driver meanwhile; the
// sleep never passes the wait the rule allows, so the time-outs end the read as before.
void sleepThroughFrame(const ReadEndRule& rule, std::span<const std::uint8_t> received,
                       ReadClock::time_point start, ReadClock::time_point lastRead,
                       std::chrono::nanoseconds characterTime) {
  std::size_t frame = expectedReplyLength(rule.replyFunction(), received.data(), received.size());
  if (frame == 0) frame = kShortestReply;
  frame = std::min<std::size_t>(frame, rule.readLength());
  if (received.size() + 1 >= frame) return;
  const ReadStep step = rule.next(received, lastRead - start, ReadClock::duration::zero());
  if (step.end != ReadEnd::None) return;
  auto until = lastRead + characterTime * static_cast<int>(frame - received.size() - 1);
  if (step.waitMs >= 0) until = std::min(until, lastRead + std::chrono::milliseconds(step.waitMs));
  std::this_thread::sleep_until(until);
}

}  // namespace

struct SerialPort::Backend {
  int fd = -1;
  std::uint32_t intervalMs = 20;
  std::uint32_t totalMs = 0;     // 0: no total time-out
  // Time on the wire of one character: start, data, parity and stop bits of the line.
  std::chrono::nanoseconds characterTime{0};
  ParityMarkDecoder marks;
  // Line error count of the driver at the last look, where the driver keeps one.
  std::optional<std::uint64_t> errorCount;
  std::array<std::uint8_t, 256> raw{};

  std::optional<ReadClock::time_point> deadlineFrom(ReadClock::time_point start) const {
    if (totalMs == 0) return std::nullopt;
    return start + std::chrono::milliseconds(totalMs);
  }
};

SerialPort::SerialPort(const PortMap& ports)
    : ports_(ports), backend_(std::make_unique<Backend>()) {}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::isOpen() const { return backend_->fd >= 0; }

int SerialPort::Open(const SerialSetup& setup) {
  Close();
  setup_ = setup;
  if (setup.BaudRate == 0 || setup.PortIndex >= kPortCount) return 0;
  const std::string path = ports_.devicePath(setup.PortIndex);
  if (path.empty()) return 0;

  // Non-blocking so that a modem line cannot hold up the open; CLOEXEC so that a
  // program the station starts does not inherit the port and its lock.
  // A device that is not there (yet), not ours to open or busy is looked for again.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    lose();
    return 0;
  }
  backend_->fd = fd;

  // Exclusive like a Windows COM port: TIOCEXCL makes further opens fail with EBUSY,
  // except for root, which the advisory lock still refuses (in any process, and for a
  // second descriptor in this one).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
    lose();
    return 0;
  }

  // Settings the driver refuses close the port for good, unless the device went away
  // meanwhile.
  const auto fail = [this] {
    if (deviceGone(errno))
      lose();
    else
      Close();
    return 0;
  };
  termios current{};
  if (::tcgetattr(fd, &current) != 0) return fail();
  const std::optional<TermiosSettings> wanted = makeTermiosSettings(setup, current);
  if (!wanted) {
    Close();
    return 0;
  }
  if (::tcsetattr(fd, TCSANOW, &wanted->attrs) != 0 ||
      (wanted->customRate != 0 && !setCustomBaudRate(fd, wanted->customRate)))
    return fail();

  // The open raised DTR and RTS; drop them as the Windows port does. Pseudo-terminals
  // have no modem lines, so the result is not checked.
  int lines = TIOCM_DTR | TIOCM_RTS;
  (void)::ioctl(fd, TIOCMBIC, &lines);

  // Whatever arrived before or while the line was being set up is not a reply.
  ::tcflush(fd, TCIOFLUSH);

  readLength_ = setup.FrameLength;
  backend_->intervalMs = intervalTimeoutMs(setup.BaudRate);
  backend_->totalMs = setup.TotalTimeoutMs;
  backend_->characterTime =
      characterTime(setup.BaudRate, setup.DataBits, setup.Parity, setup.StopBits);
  backend_->marks.reset();
  backend_->errorCount = readLineErrorCount(fd);
  return 1;
}

void SerialPort::Close() {
  Backend& b = *backend_;
  lookingForDevice_ = false;
  if (b.fd >= 0) {
    (void)::ioctl(b.fd, TIOCNXCL);
    ::close(b.fd);  // also releases the lock
    b.fd = -1;
  }
  b.marks.reset();
  b.errorCount.reset();
}

void SerialPort::discardInput() {
  Backend& b = *backend_;
  if (b.fd < 0) return;
  ::tcflush(b.fd, TCIFLUSH);
  b.marks.reset();
  b.errorCount = readLineErrorCount(b.fd);
}

int SerialPort::Write(const std::uint8_t* data, std::uint32_t length, std::uint32_t& written) {
  written = 0;
  Backend& b = *backend_;
  lookForDevice();
  if (b.fd < 0) {
    std::this_thread::sleep_for(kClosedPortDelay);
    return 0;
  }
  const auto deadline = b.deadlineFrom(ReadClock::now());
  while (written < length) {
    const ssize_t n = ::write(b.fd, data + written, length - written);
    if (n > 0) {
      written += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      if (deviceGone(errno)) lose();
      return 0;
    }
    // The output buffer is full: wait for room until the write time-out.
    const int wait = msUntil(deadline);
    if (wait == 0) return 0;
    pollfd p{b.fd, POLLOUT, 0};
    const int r = ::poll(&p, 1, wait);
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      lose();
      return 0;
    }
  }

  // The reply's time-outs must count from the end of the request: at low rates the
  // request alone takes a good part of the total time-out. write() returns as soon
  // as the tty holds the bytes, so wait for its output queue to empty, within the
  // write time-out.
  for (;;) {
    int queued = 0;
    if (::ioctl(b.fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
    const int left = msUntil(deadline);
    if (left == 0) break;
    auto pause = b.characterTime * queued;
    if (left > 0)
      pause = std::min<std::chrono::nanoseconds>(pause, std::chrono::milliseconds(left));
    std::this_thread::sleep_for(
        std::max<std::chrono::nanoseconds>(pause, std::chrono::microseconds(500)));
  }
  return 1;
}

int SerialPort::Read(std::uint8_t* buffer, std::uint32_t& received) {
  received = 0;
  Backend& b = *backend_;
  if (b.fd < 0) {
    std::this_thread::sleep_for(kClosedPortDelay);
    return 0;
  }

  const ReadEndRule rule(readLength_, b.intervalMs, b.totalMs, replyFunction_);
  const auto start = ReadClock::now();
  std::optional<ReadClock::time_point> lastByte;
  bool lineError = false;
  for (;;) {
    const auto now = ReadClock::now();
    const ReadStep step =
        rule.next({buffer, received}, now - start,
                  lastByte ? std::optional<ReadClock::duration>(now - *lastByte) : std::nullopt);
    if (step.end == ReadEnd::Length) break;

    // A time-out that has run out still takes the bytes already waiting: the Windows
    // driver hands over everything that arrived before it ended the read.
    pollfd p{b.fd, POLLIN, 0};
    const int r = ::poll(&p, 1, step.end == ReadEnd::None ? step.waitMs : 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    if (r == 0) {
      if (step.end != ReadEnd::None) break;
      continue;
    }
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      lose();  // the device has gone; the received bytes stay with the caller
      return 0;
    }

    // Never more raw bytes than data bytes still wanted: what lies beyond the read
    // length stays in the driver for the next read.
    const std::size_t want = std::min<std::size_t>(step.maxBytes, b.raw.size());
    const ssize_t n = ::read(b.fd, b.raw.data(), want);
    if (n > 0) {
      lastByte = ReadClock::now();
      const auto decoded =
          b.marks.decode(b.raw.data(), static_cast<std::size_t>(n), buffer + received);
      received += static_cast<std::uint32_t>(decoded.produced);
      lineError = lineError || decoded.lineError;
      if (replyFunction_ != 0)
        sleepThroughFrame(rule, {buffer, received}, start, *lastByte, b.characterTime);
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    // End of file on a tty means it was hung up.
    if (n == 0 || deviceGone(errno)) lose();
    return 0;
  }

  // Parity and framing errors arrive marked in the data when parity is checked; the
  // counters also see framing errors without parity, overruns (which the line
  // discipline never marks) and breaks. Either one fails the read, as the error flags
  // of the Windows port do; the counters are compared with the last look, so errors
  // are reported once.
  if (const auto count = readLineErrorCount(b.fd)) {
    if (b.errorCount && *b.errorCount != *count) lineError = true;
    b.errorCount = count;
  }
  return lineError ? 0 : 1;
}

}  // namespace km8
