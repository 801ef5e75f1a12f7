// Speed of an archive reading against the simulator with its line paced at the baud
// rate: records per minute, against the limit of four transactions a record on the wire.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "archives/archive_reading.h"
#include "config/port_map.h"
#include "link/link_worker.h"
#include "monitor/poll_cycle.h"
#include "simulator.h"

namespace {

using namespace km8;
using namespace std::chrono_literals;

// Completions counted for the user-interface loop below.
class CountingHost final : public LinkHost {
 public:
  void postLinkDone() override {
    {
      std::lock_guard lock(mutex_);
      ++completions_;
    }
    changed_.notify_all();
  }
  bool mainWindowPublished() const override { return true; }
  void showBlockingMessage(const Message&) override {}
  void endProcess(int) override {}

  // Waits a little for a completion beyond `seen`; returns the count.
  int waitBeyond(int seen) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 50ms, [&] { return completions_ > seen; });
    return completions_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int completions_ = 0;
};

class NoDisplay final : public LiveDisplayOps, public MainWindowFront, public MessageBoxHost {
 public:
  void ShowChannel(int) override {}
  void BlankChannels(int, int) override {}
  void ShowStatus(bool) override {}
  void TransferLedReply(bool) override {}
  bool BringToFront() override { return false; }
  void minimise() override {}
  MessageResult showMessage(const Message&) override { return MessageResult::Cancel; }
};

class CountingList final : public ArchiveListView {
 public:
  void deleteAllRows() override { rows = 0; }
  void appendRow(const ArchiveEntry&) override { ++rows; }
  void setCaption(const std::string&) override {}
  void showOrFocus() override {}
  void activate() override {}
  bool listOpen() const override { return true; }
  void setListOpen(bool) override {}
  int rows = 0;
};

// Bytes on the wire of one record's pass: four requests of 8 bytes; replies of
// 5 + 10 (states 1, 2 and 6) and 5 + 8 (state 7) bytes; ten bits a character.
constexpr double kPassBits = (4 * 8 + 3 * 15 + 13) * 10.0;

void BM_ArchiveReading1000Records(benchmark::State& state) {
  constexpr std::uint16_t kRecords = 1000;
  constexpr std::uint32_t kBaud = 19200;
  sim::SimConfig config;
  config.pacedLine = true;
  config.historyRecords = kRecords;
  sim::Simulator simulator(config);
  std::string error;
  if (!simulator.startOnNewPty(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  PortMap ports;
  ports.setDevicePath(1, simulator.devicePath());
  SharedSettings settings;
  settings.update([](AppSettings& s) {
    s.SerialSetup.BaudRate = kBaud;
    s.ArcNum = kRecords;
  });
  CountingHost host;
  RealLinkTiming timing;
  LinkWorker worker(settings, ports, host, timing);
  NoDisplay display;
  PollItems items;
  PollCycle poll(items, worker, settings, display, display, display);
  CountingList list;
  SystemArchiveClock clock;
  ArchiveReading reading(settings, poll, display, list, clock);
  poll.attachArchiveReading(reading);
  if (!worker.start()) {
    state.SkipWithError("the link worker did not start");
    return;
  }
  worker.RequestReconfigure();

  int handled = 0;
  for (auto _ : state) {
    reading.StartArchiveReading(ArchiveMode::View);
    const auto begin = std::chrono::steady_clock::now();
    while (reading.readingActive()) {
      const int now = host.waitBeyond(handled);
      for (; handled < now; ++handled) poll.onLinkDone();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    state.SetIterationTime(seconds);
    const double perMinute = list.rows * 60.0 / seconds;
    const double limit = 60.0 / (kPassBits / kBaud);
    state.counters["records_per_min"] = perMinute;
    state.counters["limit_per_min"] = limit;
    state.counters["ratio"] = perMinute / limit;
  }
  worker.Stop();
  worker.waitForExit(10s);
}
BENCHMARK(BM_ArchiveReading1000Records)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
