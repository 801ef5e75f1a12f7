#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "support/pty_pair.h"

namespace km8::test {
namespace {

void makeRaw(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) throw std::runtime_error("tcgetattr on pseudo-terminal failed");
  ::cfmakeraw(&t);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) throw std::runtime_error("raw mode failed");
}

}  // namespace

PtyPair::PtyPair() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw std::runtime_error("posix_openpt failed");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    ::close(master_);
    throw std::runtime_error("grantpt/unlockpt failed");
  }
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    throw std::runtime_error("ptsname failed");
  }
  slavePath_ = name;
  slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHold_ < 0) {
    ::close(master_);
    throw std::runtime_error("cannot open " + slavePath_);
  }
  makeRaw(master_);
  makeRaw(slaveHold_);
}

PtyPair::~PtyPair() { hangUp(); }

void PtyPair::send(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      throw std::runtime_error("write to pseudo-terminal master failed");
    }
  }
}

Bytes PtyPair::receive(std::chrono::milliseconds quiet) {
  Bytes out;
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(quiet.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || !(p.revents & POLLIN)) return out;
    std::uint8_t chunk[512];
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) return out;
    out.insert(out.end(), chunk, chunk + n);
  }
}

void PtyPair::hangUp() {
  if (master_ >= 0) ::close(master_);
  if (slaveHold_ >= 0) ::close(slaveHold_);
  master_ = -1;
  slaveHold_ = -1;
}

}  // namespace km8::test
