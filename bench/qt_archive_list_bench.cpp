// The archive list window with a reading's worth of rows: the cost of adding one row
// while the window is shown and the event loop runs, up to 60000 rows, and of a repaint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>

#include "archives/ui/archive_list_model.h"
#include "archives/ui/archive_list_window.h"

namespace {

using namespace km8;

ArchiveEntry entryOf(int n) {
  ArchiveEntry e;
  e.record.bytes[0] = n % 97 == 0 ? 0xEF : 0;
  e.record.bytes[1] = 1;
  for (int c = 0; c < 8; ++c) e.record.bytes[2 + 2 * c] = static_cast<std::uint8_t>(n + c);
  e.local = {2026, 12, 7, (n / 60) % 24, n % 60, 0};
  return e;
}

// Rows added one at a time, each followed by a pass of the event loop as between two
// completions of the link; the time is per row, the window shown throughout.
void BM_AppendRowsShown(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ArchiveListWindow window(nullptr);
    window.show();
    QApplication::processEvents();
    for (int n = 0; n < rows; ++n) {
      window.appendRow(entryOf(n));
      QApplication::processEvents();
    }
    benchmark::DoNotOptimize(window.model()->rowCount());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_AppendRowsShown)->Arg(1000)->Arg(60000)->Unit(benchmark::kMillisecond);

// One repaint of the shown list scrolled to its end, with 60000 rows in it.
void BM_RepaintFullList(benchmark::State& state) {
  ArchiveListWindow window(nullptr);
  for (int n = 0; n < 60000; ++n) window.appendRow(entryOf(n));
  window.show();
  window.list()->scrollToBottom();
  QApplication::processEvents();
  for (auto _ : state) {
    window.list()->viewport()->repaint();
  }
}
BENCHMARK(BM_RepaintFullList)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
