// Strip chart costs at the main window's chart size (400 x 305): a redraw with the full
// ring (8 x 60000 samples) against one sample per plot column, appending, and memory.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <memory>
#include <vector>

#include "controls/sample_ring.h"
#include "controls/ui/strip_chart_widget.h"
#include "qt_bench_main.h"

namespace {

constexpr int kCapacity = 60000;
constexpr int kChannels = 8;
std::int64_t clockMs = 1'700'000'000'000;

// Three slow waves across whatever number of samples the window holds, plus a little
// noise, so that both charts show the same picture.
double Reading(int i, int channel, int samples) {
  const double phase = 6.0 * 3.14159265358979 * i / samples + channel;
  return 60.0 + 30.0 * std::sin(phase) + ((i * 7919 + channel * 104729) % 100) / 100.0;
}

// Readings worked out in advance, so that the append benchmarks time the store only.
const std::vector<double>& ReadingTable() {
  static const std::vector<double> table = [] {
    std::vector<double> t(4096 * kChannels);
    for (std::size_t k = 0; k < t.size(); ++k) {
      t[k] = Reading(static_cast<int>(k / kChannels), static_cast<int>(k % kChannels), 4096);
    }
    return t;
  }();
  return table;
}

// A chart of the main window's size holding `samples` per channel, one second apart,
// with the time axis spanning exactly those samples; every 97th reading is missing.
std::unique_ptr<km8::StripChartWidget> MakeChart(int samples) {
  auto chart = std::make_unique<km8::StripChartWidget>();
  chart->resize(400, 305);
  chart->setClock([] { return clockMs; });
  chart->setCapacity(kCapacity);
  chart->setValueRange(20.0, 100.0);
  chart->setLegendVisible(true);  // all channels, as the main window shows them
  if (samples == 0) samples = chart->chartLayout().plot.width();
  chart->setTimeAxis(0.0, samples / 86400.0);
  for (int i = 0; i < samples; ++i) {
    clockMs += 1000;
    const int index = chart->newSample();
    for (int ch = 0; ch < kChannels; ++ch) {
      if ((i + ch) % 97 != 0) chart->setSampleValue(ch, index, Reading(i, ch, samples));
    }
  }
  return chart;
}

// Arg 0: one sample per plot column; otherwise the samples per channel.
void BM_Redraw(benchmark::State& state) {
  const auto chart = MakeChart(static_cast<int>(state.range(0)));
  QImage target(chart->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    chart->render(&target);  // the widget's own paint event
    benchmark::DoNotOptimize(target.constBits());
  }
  state.counters["samples_per_channel"] = static_cast<double>(chart->samples().size());
  state.counters["plot_columns"] = chart->chartLayout().plot.width();
}
BENCHMARK(BM_Redraw)->Arg(0)->Arg(kCapacity)->Unit(benchmark::kMicrosecond);

// The decimation alone, all eight channels, without painting.
void BM_Decimate(benchmark::State& state) {
  const auto chart = MakeChart(static_cast<int>(state.range(0)));
  const km8::SampleRing& ring = chart->samples();
  const km8::TimeWindow window = chart->visibleWindow();
  const auto columns = static_cast<std::size_t>(chart->chartLayout().plot.width());
  std::vector<std::int64_t> bounds(columns + 1);
  std::vector<km8::ColumnSummary> summary(columns);
  for (auto _ : state) {
    ring.columnBounds(window.start, window.end, bounds);
    for (int ch = 0; ch < kChannels; ++ch) ring.summarize(ch, bounds, summary);
    benchmark::DoNotOptimize(summary.data());
  }
  state.counters["samples_per_channel"] = static_cast<double>(ring.size());
}
BENCHMARK(BM_Decimate)->Arg(0)->Arg(kCapacity)->Unit(benchmark::kMicrosecond);

// One sample of eight values through the chart's interface, as the station adds it,
// with the ring full so that every append drops the oldest sample.
void BM_AppendThroughChart(benchmark::State& state) {
  const auto chart = MakeChart(kCapacity);
  const std::vector<double>& readings = ReadingTable();
  std::size_t i = 0;
  for (auto _ : state) {
    clockMs += 1000;
    chart->beginUpdate();
    const int index = chart->newSample();
    for (int ch = 0; ch < kChannels; ++ch) {
      chart->setSampleValue(ch, index, readings[i++ % readings.size()]);
    }
    chart->endUpdate();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendThroughChart);

// The same on the bare sample ring, and what it costs in memory.
void BM_AppendToRing(benchmark::State& state) {
  km8::SampleRing ring(kChannels, kCapacity);
  const std::vector<double>& readings = ReadingTable();
  std::int64_t t = 0;
  std::size_t i = 0;
  for (auto _ : state) {
    const std::int64_t seq = ring.append(t += 1000);
    for (int ch = 0; ch < kChannels; ++ch) {
      ring.setValue(ch, seq, static_cast<float>(readings[i++ % readings.size()]));
    }
  }
  state.SetItemsProcessed(state.iterations());
  const double bytes = static_cast<double>(ring.bytesAllocated());
  state.counters["bytes_total"] = bytes;
  state.counters["bytes_per_sample_8ch"] = bytes / kCapacity;
  state.counters["bytes_per_channel_sample"] = bytes / (kCapacity * kChannels);
}
BENCHMARK(BM_AppendToRing);

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv); }
