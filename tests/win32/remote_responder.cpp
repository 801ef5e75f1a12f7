#include "win32/remote_responder.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "support/line_protocol.h"

namespace km8::test {
namespace {

// Long enough for a script's own waits; a responder that says nothing for this long
// is gone.
constexpr DWORD kAnswerTimeoutMs = 30000;

void startWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}

}  // namespace

RemoteResponder::RemoteResponder(const std::string& address, std::string port)
    : port_(std::move(port)) {
  startWinsock();
  const auto colon = address.rfind(':');
  if (colon == std::string::npos) throw std::runtime_error("bad responder address " + address);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.substr(0, colon).c_str(), address.substr(colon + 1).c_str(), &hints,
                  &found) != 0)
    throw std::runtime_error("cannot resolve responder address " + address);
  socket_ = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  const bool connected =
      socket_ != INVALID_SOCKET &&
      ::connect(socket_, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
  freeaddrinfo(found);
  if (!connected) {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    throw std::runtime_error("cannot connect to the line responder at " + address);
  }
  const DWORD timeout = kAnswerTimeoutMs;
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof timeout);
  const BOOL noDelay = TRUE;
  setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
             sizeof noDelay);
}

RemoteResponder::~RemoteResponder() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

RemoteResponder& RemoteResponder::expect(Bytes request) {
  script_ += "expect " + line::toHex(request) + "\n";
  return *this;
}

RemoteResponder& RemoteResponder::reply(Bytes bytes, std::chrono::milliseconds after) {
  script_ += "reply " + std::to_string(after.count()) + " " + line::toHex(bytes) + "\n";
  return *this;
}

void RemoteResponder::start() {
  // One batch, so that no round trip falls between the script's steps.
  const std::string batch = "script " + port_ + "\n" + script_ + "start\n";
  script_.clear();
  sendText(batch);
  const auto commands = std::count(batch.begin(), batch.end(), '\n');
  for (long i = 0; i < commands; ++i) {
    const std::string answer = readLine();
    if (answer != "ok") throw std::runtime_error("line responder: " + answer);
  }
}

bool RemoteResponder::finish(std::chrono::milliseconds timeout) {
  sendText("finish " + std::to_string(timeout.count()) + "\n");
  problems_.clear();
  requests_.clear();
  bool done = false;
  for (std::string answer = readLine(); answer != "end"; answer = readLine()) {
    if (answer.rfind("done ", 0) == 0) {
      done = answer == "done 1";
    } else if (answer.rfind("request ", 0) == 0) {
      requests_.push_back(line::fromHex(answer.substr(8)).value_or(Bytes{}));
    } else if (answer.rfind("problem ", 0) == 0) {
      problems_.push_back(answer.substr(8));
    } else {
      throw std::runtime_error("line responder: " + answer);
    }
  }
  return done;
}

void RemoteResponder::send(const Bytes& bytes) {
  const std::string answer = command("send " + port_ + " " + line::toHex(bytes));
  if (answer != "ok") throw std::runtime_error("line responder: " + answer);
}

Bytes RemoteResponder::receive(std::chrono::milliseconds quiet) {
  const std::string answer = command("receive " + port_ + " " + std::to_string(quiet.count()));
  const auto bytes =
      answer.rfind("bytes ", 0) == 0 ? line::fromHex(answer.substr(6)) : std::nullopt;
  if (!bytes) throw std::runtime_error("line responder: " + answer);
  return *bytes;
}

std::map<std::string, unsigned> RemoteResponder::lineSettings() {
  const std::vector<std::string> w = line::words(command("settings " + port_));
  if (w.empty() || w[0] != "settings") throw std::runtime_error("line responder: no settings");
  std::map<std::string, unsigned> settings;
  for (std::size_t i = 1; i < w.size(); ++i) {
    const auto equals = w[i].find('=');
    if (equals != std::string::npos)
      settings[w[i].substr(0, equals)] = static_cast<unsigned>(std::stoul(w[i].substr(equals + 1)));
  }
  return settings;
}

void RemoteResponder::unplug() {
  const std::string answer = command("unplug " + port_);
  if (answer != "ok") throw std::runtime_error("line responder: " + answer);
}

void RemoteResponder::plug() {
  const std::string answer = command("plug " + port_);
  if (answer != "ok") throw std::runtime_error("line responder: " + answer);
}

std::string RemoteResponder::command(const std::string& text) {
  sendText(text + "\n");
  return readLine();
}

void RemoteResponder::sendText(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const int n = ::send(socket_, text.data() + done, static_cast<int>(text.size() - done), 0);
    if (n <= 0) throw std::runtime_error("line responder connection lost");
    done += static_cast<std::size_t>(n);
  }
}

std::string RemoteResponder::readLine() {
  for (;;) {
    const auto eol = input_.find('\n');
    if (eol != std::string::npos) {
      std::string line = input_.substr(0, eol);
      input_.erase(0, eol + 1);
      return line;
    }
    char buffer[4096];
    const int n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n <= 0) throw std::runtime_error("line responder did not answer");
    input_.append(buffer, static_cast<std::size_t>(n));
  }
}

Bytes readOnce(SerialPort& port, int* result) {
  Bytes buffer(port.readLength() + 1, 0);
  std::uint32_t received = 12345;  // must be set whatever happens
  const int r = port.Read(buffer.data(), received);
  if (result) *result = r;
  buffer.resize(received);
  return buffer;
}

}  // namespace km8::test
