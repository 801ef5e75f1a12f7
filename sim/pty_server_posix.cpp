#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "frame_splitter.h"
#include "line_speed.h"
#include "pty_server.h"

namespace km8::sim {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t toUs(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// While no master has the pseudo-terminal open (or a device is gone), look again
// at this pace instead of spinning on the hang-up.
constexpr int kHungUpRetryMs = 20;
constexpr int kIdleWakeMs = 100;
constexpr int kDeviceReopenMs = 500;

// The line is set up as 8N1 (configureSerialLine): a start bit, 8 data bits, no
// parity and one stop bit make a character.
constexpr std::int64_t kCharacterBits = 1 + 8 + 0 + 1;

}  // namespace

struct PtyServer::Impl {
  explicit Impl(RequestService& s) : service(s), splitter(19200) {}

  RequestService& service;
  int fd = -1;
  bool isPty = false;
  std::string path;
  int stopRead = -1;
  int stopWrite = -1;
  std::thread thread;
  std::atomic<bool> active{false};
  FrameSplitter splitter;
  LineSettings line;
  TransmitPlan plan;
  Clock::time_point requestStart;  // when the first byte of the pending request came

  bool makeStopPipe(std::string& error) {
    if (stopRead >= 0) return true;
    int fds[2];
    if (pipe(fds) != 0) {
      error = errnoText("pipe");
      return false;
    }
    for (int f : fds) fcntl(f, F_SETFD, FD_CLOEXEC);
    stopRead = fds[0];
    stopWrite = fds[1];
    return true;
  }

  bool stopRequested() const {
    pollfd p{stopRead, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
  }

  // Sleeps until `deadline` unless a stop comes first (then false).
  bool waitUntil(Clock::time_point deadline) {
    for (;;) {
      const auto now = Clock::now();
      if (now >= deadline) return !stopRequested();
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now).count();
      timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
      pollfd p{stopRead, POLLIN, 0};
      if (ppoll(&p, 1, &ts, nullptr) > 0) return false;
    }
  }

  // Writes everything, waiting for room; false on stop or a dead line.
  bool writeAll(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
      const ssize_t n = ::write(fd, data, length);
      if (n > 0) {
        data += n;
        length -= static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      pollfd p[2] = {{stopRead, POLLIN, 0}, {fd, POLLOUT, 0}};
      if (poll(p, 2, kIdleWakeMs) < 0 && errno != EINTR) return false;
      if (p[0].revents != 0 || (p[1].revents & (POLLERR | POLLHUP)) != 0) return false;
    }
    return true;
  }

  std::chrono::nanoseconds characterTime() const {
    return std::chrono::nanoseconds(kCharacterBits * 1'000'000'000LL / std::max(line.baud, 1u));
  }

  bool send(const std::uint8_t* data, std::size_t length) {
    if (!line.paced) return writeAll(data, length);
    // A character reaches the far end once its stop bit is through.
    const auto perChar = characterTime();
    auto due = Clock::now();
    for (std::size_t i = 0; i < length; ++i) {
      due += perChar;
      if (!waitUntil(due) || !writeAll(data + i, 1)) return false;
    }
    return true;
  }

  void transmit() {
    using std::chrono::milliseconds;
    const std::uint32_t before = line.turnaroundMs + plan.delayBeforeMs;
    if (before > 0 && !waitUntil(Clock::now() + milliseconds(before))) return;
    const std::size_t split = plan.pauseAt > 0 ? plan.pauseAt : plan.length;
    if (!send(plan.bytes.data(), split)) return;
    if (split < plan.length) {
      if (line.paced) tcdrain(fd);
      if (!waitUntil(Clock::now() + milliseconds(plan.pauseMs))) return;
      send(plan.bytes.data() + split, plan.length - split);
    }
  }

  void applyLine() {
    const LineSettings now = service.lineSettings();
    if (now.baud != line.baud) {
      splitter.setBaud(now.baud);
      // A new rate takes effect once the reply at the old rate has left.
      if (!isPty && fd >= 0) {
        tcdrain(fd);
        configureSerialLine(fd, now.baud);
      }
    }
    line = now;
  }

  void onFrame(const std::uint8_t* frame, std::size_t length) {
    // The master of a pty sees the rate its slave side was set to.
    if (line.deafToOtherRates && isPty && !lineRunsAt(fd, line.baud)) return;
    // A master on a pseudo-terminal hands its request over at once; on the line it
    // would take its characters' time, which the instrument waits out before its
    // turnaround.
    if (line.paced && !waitUntil(requestStart + characterTime() * static_cast<int>(length))) return;
    if (service.serve(frame, length, Clock::now(), plan)) transmit();
    applyLine();
  }

  void closeLine() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  bool reopenDevice() {
    const int f = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) return false;
    if (!configureSerialLine(f, line.baud)) {
      ::close(f);
      return false;
    }
    fd = f;
    return true;
  }

  void run() {
    std::uint8_t buffer[512];
    bool hungUp = false;
    auto nextReopen = Clock::now();
    auto handle = [this](const std::uint8_t* frame, std::size_t length) { onFrame(frame, length); };
    for (;;) {
      auto now = Clock::now();
      service.advance(now);
      if (!isPty && fd < 0 && now >= nextReopen) {
        // An unplugged adapter leaves a dead handle; try the path again.
        if (!reopenDevice()) nextReopen = now + std::chrono::milliseconds(kDeviceReopenMs);
      }
      int timeoutMs = kIdleWakeMs;
      const std::int64_t deadline = splitter.deadlineUs();
      if (deadline >= 0) {
        const std::int64_t waitUs = deadline - toUs(now);
        timeoutMs = static_cast<int>(std::clamp<std::int64_t>((waitUs + 999) / 1000, 0, timeoutMs));
      }
      const bool watchLine = fd >= 0 && !hungUp;
      if (!watchLine) timeoutMs = std::min(timeoutMs, kHungUpRetryMs);
      pollfd fds[2] = {{stopRead, POLLIN, 0}, {fd, POLLIN, 0}};
      const int ready = poll(fds, watchLine ? 2 : 1, timeoutMs);
      if (ready < 0 && errno != EINTR) break;
      if (fds[0].revents != 0) break;
      hungUp = false;
      now = Clock::now();
      if (watchLine && fds[1].revents != 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
          if (splitter.pending() == 0) requestStart = now;
          splitter.feed(buffer, static_cast<std::size_t>(n), toUs(now), handle);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          // Pseudo-terminal: nobody has the slave side open. Device: it went away.
          hungUp = true;
          if (!isPty) {
            closeLine();
            nextReopen = now + std::chrono::milliseconds(kDeviceReopenMs);
          }
        }
      }
      splitter.poll(toUs(Clock::now()), handle);
    }
  }
};

PtyServer::PtyServer(RequestService& service) : impl_(std::make_unique<Impl>(service)) {}

PtyServer::~PtyServer() { stop(); }

bool PtyServer::openNewPty(std::string& error) {
  if (impl_->fd >= 0) {
    error = "already open";
    return false;
  }
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) {
    error = errnoText("posix_openpt");
    return false;
  }
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    error = errnoText("pseudo-terminal set-up");
    ::close(master);
    return false;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  // Raw on our side; the station puts the slave side in raw mode when it opens it.
  termios tio{};
  if (tcgetattr(master, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
  }
  impl_->fd = master;
  impl_->isPty = true;
  impl_->path = name;
  return true;
}

bool PtyServer::openDevice(const std::string& path, std::string& error) {
  if (impl_->fd >= 0) {
    error = "already open";
    return false;
  }
  impl_->path = path;
  impl_->isPty = false;
  impl_->line = impl_->service.lineSettings();
  if (!impl_->reopenDevice()) {
    error = errnoText(("cannot open " + path).c_str());
    return false;
  }
  return true;
}

const std::string& PtyServer::devicePath() const { return impl_->path; }

bool PtyServer::start(std::string& error) {
  if (impl_->active) return true;
  if (impl_->fd < 0) {
    error = "no line open";
    return false;
  }
  if (!impl_->makeStopPipe(error)) return false;
  impl_->line = impl_->service.lineSettings();
  impl_->splitter.setBaud(impl_->line.baud);
  impl_->active = true;
  impl_->thread = std::thread([this] { impl_->run(); });
  return true;
}

void PtyServer::stop() {
  if (impl_->thread.joinable()) {
    const char byte = 1;
    // The pipe stays readable from now on, so every wait inside the thread ends.
    while (::write(impl_->stopWrite, &byte, 1) < 0 && errno == EINTR) {
    }
    impl_->thread.join();
  }
  for (int* f : {&impl_->stopRead, &impl_->stopWrite}) {
    if (*f >= 0) ::close(*f);
    *f = -1;
  }
  impl_->active = false;
  impl_->closeLine();
}

bool PtyServer::running() const { return impl_->active; }

}  // namespace km8::sim
