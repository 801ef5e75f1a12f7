#include <poll.h>
#include <unistd.h>

#include <stdexcept>

#include "support/line_server.h"

namespace km8::test {

LineServer::LineServer(int masterFd, Handler handler)
    : fd_(masterFd), handler_(std::move(handler)) {
  if (::pipe(wake_) != 0) throw std::runtime_error("pipe");
  thread_ = std::thread([this] { run(); });
}

LineServer::~LineServer() {
  const char stop = 1;
  [[maybe_unused]] auto n = ::write(wake_[1], &stop, 1);
  thread_.join();
  ::close(wake_[0]);
  ::close(wake_[1]);
}

std::vector<Bytes> LineServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LineServer::run() {
  Bytes pending;
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    std::uint8_t buffer[256];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) continue;
    pending.insert(pending.end(), buffer, buffer + n);
    while (pending.size() >= 8) {
      const Bytes request(pending.begin(), pending.begin() + 8);
      pending.erase(pending.begin(), pending.begin() + 8);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      const LineAnswer answer = handler_(++count_, request);
      if (answer.bytes.empty()) continue;
      if (answer.delay.count() > 0) {
        pollfd wake{wake_[0], POLLIN, 0};
        if (::poll(&wake, 1, static_cast<int>(answer.delay.count())) > 0) return;
      }
      [[maybe_unused]] auto written = ::write(fd_, answer.bytes.data(), answer.bytes.size());
    }
  }
}

}  // namespace km8::test
