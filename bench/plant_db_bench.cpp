// N simulated stations (the plant database's writer and feed, without the serial side)
// feeding one PostgreSQL server on this machine. Run under scripts/with-postgres.sh:
//   KM8_PG_FSYNC=on KM8_PG_MAX_CONNECTIONS=600 scripts/with-postgres.sh build/bench/plant_db_bench
// Reports what keeping a row in the spool costs (one synced transaction a row, as one
// row a second gives), the rows a second the server takes from a backlog (every station
// sending its spool at once), the writers' CPU time per row, and, for growing N with each
// station sending one row a second in real time, whether every station keeps up.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "plant/plant_connection.h"
#include "plant/ui/plant_spool.h"
#include "plant/ui/plant_sql_connections.h"
#include "plant/ui/plant_writer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string conninfo(const std::string& db) {
  return std::string("host=") + std::getenv("KM8_TEST_PGHOST") +
         " user=" + std::getenv("KM8_TEST_PGUSER") + " dbname=" + db;
}

void freshDatabase(const std::string& db) {
  QSqlDatabase admin = km8::AddSqlConnection("QPSQL", "admin");
  admin.setHostName(std::getenv("KM8_TEST_PGHOST"));
  admin.setUserName(std::getenv("KM8_TEST_PGUSER"));
  admin.setDatabaseName("postgres");
  admin.open();
  {
    QSqlQuery q(admin);
    q.exec(QString::fromStdString("DROP DATABASE IF EXISTS " + db));
    q.exec(QString::fromStdString("CREATE DATABASE " + db));
  }
  km8::RemoveSqlConnection(admin);
}

struct Station {
  std::unique_ptr<km8::PlantWriter> writer;
  std::unique_ptr<km8::PlantFeed> feed;
  std::int64_t second = 1'800'000'000;
};

std::vector<Station> startStations(int n, const std::string& db, const QTemporaryDir& dir) {
  std::string error;
  const auto connection = km8::UsableConnection(conninfo(db), error);
  std::vector<Station> stations(n);
  for (int i = 0; i < n; ++i) {
    Station& s = stations[i];
    s.writer = std::make_unique<km8::PlantWriter>(km8::PlantWriterSetup{
        .connection = *connection,
        .spoolPath = dir.filePath(QString("spool-%1.sqlite").arg(i)).toStdString(),
        .spoolCapacity = km8::kSpoolCapacityRows,
        .retryAfter = 1000ms,
        .batchRows = 2000,
        .log = {}});
    s.feed = std::make_unique<km8::PlantFeed>("station " + std::to_string(i), *s.writer,
                                              [&s] { return s.second++ * km8::kMicrosPerSecond; });
    s.writer->start();
  }
  return stations;
}

km8::ChannelDegrees degrees(int i) {
  km8::ChannelDegrees d;
  for (int c = 0; c < km8::kChannelCount; ++c) d[c] = 20.0 + (i % 100) + c;
  return d;
}

// One row a transaction into a spool in `folder`, as a station at one row a second spools
// them: the spool's own (synchronous=FULL), and the same file synced less (NORMAL, which a
// power cut may roll back) for comparison.
void spoolCommits(const QString& folder) {
  constexpr int kCommits = 300;
  std::vector<km8::PlantRow> row(1);
  row[0].station = "st";
  row[0].degrees[0] = 20.5f;
  auto report = [](const char* what, double seconds, double cpu) {
    std::printf("spool, %s: %.2f ms a commit (CPU %.3f ms): %.1f ms of each second at 1 row/s\n",
                what, seconds / kCommits * 1e3, cpu / kCommits * 1e3, seconds / kCommits * 1e3);
  };
  {
    const std::string path = (folder + "/bench-spool.sqlite").toStdString();
    km8::PlantSpool spool([](const std::string&) {});
    spool.open(path, {}, "st");
    std::int64_t dropped = 0;
    std::string error;
    const double cpu0 = processCpuSeconds();
    const auto t0 = Clock::now();
    for (int i = 0; i < kCommits; ++i) {
      row[0].takenAtMicros = i;
      spool.append({row}, km8::kSpoolCapacityRows, dropped, error);
    }
    report("synchronous=FULL (the spool)", std::chrono::duration<double>(Clock::now() - t0).count(),
           processCpuSeconds() - cpu0);
  }
  QSqlDatabase db = km8::AddSqlConnection("QSQLITE", "normal");
  db.setDatabaseName(folder + "/bench-normal.sqlite");
  db.open();
  {
    QSqlQuery q(db);
    for (const char* pragma :
         {"PRAGMA locking_mode=EXCLUSIVE", "PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
          "CREATE TABLE spool (taken_at INTEGER, t1 REAL)"}) {
      q.exec(pragma);
    }
    const double cpu0 = processCpuSeconds();
    const auto t0 = Clock::now();
    for (int i = 0; i < kCommits; ++i) {
      db.transaction();
      q.prepare("INSERT INTO spool VALUES (?, ?)");
      q.addBindValue(i);
      q.addBindValue(20.5);
      q.exec();
      db.commit();
    }
    report("synchronous=NORMAL", std::chrono::duration<double>(Clock::now() - t0).count(),
           processCpuSeconds() - cpu0);
  }
  km8::RemoveSqlConnection(db);
}

// Every station gets `rows` rows at once; the time until the server has them all.
void backlog(int n, int rows) {
  const std::string db = "km8_bench_backlog";
  freshDatabase(db);
  QTemporaryDir dir;
  auto stations = startStations(n, db, dir);
  std::this_thread::sleep_for(500ms);  // connected, schema there
  const double cpu0 = processCpuSeconds();
  const auto t0 = Clock::now();
  for (auto& s : stations)
    for (int i = 0; i < rows; ++i) s.feed->onLiveSample(1, degrees(i));
  for (auto& s : stations) {
    while (s.writer->status().rowsSent < rows) std::this_thread::sleep_for(5ms);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = processCpuSeconds() - cpu0;
  const double total = double(n) * rows;
  std::printf("backlog: %d stations x %d rows: %.0f rows/s sustained, writer CPU %.1f us/row\n", n,
              rows, total / seconds, cpu / total * 1e6);
}

// Each station sends one row a second for `seconds`. It keeps up when its backlog does
// not grow: no station ever has more than kMostWaiting rows waiting (a few seconds late),
// and everything has arrived a few seconds after the last row.
bool realTime(int n, int seconds) {
  const std::string db = "km8_bench_live";
  freshDatabase(db);
  QTemporaryDir dir;
  auto stations = startStations(n, db, dir);
  std::this_thread::sleep_for(1s);
  const double cpu0 = processCpuSeconds();
  std::int64_t worst = 0;
  auto next = Clock::now();
  for (int t = 0; t < seconds; ++t) {
    for (auto& s : stations) s.feed->onLiveSample(1, degrees(t));
    next += 1s;
    std::this_thread::sleep_until(next);
    for (auto& s : stations) worst = std::max(worst, s.writer->status().rowsWaiting);
  }
  bool drained = false;
  for (int t = 0; t < 5 && !drained; ++t) {
    std::this_thread::sleep_for(1s);
    drained = true;
    for (auto& s : stations) drained = drained && s.writer->status().rowsWaiting == 0;
  }
  const double cpu = processCpuSeconds() - cpu0;
  constexpr std::int64_t kMostWaiting = 5;
  const bool keepsUp = worst <= kMostWaiting && drained;
  std::printf(
      "real time: %4d stations at 1 row/s for %d s: most rows waiting %lld,"
      " writer CPU %.1f us/row: %s\n",
      n, seconds, static_cast<long long>(worst), cpu / (double(n) * seconds) * 1e6,
      keepsUp ? "keeps up" : "falls behind");
  return keepsUp;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("KM8_TEST_PGHOST") == nullptr) {
    std::fprintf(stderr, "plant_db_bench: run under scripts/with-postgres.sh\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  {
    // On the disk the settings are on, not a memory file system.
    const char* folder = std::getenv("KM8_BENCH_SPOOL_DIR");
    QTemporaryDir dir(folder != nullptr ? QString(folder) + "/spool-XXXXXX"
                                        : QDir::homePath() + "/.km8-bench-XXXXXX");
    spoolCommits(dir.path());
  }
  backlog(1, 10000);
  backlog(8, 5000);
  int largest = 0;
  for (int n : {10, 25, 50, 100, 200, 400}) {
    if (!realTime(n, 15)) break;
    largest = n;
  }
  std::printf("largest N tried that keeps up: %d\n", largest);
  return 0;
}
