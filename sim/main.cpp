// km8-sim: runs the KM410-8 simulator on a new pseudo-terminal or a serial device
// until interrupted, with optional status lines and commands typed on stdin.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli_options.h"

namespace {

using namespace km8::sim;

int signalPipe[2] = {-1, -1};

// Only hands the signal number to the main loop.
extern "C" void onSignal(int signo) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signo);
  [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
  errno = saved;
}

bool installSignals() {
  if (pipe(signalPipe) != 0) return false;
  for (int fd : signalPipe) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (int signo : {SIGINT, SIGTERM, SIGUSR1}) {
    if (sigaction(signo, &action, nullptr) != 0) return false;
  }
  signal(SIGPIPE, SIG_IGN);
  // In the background a read from the terminal then fails instead of stopping us.
  signal(SIGTTIN, SIG_IGN);
  return true;
}

bool makeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      std::fprintf(stderr, "km8-sim: %s exists and is not a symlink\n", link.c_str());
      return false;
    }
    unlink(link.c_str());
  }
  if (symlink(target.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "km8-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// Returns false when the command asks to quit.
bool runCommand(Simulator& sim, const std::string& text) {
  std::istringstream in(text);
  std::string word;
  if (!(in >> word)) return true;
  if (word == "quit" || word == "exit") return false;
  if (word == "reset-code") {
    sim.resetAccessCode();
    std::fprintf(stderr, "access code attempts restored\n");
  } else if (word == "restart") {
    sim.restartInstrument();
    std::fprintf(stderr, "instrument restarted (reset marker archived)\n");
  } else if (word == "status") {
    std::printf("%s\n", statusLine(sim.status()).c_str());
  } else if (word == "fault") {
    std::string setting;
    in >> setting;
    CliOptions parsed;
    std::string error;
    parsed.config.faults = sim.faults();
    if (!parseCommandLine({"--fault", setting}, parsed, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
    } else {
      sim.setFaults(parsed.config.faults);
    }
  } else if (word == "sensor") {
    int channel = 0;
    std::string state;
    in >> channel >> state;
    const SensorState s = state == "low"    ? SensorState::BelowRange
                          : state == "high" ? SensorState::AboveRange
                                            : SensorState::Normal;
    if (channel < 1 || channel > kChannelCount ||
        (state != "ok" && state != "low" && state != "high")) {
      std::fprintf(stderr, "usage: sensor CH ok|low|high\n");
    } else {
      sim.withInstrument([&](Instrument& instrument) {
        instrument.thermal().setSensorState(channel - 1, s);
        instrument.sampleNow();
      });
    }
  } else {
    std::fprintf(stderr,
                 "commands: reset-code, restart, status, fault NAME=RATE, sensor CH ok|low|high, "
                 "quit\n");
  }
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CliOptions options;
  std::string error;
  if (!parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "km8-sim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(usageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("km8-sim %s\n", KM8_VERSION);
    return 0;
  }
  if (!installSignals()) {
    std::fprintf(stderr, "km8-sim: cannot set up signal handling\n");
    return 1;
  }

  Simulator sim(options.config);
  const bool started = options.device.empty() ? sim.startOnNewPty(&error)
                                              : sim.startOnDevice(options.device, &error);
  if (!started) {
    std::fprintf(stderr, "km8-sim: %s\n", error.c_str());
    return 1;
  }
  const bool linked = !options.linkPath.empty() && makeLink(options.linkPath, sim.devicePath());
  const SimStatus first = sim.status();
  std::printf("%s\n", linked ? options.linkPath.c_str() : sim.devicePath().c_str());
  std::fflush(stdout);
  std::fprintf(stderr,
               "km8-sim: instrument %u at %u baud on %s%s%s\n"
               "km8-sim: point the station's COM port at that path; Ctrl-C stops\n",
               unsigned{first.address}, first.baud, sim.devicePath().c_str(), linked ? " via " : "",
               linked ? options.linkPath.c_str() : "");

  bool readStdin = true;
  std::string pending;
  auto nextStatus = std::chrono::steady_clock::now();
  for (bool running = true; running;) {
    if (options.status && std::chrono::steady_clock::now() >= nextStatus) {
      std::printf("%s\n", statusLine(sim.status()).c_str());
      std::fflush(stdout);
      nextStatus += std::chrono::seconds(1);
    }
    pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const int ready = poll(fds, readStdin ? 2 : 1, options.status ? 200 : 1000);
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      unsigned char signo = 0;
      while (read(signalPipe[0], &signo, 1) == 1) {
        if (signo == SIGUSR1) {
          sim.resetAccessCode();
          std::fprintf(stderr, "km8-sim: access code attempts restored\n");
        } else {
          running = false;
        }
      }
    }
    if (readStdin && (fds[1].revents & (POLLIN | POLLHUP))) {
      char buffer[256];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) {
        readStdin = false;  // no terminal or end of input: keep serving
        continue;
      }
      pending.append(buffer, static_cast<std::size_t>(n));
      for (auto eol = pending.find('\n'); eol != std::string::npos; eol = pending.find('\n')) {
        if (!runCommand(sim, pending.substr(0, eol))) running = false;
        pending.erase(0, eol + 1);
      }
    }
  }

  sim.stop();
  if (linked) unlink(options.linkPath.c_str());
  std::fprintf(stderr, "km8-sim: stopped\n");
  return 0;
}
