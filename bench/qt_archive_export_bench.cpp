// The archive exports at their largest, 60000 records, each beside its floor: the text
// file against a plain buffered write of the same bytes (with and without a flush to the
// disk), the SQLite table against an empty transaction on the same file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archives/database_export.h"
#include "archives/text_export.h"
#include "archives/ui/qt_archive_database.h"

namespace {

using namespace km8;

constexpr std::size_t kRecords = 60000;

// A full reading: every 20th entry a reset marker, every 33rd an empty slot, the rest
// valid with varied values and the odd range marker.
const ArchiveBuffer& FullReading() {
  static const ArchiveBuffer buffer = [] {
    ArchiveBuffer b;
    for (std::size_t k = 0; k < kRecords; ++k) {
      ArchiveEntry e;
      e.record.bytes[0] = k % 20 == 19 ? 0xEF : k % 33 == 32 ? 0x01 : 0x00;
      e.record.bytes[1] = 10;
      for (std::size_t c = 0; c < 8; ++c) {
        const int raw =
            (k + c) % 97 == 0 ? -32768 : static_cast<int>((k * 37 + c * 101) % 4000) - 500;
        const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(raw));
        e.record.bytes[2 + 2 * c] = static_cast<std::uint8_t>(value & 0xFF);
        e.record.bytes[3 + 2 * c] = static_cast<std::uint8_t>(value >> 8);
      }
      const int minutes = static_cast<int>(k % 1440);
      e.local = {2026, 12, 7, minutes / 60, minutes % 60, 0};
      b.append(e);
    }
    return b;
  }();
  return buffer;
}

std::string BenchFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

struct NoPrompts : MessageBoxHost {
  MessageResult showMessage(const Message&) override { return MessageResult::Cancel; }
};
struct NoFront : MainWindowFront {
  bool BringToFront() override { return false; }
  void minimise() override {}
};
struct NoOpener : DocumentOpener {
  void openDocument(const std::string&) override {}
};

void BM_TextExport(benchmark::State& state) {
  const std::string path = BenchFile("km8-bench.txt");
  NoPrompts prompts;
  NoFront front;
  NoOpener opener;
  for (auto _ : state) {
    ExportArchiveText(FullReading(), {path, false}, {prompts, front, opener});
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_TextExport)->Unit(benchmark::kMillisecond);

void BM_TextBuildOnly(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BuildArchiveText(FullReading()));
}
BENCHMARK(BM_TextBuildOnly)->Unit(benchmark::kMillisecond);

// Arg 1: also flushed to the disk before closing, as the export does.
void BM_TextPlainWrite(benchmark::State& state) {
  const std::string path = BenchFile("km8-bench-plain.txt");
  const std::string text = BuildArchiveText(FullReading());
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    if (state.range(0) != 0) {
      std::fflush(f);
      ::fsync(fileno(f));
    }
    std::fclose(f);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_TextPlainWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SqliteExport(benchmark::State& state) {
  const std::string path = BenchFile("km8-bench.sqlite");
  std::filesystem::remove(path);
  QtArchiveDatabase database;
  NoPrompts prompts;
  NoFront front;
  for (auto _ : state) {
    ExportArchiveDatabase(FullReading(), {path, 1}, database, prompts, front);
  }
  state.counters["rows"] = static_cast<double>(BuildArchiveRows(FullReading(), DatabaseEngine::Sqlite).size());
  std::filesystem::remove(path);
}
BENCHMARK(BM_SqliteExport)->Unit(benchmark::kMillisecond);

// Open, begin, commit, close: what any export into the file costs at the least.
void BM_SqliteEmptyTransaction(benchmark::State& state) {
  const std::string path = BenchFile("km8-bench-empty.sqlite");
  std::filesystem::remove(path);
  for (auto _ : state) {
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench");
      db.setDatabaseName(QString::fromStdString(path));
      db.open();
      db.transaction();
      db.commit();
      db.close();
    }
    QSqlDatabase::removeDatabase("bench");
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_SqliteEmptyTransaction)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
