// N simulated stations (the plant database's writer and feed, without the serial side)
// feeding one PostgreSQL server on this machine, over TCP. Run under scripts/with-postgres.sh:
//   KM8_PG_TCP=1 KM8_PG_FSYNC=on KM8_PG_MAX_CONNECTIONS=1100 scripts/with-postgres.sh
//     build/bench/plant_db_bench [spool] [drain] [backlog] [live]
// Reports what keeping a row in the spool costs (one synced transaction a row, as one
// row a second gives), how long one station takes to send a 30-day spool, the rows a
// second the server takes from 8 stations' backlogs at once, the writers' CPU time per
// row, and, for growing N with each station sending one row a second in real time,
// whether every station keeps up. KM8_BENCH_DRAIN_ROWS and KM8_BENCH_STATIONS (a list
// such as 100,1000) change the spool's rows and the N tried.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plant/ui/plant_connection.h"
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

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string conninfo(const std::string& db) {
  std::string s = "host=" + environment("KM8_TEST_PGHOST") +
                  " user=" + environment("KM8_TEST_PGUSER") + " dbname=" + db;
  if (!environment("KM8_TEST_PGPORT").empty()) s += " port=" + environment("KM8_TEST_PGPORT");
  return s;
}

// A connection of the server's superuser to `db`, under the connection name `name`.
QSqlDatabase superuser(const char* name, const std::string& db) {
  QSqlDatabase c = km8::AddSqlConnection("QPSQL", name);
  c.setHostName(QString::fromStdString(environment("KM8_TEST_PGHOST")));
  if (!environment("KM8_TEST_PGPORT").empty()) c.setPort(std::stoi(environment("KM8_TEST_PGPORT")));
  c.setUserName(QString::fromStdString(environment("KM8_TEST_PGUSER")));
  c.setDatabaseName(QString::fromStdString(db));
  c.open();
  return c;
}

void freshDatabase(const std::string& db) {
  QSqlDatabase admin = superuser("admin", "postgres");
  {
    QSqlQuery q(admin);
    q.exec(QString::fromStdString("DROP DATABASE IF EXISTS " + db));
    q.exec(QString::fromStdString("CREATE DATABASE " + db));
  }
  km8::RemoveSqlConnection(admin);
}

// The server must hold every row: a figure never stands for rows lost, or counted as sent
// before they were.
void checkStored(const std::string& db, std::int64_t expected) {
  QSqlDatabase c = superuser("count", db);
  std::int64_t stored = -1;
  {
    QSqlQuery q(c);
    if (q.exec("SELECT count(*) FROM km8_reading") && q.next()) stored = q.value(0).toLongLong();
  }
  km8::RemoveSqlConnection(c);
  if (stored != expected) {
    std::printf("  the server holds %lld rows, not %lld\n", static_cast<long long>(stored),
                static_cast<long long>(expected));
  }
}

// The spools of the stations: on the disk the settings are on, not a memory file system.
QString spoolFolder() {
  const std::string folder = environment("KM8_BENCH_SPOOL_DIR");
  return !folder.empty() ? QString::fromStdString(folder) + "/spool-XXXXXX"
                         : QDir::homePath() + "/.km8-bench-XXXXXX";
}

km8::PlantWriterSetup setup(const std::string& db, const QTemporaryDir& dir, int i) {
  std::string error;
  return {.connection = *km8::UsableConnection(conninfo(db), error),
          .spoolPath = dir.filePath(QString("spool-%1.sqlite").arg(i)).toStdString(),
          .spoolCapacity = km8::kSpoolCapacityRows,
          .retryAfter = 1000ms,
          .log = {}};
}

struct Station {
  std::unique_ptr<km8::PlantWriter> writer;
  std::unique_ptr<km8::PlantFeed> feed;
  std::int64_t second = 1'800'000'000;
};

std::vector<Station> startStations(int n, const std::string& db, const QTemporaryDir& dir) {
  std::vector<Station> stations(n);
  for (int i = 0; i < n; ++i) {
    Station& s = stations[i];
    s.writer = std::make_unique<km8::PlantWriter>(setup(db, dir, i));
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

// One row a transaction into a spool, as a station at one row a second spools them: the
// spool's own (synchronous=FULL), and the same file synced less (NORMAL, which a power
// cut may roll back) for comparison.
void spoolCommits() {
  const QTemporaryDir dir(spoolFolder());
  constexpr int kCommits = 300;
  std::vector<km8::PlantRow> row(1);
  row[0].station = "st";
  row[0].degrees[0] = 20.5f;
  auto report = [](const char* what, double seconds, double cpu) {
    std::printf("spool, %s: %.2f ms a commit (CPU %.3f ms): %.1f ms of each second at 1 row/s\n",
                what, seconds / kCommits * 1e3, cpu / kCommits * 1e3, seconds / kCommits * 1e3);
  };
  {
    const std::string path = dir.filePath("bench-spool.sqlite").toStdString();
    km8::PlantSpool spool([](const std::string&) {});
    spool.open(path, {}, "st");
    std::int64_t dropped = 0;
    std::string error;
    const double cpu0 = processCpuSeconds();
    const auto t0 = Clock::now();
    for (int i = 0; i < kCommits; ++i) {
      row[0].takenAtMicros = i;
      spool.write({row}, -1, km8::kSpoolCapacityRows, dropped, error);
    }
    report("synchronous=FULL (the spool)", std::chrono::duration<double>(Clock::now() - t0).count(),
           processCpuSeconds() - cpu0);
  }
  QSqlDatabase db = km8::AddSqlConnection("QSQLITE", "normal");
  db.setDatabaseName(dir.filePath("bench-normal.sqlite"));
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

// A station that was cut off for a while starts with `rows` live rows in its spool: the
// time until the server has them all.
void drain(std::int64_t rows) {
  const std::string db = "km8_bench_drain";
  freshDatabase(db);
  const QTemporaryDir dir(spoolFolder());
  km8::PlantWriterSetup s = setup(db, dir, 0);
  {
    km8::PlantSpool spool([](const std::string&) {});
    spool.open(s.spoolPath, {}, "st");
    std::int64_t dropped = 0;
    std::string error;
    constexpr std::int64_t kChunk = 100'000;
    for (std::int64_t first = 0; first < rows; first += kChunk) {
      std::vector<std::vector<km8::PlantRow>> chunk(1);
      for (std::int64_t i = first; i < std::min(rows, first + kChunk); ++i) {
        km8::PlantRow& r = chunk[0].emplace_back();
        r.station = "station 0";
        r.takenAtMicros = (1'800'000'000 + i) * km8::kMicrosPerSecond;
        r.degrees = km8::StoredDegrees(degrees(static_cast<int>(i)));
      }
      if (!spool.write(chunk, -1, km8::kSpoolCapacityRows, dropped, error)) {
        std::printf("drain: the spool cannot be filled: %s\n", error.c_str());
        return;
      }
    }
  }
  const double cpu0 = processCpuSeconds();
  const auto t0 = Clock::now();
  km8::PlantWriter writer(s);
  writer.start();
  while (writer.status().rowsSent < rows) std::this_thread::sleep_for(5ms);
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = processCpuSeconds() - cpu0;
  std::printf(
      "drain: 1 station's spool of %lld rows sent in %.1f s: %.0f rows/s, writer CPU %.1f "
      "us/row\n",
      static_cast<long long>(rows), seconds, rows / seconds, cpu / rows * 1e6);
  checkStored(db, rows);
}

// Every station gets `rows` rows at once; the time until the server has them all.
void backlog(int n, int rows) {
  const std::string db = "km8_bench_backlog";
  freshDatabase(db);
  const QTemporaryDir dir(spoolFolder());
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
  checkStored(db, static_cast<std::int64_t>(total));
}

// Each station sends one row a second for `seconds`. It keeps up when its backlog does
// not grow: no station ever has more than kMostWaiting rows waiting (5 s late), and
// everything has arrived a few seconds after the last row.
bool realTime(int n, int seconds) {
  const std::string db = "km8_bench_live";
  freshDatabase(db);
  const QTemporaryDir dir(spoolFolder());
  auto stations = startStations(n, db, dir);
  // Connected: the first row of every station is there.
  for (auto& s : stations) s.feed->onLiveSample(1, degrees(0));
  const auto connecting = Clock::now();
  for (auto& s : stations) {
    while (s.writer->status().rowsSent < 1 && Clock::now() - connecting < 120s)
      std::this_thread::sleep_for(10ms);
  }
  const double cpu0 = processCpuSeconds();
  std::int64_t worst = 0;
  auto next = Clock::now();
  for (int t = 0; t < seconds; ++t) {
    for (auto& s : stations) s.feed->onLiveSample(1, degrees(t));
    next += 1s;
    std::this_thread::sleep_until(next);
    for (auto& s : stations) worst = std::max(worst, s.writer->status().rowsWaiting);
  }
  const double cpu = processCpuSeconds() - cpu0;  // of the seconds above, one row each
  bool drained = false;
  for (int t = 0; t < 5 && !drained; ++t) {
    std::this_thread::sleep_for(1s);
    drained = true;
    for (auto& s : stations) drained = drained && s.writer->status().rowsWaiting == 0;
  }
  if (drained) checkStored(db, std::int64_t{n} * (seconds + 1));
  constexpr std::int64_t kMostWaiting = 5;
  const bool keepsUp = worst <= kMostWaiting && drained;
  std::printf(
      "real time: %4d stations at 1 row/s for %d s: most rows waiting %lld,"
      " writer CPU %.1f us/row: %s\n",
      n, seconds, static_cast<long long>(worst), cpu / (double(n) * seconds) * 1e6,
      keepsUp ? "keeps up" : "falls behind");
  std::fflush(stdout);
  return keepsUp;
}

std::vector<int> stationCounts() {
  std::vector<int> out;
  std::stringstream list(environment("KM8_BENCH_STATIONS").empty()
                             ? std::string("10,100,250,500,1000")
                             : environment("KM8_BENCH_STATIONS"));
  for (std::string n; std::getline(list, n, ',');) out.push_back(std::stoi(n));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (environment("KM8_TEST_PGHOST").empty()) {
    std::fprintf(stderr, "plant_db_bench: run under scripts/with-postgres.sh\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  auto wanted = [&](const char* name) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i)
      if (std::strcmp(argv[i], name) == 0) return true;
    return false;
  };
  if (wanted("spool")) spoolCommits();
  if (wanted("drain")) {
    const std::string rows = environment("KM8_BENCH_DRAIN_ROWS");
    drain(rows.empty() ? km8::kSpoolCapacityRows : std::stoll(rows));
  }
  if (wanted("backlog")) backlog(8, 5000);
  if (wanted("live")) {
    int largest = 0;
    for (int n : stationCounts()) {
      if (!realTime(n, 20)) break;
      largest = n;
    }
    std::printf("largest N tried that keeps up: %d\n", largest);
  }
  return 0;
}
