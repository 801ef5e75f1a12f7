// The archive chart and the batch report at their largest, 60000 records: a repaint of
// the chart window (at its opening size and maximised), the rebuild when a row arrives
// during a reading, and the whole PDF report written to a file.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <filesystem>
#include <vector>

#include "archives/archive_clock.h"
#include "archives/replacement_file.h"
#include "archives/ui/archive_chart_scene.h"
#include "archives/ui/archive_chart_widget.h"
#include "archives/ui/archive_report_pdf.h"
#include "qt_bench_main.h"

namespace {

using namespace km8;

constexpr int kRecords = 60000;

// Records a minute apart, newest first: every 20th a reset marker (stamped with the
// record before it, as a reading stamps it), every 33rd an empty slot, every 97th value
// out of range; the values three slow waves with a little noise, as the strip chart's
// benchmark draws them.
const std::vector<ArchiveEntry>& FullReading() {
  static const std::vector<ArchiveEntry> entries = [] {
    std::vector<ArchiveEntry> out(kRecords);
    const std::int64_t newest = 1'796'000'000;  // late 2026
    for (int k = 0; k < kRecords; ++k) {
      ArchiveEntry& e = out[static_cast<std::size_t>(k)];
      e.record.bytes[0] = k % 20 == 19 ? 0xEF : k % 33 == 32 ? 0x01 : 0x00;
      e.record.bytes[1] = 1;
      e.instant = newest - 60LL * (k % 20 == 19 ? k + 1 : k);
      for (int c = 0; c < 8; ++c) {
        const double phase = 6.0 * 3.14159265358979 * k / kRecords + c;
        const double degrees =
            60.0 + 30.0 * std::sin(phase) + ((k * 7919 + c * 104729) % 100) / 100.0;
        const int raw = (k + c) % 97 == 0 ? 32000 : static_cast<int>(degrees * 10);
        const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(raw));
        e.record.bytes[static_cast<std::size_t>(2 + 2 * c)] =
            static_cast<std::uint8_t>(value & 0xFF);
        e.record.bytes[static_cast<std::size_t>(3 + 2 * c)] = static_cast<std::uint8_t>(value >> 8);
      }
      e.local = UtcDateTimeOf(e.instant);
    }
    return out;
  }();
  return entries;
}

// Arg: the window's width (height in proportion); the chart's own paint event per
// iteration, all 60000 records shown.
void BM_ChartRepaint(benchmark::State& state) {
  const std::vector<ArchiveEntry>& entries = FullReading();
  ArchiveChartWidget chart([&entries] { return std::span<const ArchiveEntry>(entries); });
  const int width = static_cast<int>(state.range(0));
  chart.resize(width, width * 3 / 5);
  QImage target(chart.size(), QImage::Format_RGB32);
  chart.render(&target);  // the records read once, as when the window opens
  for (auto _ : state) {
    chart.render(&target);
    benchmark::DoNotOptimize(target.constBits());
  }
  state.counters["plot_columns"] = chart.chartLayout().plot.width();
  state.counters["records"] = static_cast<double>(chart.scene().entryCount());
}
BENCHMARK(BM_ChartRepaint)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);

// What a row arriving during a reading costs the open chart: the records read again.
void BM_ChartRecordsRead(benchmark::State& state) {
  const std::vector<ArchiveEntry>& entries = FullReading();
  ArchiveChartScene scene;
  for (auto _ : state) {
    scene.setEntries(entries);
    benchmark::DoNotOptimize(scene.samples().size());
  }
}
BENCHMARK(BM_ChartRecordsRead)->Unit(benchmark::kMillisecond);

// The report as the command makes it: every page painted, then the file written whole.
void BM_ReportPdf(benchmark::State& state) {
  const std::vector<ArchiveEntry>& entries = FullReading();
  ArchiveReportFacts facts;
  facts.station = "bench";
  facts.entries = entries;
  facts.limits[0] = ChannelLimits{};
  const std::string path =
      (std::filesystem::temp_directory_path() / "km8-bench-report.pdf").string();
  int pages = 0;
  double bytes = 0;
  for (auto _ : state) {
    const auto pdf = ArchiveReportPdf(facts, [&pages](int, int all) {
      pages = all;
      return true;
    });
    const auto file = MakeReplacementFile();
    if (!pdf || file->create(path) != FileCreateError::None ||
        !file->writeAndReplace(std::string_view(pdf->constData(), pdf->size()))) {
      state.SkipWithError("the report could not be written");
      break;
    }
    bytes = static_cast<double>(pdf->size());
  }
  std::filesystem::remove(path);
  state.counters["pages"] = pages;
  state.counters["bytes"] = bytes;
}
BENCHMARK(BM_ReportPdf)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv); }
