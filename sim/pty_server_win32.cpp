#include "pty_server.h"

// Windows has no pseudo-terminals and the simulator is not served there; the
// library still links so that the station's other code builds unchanged.
namespace km8::sim {

struct PtyServer::Impl {
  std::string path;
};

PtyServer::PtyServer(RequestService&) : impl_(std::make_unique<Impl>()) {}
PtyServer::~PtyServer() = default;

bool PtyServer::openNewPty(std::string& error) {
  error = "pseudo-terminals are not available on Windows";
  return false;
}

bool PtyServer::openDevice(const std::string&, std::string& error) {
  error = "serving a device is not available on Windows";
  return false;
}

const std::string& PtyServer::devicePath() const { return impl_->path; }

bool PtyServer::start(std::string& error) {
  error = "not available on Windows";
  return false;
}

void PtyServer::stop() {}
bool PtyServer::running() const { return false; }

}  // namespace km8::sim
