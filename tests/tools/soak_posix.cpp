// km8-soak: the station's core (main window logic, poll cycle, real link worker and
// serial port) against the instrument simulator with every line fault at 10 %, for a
// number of transactions or seconds. Fails on a crash, a hang, a prompt, growing memory
// or descriptors, or a display that does not come back soon after the faults stop.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "link/link_worker.h"
#include "monitor/main_window_logic.h"
#include "monitor/poll_cycle.h"
#include "simulator.h"
#include "support/fake_features.h"
#include "support/recording_controls.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Completions, counted without keeping a log that would grow with the run.
class CountingHost final : public km8::LinkHost {
 public:
  void postLinkDone() override {
    {
      std::lock_guard lock(mutex_);
      ++completions_;
    }
    changed_.notify_all();
  }
  bool mainWindowPublished() const override { return true; }
  void showBlockingMessage(const km8::Message& message) override {
    std::fprintf(stderr, "soak: the link worker showed \"%s\"\n", message.text.c_str());
    std::lock_guard lock(mutex_);
    ++messages_;
  }
  void endProcess(int code) override {
    std::fprintf(stderr, "soak: the link worker ended the process (%d)\n", code);
    std::_Exit(1);
  }
  // Waits up to `limit` for more than `seen` completions; returns the count.
  long waitBeyond(long seen, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return completions_ > seen; });
    return completions_;
  }
  int messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long completions_ = 0;
  int messages_ = 0;
};

// The worker's mailbox as the main window logic sees it, noting what the last request
// was for and whether its reply came, so that every prompt can be checked against the
// transaction that led to it.
class WatchedMailbox final : public km8::LinkMailbox {
 public:
  explicit WatchedMailbox(km8::LinkMailbox& inner) : inner_(inner) {}
  const km8::MainWindowLogic* logic = nullptr;
  km8::PollState lastState = km8::PollState::Idle;
  bool lastFailed = false;
  long reportFailures = 0;

  void SubmitRequest(const km8::LinkRequest& request) override {
    lastState = logic ? logic->items().state : km8::PollState::Idle;
    inner_.SubmitRequest(request);
  }
  bool IsTransactionDone() const override { return inner_.IsTransactionDone(); }
  const std::uint8_t* TakeReply(std::uint8_t& byteCount) override {
    const std::uint8_t* data = inner_.TakeReply(byteCount);
    lastFailed = data == nullptr;
    if (lastFailed && lastState == km8::PollState::ReportStep) ++reportFailures;
    return data;
  }
  std::uint16_t WriteRegisterReplyCode() const override { return inner_.WriteRegisterReplyCode(); }

 private:
  km8::LinkMailbox& inner_;
};

// Answers the link-failure prompt with Cancel and counts the prompts that the poll cycle
// prescribes (a failed feature request) and those it does not.
class PromptCheck final : public km8::MessageBoxHost {
 public:
  explicit PromptCheck(const WatchedMailbox& mailbox) : mailbox_(mailbox) {}
  long prescribed = 0;
  long other = 0;

  km8::MessageResult showMessage(const km8::Message& message) override {
    const bool expected = message.text == km8::linkFailurePrompt().text && mailbox_.lastFailed &&
                          mailbox_.lastState == km8::PollState::ReportStep;
    if (expected) {
      ++prescribed;
    } else {
      ++other;
      std::fprintf(stderr, "soak: unexpected box \"%s\"\n", message.text.c_str());
    }
    return km8::MessageResult::Cancel;
  }

 private:
  const WatchedMailbox& mailbox_;
};

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

long descriptors() {
  long n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

int usage() {
  std::fputs(
      "usage: km8-soak [--transactions N] [--seconds S] [--rate R]\n"
      "  Runs until N transactions (default 10000) or S seconds, whichever comes first,\n"
      "  with every line fault of the simulator at rate R (default 0.1).\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long wanted = 10000;
  double seconds = 0;
  double rate = 0.1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return usage();
    const char* value = argv[++i];
    if (arg == "--transactions")
      wanted = std::atol(value);
    else if (arg == "--seconds")
      seconds = std::atof(value);
    else if (arg == "--rate")
      rate = std::atof(value);
    else
      return usage();
  }
  if (wanted <= 0 || seconds < 0 || rate < 0 || rate > 1) return usage();

  namespace sim = km8::sim;
  sim::SimConfig config;
  config.timeScale = 0.0;  // steady readings, so the display can be compared
  config.instrument.thermal.noiseC = 0.0;
  sim::Simulator simulator(config);
  std::string error;
  if (!simulator.startOnNewPty(&error)) {
    std::fprintf(stderr, "soak: %s\n", error.c_str());
    return 1;
  }
  simulator.withInstrument([](sim::Instrument& instrument) {
    for (int c = 0; c < 8; ++c) instrument.thermal().setTemperature(c, 20.0 + 11.1 * c);
    instrument.sampleNow();
  });

  km8::PortMap ports;
  ports.setDevicePath(1, simulator.devicePath());  // COM2, the default port
  km8::SharedSettings settings;
  CountingHost host;
  km8::RealLinkTiming timing;
  km8::LinkWorker worker(settings, ports, host, timing);
  km8::test::MainWindowControls controls(nullptr);
  km8::test::FakeMainWindowHost window(nullptr);
  WatchedMailbox mailbox(worker);
  PromptCheck messages(mailbox);
  km8::test::FakeSetpointReport report;
  km8::MainWindowLogic logic(mailbox, settings, controls.wiring(), window, messages,
                             {[] {}, [] {},
                              [](int code) {
                                std::fprintf(stderr, "soak: the station ended itself (%d)\n", code);
                                std::_Exit(1);
                              }});
  mailbox.logic = &logic;
  logic.attachSetpointReport(report);
  if (!logic.initialise() || !worker.start()) return 1;
  worker.RequestReconfigure();

  const sim::SimStatus instrument = simulator.status();
  auto showsInstrument = [&] {
    for (int c = 0; c < 8; ++c) {
      if (!(instrument.enabledChannels & (1 << c))) continue;
      if (controls.values[c]->color != 255 ||
          std::abs(controls.values[c]->value - instrument.readings[c] * 0.1) > 1e-9)
        return false;
    }
    return true;
  };

  // The user-interface thread's part: completions and 110 ms timer ticks. False on a
  // hang (no completion for 15 s).
  long handled = 0;
  auto nextTick = Clock::now();
  auto step = [&] {
    if (Clock::now() >= nextTick) {
      logic.onTimer(km8::MainWindowLogic::kTimerId);
      nextTick += 110ms;
    }
    const long done = host.waitBeyond(handled, 15s);
    if (done == handled) return false;
    while (handled < done) {
      ++handled;
      logic.onLinkDone();
    }
    return true;
  };

  // Clean start, then every fault at the rate.
  while (!showsInstrument()) {
    if (!step()) {
      std::fputs("soak: FAILED: no values before the faults\n", stderr);
      return 1;
    }
  }
  sim::FaultConfig faults;
  for (double& r : faults.rate) r = rate;
  simulator.setFaults(faults);
  const long start = handled;
  const auto began = Clock::now();
  long kibWarm = 0, fdsWarm = 0;
  auto over = [&] {
    if (handled - start >= wanted) return true;
    return seconds > 0 && Clock::now() - began >= std::chrono::duration<double>(seconds);
  };
  while (!over()) {
    if (!step()) {
      std::fprintf(stderr, "soak: FAILED: hang, no completion for 15 s after %ld\n",
                   handled - start);
      return 1;
    }
    // Now and then the user asks for the setpoint report: its requests are the ones
    // whose failure must prompt.
    if (!report.pending && (handled - start) % 40 == 0) {
      report.steps.clear();
      report.start();
    }
    // Measured once the run has settled (buffers, the chart's ring).
    if (kibWarm == 0 && handled - start >= 50) {
      kibWarm = residentKiB();
      fdsWarm = descriptors();
    }
  }
  const long transactions = handled - start;
  const double elapsed = std::chrono::duration<double>(Clock::now() - began).count();
  if (kibWarm == 0) {
    kibWarm = residentKiB();
    fdsWarm = descriptors();
  }
  const long kibEnd = residentKiB();
  const long fdsEnd = descriptors();
  std::uint64_t injected = 0;
  std::string perFault;
  for (std::size_t f = 0; f < sim::kFaultCount; ++f) {
    const auto n = simulator.faultCount(static_cast<sim::Fault>(f));
    injected += n;
    perFault +=
        " " + std::string(sim::faultName(static_cast<sim::Fault>(f))) + "=" + std::to_string(n);
  }

  // A silent instrument blanks the display; once every fault is off, the display is
  // back within two poll passes (four current-values reads) after the one already on
  // the line.
  while (report.pending) {  // the report in progress ends first
    if (!step()) return 1;
  }
  sim::FaultConfig silent;
  silent[sim::Fault::Silence] = 1.0;
  simulator.setFaults(silent);
  while (controls.values[0]->color == 255) {
    if (!step()) {
      std::fputs("soak: FAILED: hang while the instrument was silent\n", stderr);
      return 1;
    }
  }
  simulator.setFaults({});
  const long stopped = handled;
  while (!showsInstrument() && handled - stopped <= 5) {
    if (!step()) break;
  }
  const long recovery = handled - stopped;

  worker.Stop();
  const bool workerStopped = worker.waitForExit(10s);

  std::printf(
      "soak: %ld transactions in %.0f s, %llu faults injected (%s)\n"
      "soak: resident memory %ld KiB after warm-up, %ld KiB at the end; descriptors %ld, %ld\n"
      "soak: display back %ld transactions after the faults stopped\n"
      "soak: %ld link-failure prompts, one for each of the %ld failed report requests; %ld "
      "other boxes\n",
      transactions, elapsed, static_cast<unsigned long long>(injected), perFault.c_str() + 1,
      kibWarm, kibEnd, fdsWarm, fdsEnd, recovery, messages.prescribed, mailbox.reportFailures,
      messages.other);

  bool ok = true;
  auto fail = [&](const char* why) {
    std::fprintf(stderr, "soak: FAILED: %s\n", why);
    ok = false;
  };
  if (messages.other != 0 || host.messages() != 0) fail("a box the poll cycle does not prescribe");
  if (messages.prescribed != mailbox.reportFailures)
    fail("a failed report request without its prompt");
  if (rate > 0 && messages.prescribed == 0) fail("no feature request failed: nothing was checked");
  if (fdsEnd != fdsWarm) fail("descriptors grew");
  if (kibEnd - kibWarm > 2048) fail("resident memory grew by more than 2 MiB");
  if (!showsInstrument()) fail("the display was not back within two poll passes");
  if (!workerStopped) fail("the link worker did not stop");
  if (injected == 0 && rate > 0) fail("no fault was injected");
  return ok ? 0 : 1;
}
