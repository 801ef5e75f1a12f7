// Resident memory of the station's main window with everything full: the strip chart
// holding 8 x 60000 samples and an archive buffer of 60000 records. Measured from
// /proc/self/status (VmRSS) step by step, so each figure is what that part adds.
//
// The archive buffer is approximated by 60000 entries of an 18-byte record and a
// timestamp, grown 128 at a time, as the archive reading keeps them.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/ui/station_features.h"
#include "config/app_settings.h"
#include "controls/ui/strip_chart_widget.h"
#include "link/link_mailbox.h"
#include "monitor/ui/main_window.h"
#include "res/message_box.h"

namespace {

using namespace km8;

double rssMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0.0;
}

// A link that never completes: the window stays idle and the chart is filled here.
class IdleMailbox final : public LinkMailbox {
 public:
  void SubmitRequest(const LinkRequest&) override {}
  bool IsTransactionDone() const override { return false; }
  const std::uint8_t* TakeReply(std::uint8_t& byteCount) override {
    byteCount = 0;
    return nullptr;
  }
  std::uint16_t WriteRegisterReplyCode() const override { return 0; }
};

class SilentMessages final : public MessageBoxHost {
 public:
  MessageResult showMessage(const Message&) override { return MessageResult::Ok; }
};

struct ArchiveEntryApprox {
  std::array<std::uint8_t, 18> record;
  std::int64_t timestamp;
};

void BM_FullStationMemory(benchmark::State& state) {
  for (auto _ : state) {
    const double base = rssMb();
    IdleMailbox mailbox;
    SharedSettings settings;
    SilentMessages messages;
    MainWindow window(mailbox, settings, messages, MainWindowCallbacks{[] {}, [] {}, [](int) {}},
                      StationFeatures::factory());
    window.show();
    QApplication::processEvents();
    const double withWindow = rssMb();

    auto* chart = window.findChild<StripChartWidget*>();
    if (!chart) {
      state.SkipWithError("no strip chart in the main window");
      return;
    }
    chart->setCapacity(60000);
    for (int i = 0; i < 60000; ++i) {
      const int sample = chart->newSample();
      for (int ch = 0; ch < 8; ++ch)
        chart->setSampleValue(ch, sample, 60.0 + 30.0 * std::sin(i / 500.0 + ch));
    }
    QApplication::processEvents();
    const double withChart = rssMb();

    std::vector<ArchiveEntryApprox> archive;
    for (int i = 0; i < 60000; ++i) {
      if (archive.size() == archive.capacity()) archive.reserve(archive.size() + 128);
      archive.push_back({{}, i});
      archive.back().record.fill(static_cast<std::uint8_t>(i));
    }
    benchmark::DoNotOptimize(archive.data());
    const double withArchive = rssMb();

    state.counters["rss_process_MB"] = withArchive;
    state.counters["window_MB"] = withWindow - base;
    state.counters["chart_8x60000_MB"] = withChart - withWindow;
    state.counters["archive_60000_MB"] = withArchive - withChart;
  }
}
BENCHMARK(BM_FullStationMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
