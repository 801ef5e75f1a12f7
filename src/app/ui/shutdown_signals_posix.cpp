#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

#include "app/ui/shutdown_signals.h"

namespace km8 {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write one byte to the socket (async-signal-safe); the Qt thread
// reads it through a notifier. Whatever thread takes the signal, the Qt thread acts.
volatile std::sig_atomic_t gWriteFd = -1;

extern "C" void onShutdownSignal(int) {
  const int saved = errno;
  const int fd = gWriteFd;
  if (fd >= 0) {
    const char byte = 1;
    (void)!::write(fd, &byte, 1);  // a full socket already holds a request
  }
  errno = saved;
}

}  // namespace

struct ShutdownSignals::Platform {
  std::array<int, 2> fds{-1, -1};  // [0] read by Qt, [1] written by the handler
  std::array<struct sigaction, kSignals.size()> previous{};
  bool installed = false;
  std::unique_ptr<QSocketNotifier> notifier;
};

ShutdownSignals::ShutdownSignals(std::function<void()> onRequest)
    : onRequest_(std::move(onRequest)), platform_(std::make_unique<Platform>()) {
  Platform& p = *platform_;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, p.fds.data()) != 0)
    return;
  gWriteFd = p.fds[1];
  p.notifier = std::make_unique<QSocketNotifier>(p.fds[0], QSocketNotifier::Read);
  connect(p.notifier.get(), &QSocketNotifier::activated, this, [this] { deliver(); });

  struct sigaction action {};
  action.sa_handler = onShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignals.size(); ++i)
    ::sigaction(kSignals[i], &action, &p.previous[i]);
  p.installed = true;
}

ShutdownSignals::~ShutdownSignals() {
  Platform& p = *platform_;
  if (p.installed) {
    for (std::size_t i = 0; i < kSignals.size(); ++i)
      ::sigaction(kSignals[i], &p.previous[i], nullptr);
  }
  gWriteFd = -1;
  p.notifier.reset();
  for (int fd : p.fds)
    if (fd >= 0) ::close(fd);
}

bool ShutdownSignals::active() const { return platform_->installed; }

void ShutdownSignals::deliver() {
  char bytes[64];
  while (::read(platform_->fds[0], bytes, sizeof bytes) > 0) {
  }
  if (onRequest_) onRequest_();
}

}  // namespace km8
