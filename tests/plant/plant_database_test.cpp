// The plant database end to end: the station's core polling the simulator, the feed, the
// writer thread and its spool, against a real PostgreSQL server that scripts/test.sh
// starts (scripts/with-postgres.sh), and stops and starts again for the outage cases.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "archives/archive_reading.h"
#include "e2e/station_core_sim_fixture.h"
#include "monitor/strip_chart_logic.h"
#include "plant/plant_connection.h"
#include "plant/ui/plant_writer.h"
#include "support/archive_fakes.h"
#include "support/recording_strip_chart.h"

namespace km8 {
namespace {

using namespace std::chrono_literals;

// The server of the test command, or nothing when the tests run without it.
struct TestServer {
  std::string host = std::getenv("KM8_TEST_PGHOST") ? std::getenv("KM8_TEST_PGHOST") : "";
  std::string user = std::getenv("KM8_TEST_PGUSER") ? std::getenv("KM8_TEST_PGUSER") : "";
  std::string ctl = std::getenv("KM8_TEST_PGCTL") ? std::getenv("KM8_TEST_PGCTL") : "";

  std::string conninfo(const std::string& db) const {
    return "host=" + host + " user=" + user + " dbname=" + db;
  }
  void stop() const { ASSERT_EQ(std::system((ctl + " stop").c_str()), 0); }
  void start() const { ASSERT_EQ(std::system((ctl + " start").c_str()), 0); }
};

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "km8_plant_tests";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
  return *QCoreApplication::instance();
}

// A query on the test's own connection; each row's columns as text.
// NULL is a null QString. A failing query fails the test unless `mayFail`.
std::vector<std::vector<QString>> rows(const std::string& conninfo, const QString& sql,
                                       bool mayFail = false) {
  std::vector<std::vector<QString>> out;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("probe"));
    std::string error;
    const auto params = ParseConnectionString(conninfo, error);
    for (const auto& [k, v] : params.value()) {
      if (k == "host") db.setHostName(QString::fromStdString(v));
      if (k == "user") db.setUserName(QString::fromStdString(v));
      if (k == "dbname") db.setDatabaseName(QString::fromStdString(v));
    }
    EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
    QSqlQuery q(db);
    const bool done = q.exec(sql);
    EXPECT_TRUE(done || mayFail) << q.lastError().text().toStdString();
    while (q.next()) {
      auto& row = out.emplace_back();
      for (int c = 0; c < q.record().count(); ++c) {
        row.push_back(q.isNull(c) ? QString() : q.value(c).toString());
      }
    }
  }
  QSqlDatabase::removeDatabase(QStringLiteral("probe"));
  return out;
}

// Polls `done` until it holds or a generous limit passes; says which.
template <class Done>
bool eventually(Done done, std::chrono::seconds limit = 60s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return done();
}

class PlantDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (server.host.empty()) {
      GTEST_SKIP() << "no PostgreSQL server: these tests run in scripts/test.sh, or under "
                      "scripts/with-postgres.sh";
    }
    application();
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    db = "km8_";  // an identifier of its own: lower case, within 63 bytes
    for (char ch : name.substr(0, 40))
      db += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    rows(server.conninfo("postgres"), QString::fromStdString("DROP DATABASE IF EXISTS " + db));
    rows(server.conninfo("postgres"), QString::fromStdString("CREATE DATABASE " + db));
    ASSERT_TRUE(spoolDir.isValid());
  }

  // A started writer to the test's database, or to `conninfo` when one is given.
  std::unique_ptr<PlantWriter> writer(const std::string& spool = "spool.sqlite",
                                      std::int64_t capacity = kSpoolCapacityRows,
                                      std::string conninfo = {}) {
    std::string error;
    auto connection = UsableConnection(conninfo.empty() ? server.conninfo(db) : conninfo, error);
    EXPECT_TRUE(connection) << error;
    auto w = std::make_unique<PlantWriter>(PlantWriterSetup{
        .connection = *connection,
        .spoolPath = spoolDir.filePath(QString::fromStdString(spool)).toStdString(),
        .spoolCapacity = capacity,
        .retryAfter = 100ms,
        .batchRows = 2000,
        .log = [this](const std::string& line) {
          std::lock_guard lock(logMutex);
          log.push_back(line);
        }});
    w->start();
    return w;
  }

  std::int64_t count(const std::string& table) {
    const auto r =
        rows(server.conninfo(db), QString::fromStdString("SELECT count(*) FROM " + table), true);
    return r.empty() ? -1 : r[0][0].toLongLong();
  }
  std::vector<std::string> logLines() {
    std::lock_guard lock(logMutex);
    return log;
  }

  TestServer server;
  std::string db;
  QTemporaryDir spoolDir;
  std::mutex logMutex;
  std::vector<std::string> log;
};

// Stamps live samples with a second of its own for each: one row a second.
struct SecondsClock {
  std::int64_t next = 1'800'000'000;
  std::int64_t operator()() { return next++; }
};

ChannelDegrees sampleDegrees(int n) {
  ChannelDegrees d;
  for (int c = 0; c < kChannelCount; ++c) d[c] = c == 7 ? LowMarker : 20.0 + n + c / 10.0;
  return d;
}

// The station's core polling the simulator, with the chart and the archive reading
// feeding the writer as the composition root wires them.
class Station : public test::StationCoreSimTest {
 public:
  Station()
      : StationCoreSimTest(instrument()),
        chartLogic(chart, logic.items(), settings, messages),
        reading(settings, logic.pollCycle(), window, list, clock) {
    settings.update([](AppSettings& s) { s.SerialSetup.FrameLength = 15; });
    logic.attachChart(chartLogic);
    logic.attachArchiveReading(reading);
  }
  void TestBody() override {}

  static sim::SimConfig instrument() {
    // Frozen, so that both readings find the archive as old as before.
    sim::SimConfig config = test::frozenInstrument();
    config.historyRecords = 30;  // and ten empty slots in a reading of 40
    return config;
  }

  void attach(PlantRowQueue& queue) {
    feed = std::make_unique<PlantFeed>("пост 1", queue, std::ref(seconds));
    chartLogic.attachSampleSink(feed.get());
    reading.attachRecordSink(feed.get());
  }

  using StationCoreSimTest::messages;
  using StationCoreSimTest::runUntil;
  using StationCoreSimTest::settings;
  using StationCoreSimTest::startStation;
  using StationCoreSimTest::worker;
  test::RecordingStripChart chart;
  StripChartLogic chartLogic;
  test::FakeArchiveList list{&uiLog};
  test::FixedClock clock{test::utcInstant(2026, 12, 7, 12, 0, 0)};
  ArchiveReading reading;
  SecondsClock seconds;
  std::unique_ptr<PlantFeed> feed;
};

using PlantStationDatabaseTest = PlantDatabaseTest;

TEST_F(PlantStationDatabaseTest, LiveRowsAreTheChartSamplesAndAnArchiveReadTwiceIsStoredOnce) {
  Station station;
  auto w = writer();
  station.attach(*w);
  ASSERT_NO_FATAL_FAILURE(station.startStation());
  ASSERT_TRUE(station.runUntil([&] { return station.chart.samples.size() >= 5; }));

  station.list.open = true;
  station.settings.set(&AppSettings::ArcNum, std::uint16_t{40});
  for (int pass = 0; pass < 2; ++pass) {
    // The age comes in whole seconds: the next reading may stamp each record a second off.
    station.clock.at += pass;
    station.reading.StartArchiveReading(pass == 0 ? ArchiveMode::View : ArchiveMode::TextExport);
    ASSERT_TRUE(station.runUntil([&] { return !station.reading.readingActive(); }, 120s));
  }
  station.worker.Stop();
  station.worker.waitForExit(10s);
  const std::size_t samples = station.chart.samples.size();
  ASSERT_TRUE(eventually([&] {
    return w->status().rowsWaiting == 0 &&
           count("km8_reading") == static_cast<std::int64_t>(samples);
  })) << count("km8_reading")
      << " rows for " << samples << " samples";

  const auto live = rows(server.conninfo(db),
                         "SELECT station, instrument, t1, t2, t3, t4, t5, t6, t7, t8 "
                         "FROM km8_reading ORDER BY taken_at");
  ASSERT_EQ(live.size(), samples);
  for (std::size_t n = 0; n < samples; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(live[n][0].toStdString(), "пост 1");
    EXPECT_EQ(live[n][1], "1");
    for (int c = 0; c < 8; ++c) {
      const auto& shown = station.chart.samples[n][c];
      if (shown) {
        EXPECT_FLOAT_EQ(live[n][2 + c].toFloat(), static_cast<float>(*shown)) << c;
      } else {
        EXPECT_TRUE(live[n][2 + c].isEmpty()) << "channel " << c + 1 << " has no value";
      }
    }
  }

  // The instrument's valid records, each once although read twice.
  std::set<std::int64_t> valid;
  for (const ArchiveEntry& e : station.list.entries)
    if (e.kind() == ArchiveRecordKind::Valid) valid.insert(e.instant);
  ASSERT_FALSE(valid.empty());
  EXPECT_EQ(station.list.entries.size(), 40u);  // the second reading's list
  EXPECT_EQ(count("km8_archive"), static_cast<std::int64_t>(valid.size()));
  EXPECT_EQ(rows(server.conninfo(db), "SELECT count(DISTINCT taken_at) FROM km8_archive")[0][0]
                .toLongLong(),
            static_cast<std::int64_t>(valid.size()));
  EXPECT_TRUE(logLines().empty());
}

TEST_F(PlantDatabaseTest, AnOutageAndARestartInBetweenLoseAndRepeatNoSecond) {
  SecondsClock seconds;
  auto w = writer();
  auto feed = std::make_unique<PlantFeed>("st", *w, std::ref(seconds));
  int n = 0;
  auto sendSamples = [&](int count) {
    for (int i = 0; i < count; ++i, ++n) feed->onLiveSample(3, sampleDegrees(n));
  };
  sendSamples(20);
  ASSERT_TRUE(eventually([&] { return count("km8_reading") == 20; }));

  server.stop();  // the server goes away while the station runs on
  sendSamples(15);
  ASSERT_TRUE(eventually([&] { return w->status().state == PlantFeedState::Outage; }));
  sendSamples(15);
  ASSERT_TRUE(eventually([&] { return w->status().rowsWaiting == 30; }));
  feed.reset();
  w.reset();  // the station is stopped while the server is down...
  server.start();
  w = writer();  // ...and started again once it is back: the spool goes first
  feed = std::make_unique<PlantFeed>("st", *w, std::ref(seconds));
  sendSamples(10);
  ASSERT_TRUE(
      eventually([&] { return count("km8_reading") >= 60 && w->status().rowsWaiting == 0; }));

  // Every second once, oldest first: later transactions hold later seconds.
  const auto stored = rows(server.conninfo(db),
                           "SELECT extract(epoch FROM taken_at)::bigint, t1, t8, "
                           "xmin::text::bigint FROM km8_reading ORDER BY taken_at");
  ASSERT_EQ(stored.size(), 60u) << "expected 60 rows";
  EXPECT_EQ(rows(server.conninfo(db), "SELECT count(DISTINCT taken_at) FROM km8_reading")[0][0],
            "60");
  for (int i = 0; i < 60; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(stored[i][0].toLongLong(), 1'800'000'000 + i);
    EXPECT_FLOAT_EQ(stored[i][1].toFloat(), 20.0f + i);
    EXPECT_TRUE(stored[i][2].isEmpty());
    if (i > 0) {
      EXPECT_GE(stored[i][3].toLongLong(), stored[i - 1][3].toLongLong());
    }
  }
  // One line when the outage started; the next run found the server up.
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
  EXPECT_NE(lines[0].find("plant database unreachable"), std::string::npos) << lines[0];
}

TEST_F(PlantDatabaseTest, AFullSpoolDropsTheOldestLiveRowsAndKeepsTheArchive) {
  server.stop();
  SecondsClock seconds;
  auto w = writer("spool.sqlite", 6);
  PlantFeed feed("st", *w, std::ref(seconds));
  std::vector<StampedDegrees> archive(3);
  for (int i = 0; i < 3; ++i)
    archive[i] = {.instant = 1'700'000'000 - i * 60, .degrees = sampleDegrees(i)};
  feed.onArchiveRead(1, archive);
  for (int i = 0; i < 5; ++i) feed.onLiveSample(1, sampleDegrees(i));
  ASSERT_TRUE(eventually([&] { return w->status().rowsDropped == 2; }));
  server.start();
  ASSERT_TRUE(
      eventually([&] { return w->status().rowsWaiting == 0 && w->status().rowsSent == 6; }));
  EXPECT_EQ(count("km8_archive"), 3);
  EXPECT_EQ(rows(server.conninfo(db),
                 "SELECT string_agg(t1::text, ' ' ORDER BY taken_at) FROM km8_reading")[0][0],
            "22 23 24");  // the newest three of five
  // Outage, spool full (once), outage over.
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("spool full") != l.npos; }),
            1);
  EXPECT_NE(lines[2].find("reachable again"), std::string::npos) << lines[2];
}

TEST_F(PlantDatabaseTest, TwoStationsWriteAtOnceAndNamesAreStoredVerbatim) {
  const std::string names[] = {"Піч №3 'ліва'; DROP TABLE km8_reading; --", "st \"B\"\\; ї"};
  auto a = writer("a.sqlite");
  auto b = writer("b.sqlite");
  SecondsClock ca, cb;
  PlantFeed fa(names[0], *a, std::ref(ca));
  PlantFeed fb(names[1], *b, std::ref(cb));
  std::thread other([&] {
    for (int i = 0; i < 300; ++i) fb.onLiveSample(2, sampleDegrees(i));
  });
  for (int i = 0; i < 300; ++i) fa.onLiveSample(2, sampleDegrees(i));
  other.join();
  ASSERT_TRUE(eventually([&] { return count("km8_reading") == 600; }));
  const auto perStation = rows(server.conninfo(db),
                               "SELECT station, count(*) FROM km8_reading GROUP BY station "
                               "ORDER BY station");
  ASSERT_EQ(perStation.size(), 2u);
  std::set<std::string> stored;
  for (const auto& r : perStation) {
    stored.insert(r[0].toStdString());
    EXPECT_EQ(r[1], "300");
  }
  EXPECT_EQ(stored, (std::set<std::string>{names[0], names[1]}));
}

TEST_F(PlantStationDatabaseTest, AnUnknownHostGivesOneLineAndPollingGoesOn) {
  std::string error;
  EXPECT_FALSE(UsableConnection("host=h dbname=d password=secret", error));
  EXPECT_EQ(error.find("secret"), std::string::npos);
  EXPECT_FALSE(UsableConnection("postgresql://u:secret@h/d", error));
  EXPECT_FALSE(UsableConnection("host='unterminated", error));
  EXPECT_EQ(ParameterValue(*UsableConnection("postgresql://op@h:5433/plant?sslmode=require", error),
                           "port"),
            "5433");

  Station station;
  auto writing =
      writer("spool.sqlite", kSpoolCapacityRows, "host=no-such-host.invalid dbname=x");
  PlantWriter& w = *writing;
  station.attach(w);
  ASSERT_NO_FATAL_FAILURE(station.startStation());
  ASSERT_TRUE(station.runUntil([&] {
    return station.chart.samples.size() >= 4 && w.status().state == PlantFeedState::Outage;
  }));
  EXPECT_TRUE(station.messages.shown.empty());
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("no-such-host.invalid"), std::string::npos) << lines[0];
  // Every sample waits in the spool.
  EXPECT_TRUE(eventually([&] {
    return w.status().rowsWaiting == static_cast<std::int64_t>(station.chart.samples.size());
  }));
}

}  // namespace
}  // namespace km8
