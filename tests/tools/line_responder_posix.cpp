// km8-line-responder: plays the instrument from scripts on pseudo-terminals that a wine
// prefix maps as COM ports, so that the Windows tests drive the Win32 serial code for
// real. The tests send their scripts over a local TCP connection (support/line_protocol.h).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/line_protocol.h"
#include "support/pty_pair.h"
#include "support/scripted_responder.h"

namespace {

using namespace km8::test;
using std::chrono::milliseconds;

int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

struct ServedLine {
  std::string link;
  std::unique_ptr<PtyPair> pty;
  std::unique_ptr<ScriptedResponder> responder;
};

struct Step {
  Bytes request;
  std::vector<std::pair<Bytes, milliseconds>> pieces;
};

struct Client {
  int fd = -1;
  std::string input;
  std::string line;  // the line of the script being written
  std::vector<Step> script;
  ServedLine* scripted = nullptr;
};

unsigned baudOf(speed_t speed) {
  static const std::pair<speed_t, unsigned> kRates[] = {
      {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},     {B150, 150},
      {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},   {B1800, 1800},
      {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200}, {B38400, 38400},
      {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
  };
  for (const auto& [constant, rate] : kRates)
    if (constant == speed) return rate;
  return 0;
}

// What the station's SetCommState left on the tty. A pseudo-terminal forces CS8 and
// clears PARENB itself, so parity shows only as INPCK, PARODD and CMSPAR.
std::string settingsOf(int fd) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return "error tcgetattr failed";
  auto bit = [](tcflag_t flags, tcflag_t mask) { return (flags & mask) ? 1 : 0; };
  char out[256];
  std::snprintf(out, sizeof out,
                "settings baud=%u inpck=%d parodd=%d cmspar=%d cstopb=%d crtscts=%d ixon=%d "
                "ixoff=%d icanon=%d echo=%d",
                baudOf(::cfgetospeed(&t)), bit(t.c_iflag, INPCK), bit(t.c_cflag, PARODD),
                bit(t.c_cflag, CMSPAR), bit(t.c_cflag, CSTOPB), bit(t.c_cflag, CRTSCTS),
                bit(t.c_iflag, IXON), bit(t.c_iflag, IXOFF), bit(t.c_lflag, ICANON),
                bit(t.c_lflag, ECHO));
  return out;
}

bool makeLink(const std::string& link, const std::string& target);
bool plugIn(const ServedLine& served) { return makeLink(served.link, served.pty->slavePath()); }

class Responder {
 public:
  std::map<std::string, ServedLine> lines;

  // Answers one command; the answer's lines each end in '\n'.
  std::string handle(Client& client, const std::string& text) {
    const std::vector<std::string> w = line::words(text);
    if (w.empty()) return "error empty command\n";
    const std::string& command = w[0];
    if (command == "script" && w.size() == 2) {
      if (!lines.count(w[1])) return "error no line " + w[1] + "\n";
      client.line = w[1];
      client.script.clear();
      return "ok\n";
    }
    if (command == "expect" && w.size() == 2) {
      const auto bytes = line::fromHex(w[1]);
      if (!bytes) return "error bad hex\n";
      client.script.push_back(Step{*bytes, {}});
      return "ok\n";
    }
    if (command == "reply" && w.size() == 3) {
      const auto bytes = line::fromHex(w[2]);
      if (!bytes) return "error bad hex\n";
      if (client.script.empty()) client.script.push_back(Step{});
      client.script.back().pieces.emplace_back(*bytes, milliseconds(std::stoi(w[1])));
      return "ok\n";
    }
    if (command == "start" && w.size() == 1) return start(client);
    if (command == "finish" && w.size() == 2) return finish(client, milliseconds(std::stoi(w[1])));
    ServedLine* served = w.size() >= 2 && lines.count(w[1]) ? &lines[w[1]] : nullptr;
    if (!served) return "error unknown command or line: " + text + "\n";
    if (command == "unplug" && w.size() == 2) {
      // The far end hangs up and the COM mapping goes, as when an adapter is pulled out.
      served->responder.reset();
      served->pty.reset();
      ::unlink(served->link.c_str());
      return "ok\n";
    }
    if (command == "plug" && w.size() == 2) {
      if (served->pty) return "ok\n";
      served->pty = std::make_unique<PtyPair>();  // a new device under the same name
      return plugIn(*served) ? "ok\n" : "error cannot link " + served->link + "\n";
    }
    if (!served->pty) return "error line " + w[1] + " is unplugged\n";
    if (command == "send" && w.size() == 3) {
      const auto bytes = line::fromHex(w[2]);
      if (!bytes) return "error bad hex\n";
      served->pty->send(*bytes);
      return "ok\n";
    }
    if (command == "receive" && w.size() == 3)
      return "bytes " + line::toHex(served->pty->receive(milliseconds(std::stoi(w[2])))) + "\n";
    if (command == "settings" && w.size() == 2) return settingsOf(served->pty->slaveFd()) + "\n";
    return "error unknown command: " + text + "\n";
  }

 private:
  std::string start(Client& client) {
    if (client.line.empty()) return "error no script\n";
    ServedLine& served = lines[client.line];
    if (!served.pty) return "error line " + client.line + " is unplugged\n";
    served.responder.reset();  // stops whatever the last script left running
    served.responder = std::make_unique<ScriptedResponder>(served.pty->masterFd());
    for (const Step& step : client.script) {
      served.responder->expect(step.request);  // an empty request does not wait
      for (const auto& [bytes, after] : step.pieces) served.responder->reply(bytes, after);
    }
    served.responder->start();
    client.scripted = &served;
    client.script.clear();
    return "ok\n";
  }

  std::string finish(Client& client, milliseconds timeout) {
    if (!client.scripted || !client.scripted->responder) return "error nothing started\n";
    ScriptedResponder& responder = *client.scripted->responder;
    const bool done = responder.finish(timeout);
    std::string out = std::string("done ") + (done ? "1" : "0") + "\n";
    for (const Bytes& request : responder.requests())
      out += "request " + line::toHex(request) + "\n";
    for (const std::string& problem : responder.problems()) out += "problem " + problem + "\n";
    return out + "end\n";
  }
};

bool sendAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads what the client sent and answers every complete line; false when it has gone.
bool serveClient(Responder& responder, Client& client) {
  char buffer[4096];
  const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) return false;
  client.input.append(buffer, static_cast<std::size_t>(n));
  for (auto eol = client.input.find('\n'); eol != std::string::npos;
       eol = client.input.find('\n')) {
    std::string text = client.input.substr(0, eol);
    client.input.erase(0, eol + 1);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::string answer;
    try {
      answer = responder.handle(client, text);
    } catch (const std::exception& e) {
      answer = std::string("error ") + e.what() + "\n";
    }
    if (!sendAll(client.fd, answer)) return false;
  }
  return true;
}

bool makeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) ::unlink(link.c_str());
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "km8-line-responder: cannot link %s: %s\n", link.c_str(),
                 std::strerror(errno));
    return false;
  }
  return true;
}

int listenLocal(unsigned& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t size = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

void usage() {
  std::fputs(
      "Usage: km8-line-responder [--port N] --line COMn=LINK [--line COMn=LINK ...]\n"
      "Serves one pseudo-terminal per line, LINK a symlink to its station side (e.g.\n"
      "$WINEPREFIX/dosdevices/com1), and takes scripts on 127.0.0.1:N (0: any free port).\n"
      "Prints \"port N\" and one \"COMn PATH\" per line once ready; SIGTERM stops it.\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  Responder responder;
  unsigned port = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      port = static_cast<unsigned>(std::stoul(argv[++i]));
    } else if (arg == "--line" && i + 1 < argc) {
      const std::string mapping = argv[++i];
      const auto equals = mapping.find('=');
      if (equals == std::string::npos) {
        usage();
        return 2;
      }
      responder.lines[mapping.substr(0, equals)].link = mapping.substr(equals + 1);
    } else {
      usage();
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  if (responder.lines.empty()) {
    usage();
    return 2;
  }

  if (::pipe(stopPipe) != 0) return 1;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  for (auto& [name, served] : responder.lines) {
    served.pty = std::make_unique<PtyPair>();
    if (!plugIn(served)) return 1;
  }
  const int listener = listenLocal(port);
  if (listener < 0) {
    std::fprintf(stderr, "km8-line-responder: cannot listen: %s\n", std::strerror(errno));
    return 1;
  }
  std::printf("port %u\n", port);
  for (const auto& [name, served] : responder.lines)
    std::printf("%s %s\n", name.c_str(), served.pty->slavePath().c_str());
  std::fflush(stdout);

  std::vector<std::unique_ptr<Client>> clients;
  for (bool running = true; running;) {
    std::vector<pollfd> fds = {{stopPipe[0], POLLIN, 0}, {listener, POLLIN, 0}};
    for (const auto& client : clients) fds.push_back({client->fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) running = false;
    if (fds[1].revents & POLLIN) {
      const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        clients.push_back(std::make_unique<Client>());
        clients.back()->fd = fd;
      }
    }
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      Client& client = *clients[i - 2];
      if (!serveClient(responder, client)) {
        ::close(client.fd);
        client.fd = -1;
      }
    }
    std::erase_if(clients, [](const auto& client) { return client->fd < 0; });
  }

  for (const auto& client : clients) ::close(client->fd);
  ::close(listener);
  for (auto& [name, served] : responder.lines) {
    served.responder.reset();
    ::unlink(served.link.c_str());
  }
  return 0;
}
