// The station's link against the simulated instrument on a paced line (19200 8N1,
// 3 ms turnaround), under each end-of-reply rule: FastFraming 1 (the reply ends with
// its last byte) and 0 (it ends after the 20 ms inter-character time-out).
//
// Everything goes through the real LinkWorker, mailbox, master and serial port, as
// the poll cycle drives them: submit, wait for the completion, take the reply.
//   BM_Poll            the idle rhythm: current values in two halves (poll states 1, 2)
//   BM_ArchiveRecords  one archive record a pass: states 1, 6, 7, 2 (four transactions)
#include <benchmark/benchmark.h>

#ifndef _WIN32

#include <condition_variable>
#include <mutex>

#include "config/app_settings.h"
#include "line_bench_support.h"
#include "link/link_host.h"
#include "link/link_timing.h"
#include "link/link_worker.h"

namespace {

using namespace km8;

// Completions arrive on the worker thread; the benchmark thread waits for each.
class WaitingHost final : public LinkHost {
 public:
  void postLinkDone() override {
    std::lock_guard lock(mutex_);
    ++done_;
    changed_.notify_all();
  }
  bool mainWindowPublished() const override { return true; }
  void showBlockingMessage(const Message&) override {}
  void endProcess(int) override {}

  void waitFor(std::uint64_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done_ >= count; });
  }
  std::uint64_t done() {
    std::lock_guard lock(mutex_);
    return done_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t done_ = 0;
};

struct Station {
  std::unique_ptr<sim::Simulator> simulator;
  SharedSettings settings;
  PortMap ports;
  WaitingHost host;
  RealLinkTiming timing;
  std::unique_ptr<LinkWorker> worker;

  bool start(bool fastFraming, std::string& error) {
    simulator = bench::startPacedSimulator(error);
    if (!simulator) return false;
    ports.setDevicePath(1, simulator->devicePath());  // COM2, the default port
    settings.set(&AppSettings::FastFraming, fastFraming ? 1u : 0u);
    worker = std::make_unique<LinkWorker>(settings, ports, host, timing);
    if (!worker->start()) return false;
    worker->RequestReconfigure();
    host.waitFor(1);  // the start-up's empty request
    return true;
  }

  // One transaction as the poll cycle makes it; false when it failed.
  bool transact(std::uint8_t kind, std::uint16_t start, std::uint16_t count) {
    const std::uint64_t before = host.done();
    worker->SubmitRequest({1, kind, start, count, nullptr});
    host.waitFor(before + 1);
    std::uint8_t bytes = 0;
    return worker->TakeReply(bytes) != nullptr;
  }
};

constexpr std::uint8_t kHolding = 3;  // RequestKind 3: function 3
constexpr std::uint8_t kInput = 4;    // RequestKind 4: function 4

void BM_Poll(benchmark::State& state) {
  Station station;
  std::string error;
  if (!station.start(state.range(0) != 0, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  int failures = 0;
  for (auto _ : state) {
    failures += !station.transact(kInput, 0, 5);
    failures += !station.transact(kInput, 5, 5);
  }
  state.SetItemsProcessed(state.iterations() * 2);
  state.counters["failures"] = failures;
  // 8-byte requests, 15-byte replies.
  bench::reportRate(state, 2.0 * static_cast<double>(state.iterations()),
                    bench::lineLimitMs(8, 15));
}

void BM_ArchiveRecords(benchmark::State& state) {
  Station station;
  std::string error;
  if (!station.start(state.range(0) != 0, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  int failures = 0;
  std::uint16_t record = 0;
  for (auto _ : state) {
    failures += !station.transact(kInput, 0, 5);                 // state 1
    failures += !station.transact(kHolding, 2 * record, 5);      // state 6: bytes 0-9
    failures += !station.transact(kHolding, 2 * record + 1, 4);  // state 7: bytes 10-17
    failures += !station.transact(kInput, 5, 5);                 // state 2
    record = static_cast<std::uint16_t>((record + 1) % 1000);
  }
  state.counters["failures"] = failures;
  state.counters["records_per_min"] = benchmark::Counter(
      60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  // Three replies of 15 bytes and one of 13.
  const double limitMs = 3 * bench::lineLimitMs(8, 15) + bench::lineLimitMs(8, 13);
  state.counters["of_line_limit"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * limitMs / 1000.0, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Poll)
    ->ArgName("FastFraming")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(150)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveRecords)
    ->ArgName("FastFraming")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(60)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

#endif  // _WIN32

BENCHMARK_MAIN();
