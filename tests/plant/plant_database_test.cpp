// The plant database end to end: the station's core polling the simulator, the feed, the
// writer thread and its spool, against a real PostgreSQL server that scripts/test.sh
// starts (scripts/with-postgres.sh), and stops and starts again for the outage cases.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <set>
#include <thread>

#include "plant/plant_connection.h"
#include "plant/plant_fixture.h"
#include "plant/ui/plant_sql_connections.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;

using PlantStationDatabaseTest = PlantDatabaseTest;

TEST_F(PlantStationDatabaseTest, LiveRowsAreTheChartSamplesAndAnArchiveReadTwiceIsStoredOnce) {
  Station station;
  auto w = writer();
  station.attach(*w, std::ref(station.seconds));
  ASSERT_NO_FATAL_FAILURE(station.startStation());
  ASSERT_TRUE(station.runUntil([&] { return station.chart.samples.size() >= 5; }));

  station.list.open = true;
  station.settings.set(&AppSettings::ArcNum, std::uint16_t{40});
  for (int pass = 0; pass < 2; ++pass) {
    // A week later, with the instrument's clock 50 ppm slow: its archive looks as old as
    // before, though the station's clock is 30.24 s further on.
    station.clock.at += pass * 31;
    station.reading.StartArchiveReading(pass == 0 ? ArchiveMode::View : ArchiveMode::TextExport);
    ASSERT_TRUE(station.runUntil([&] { return !station.reading.readingActive(); }, 120s));
  }
  station.worker.Stop();
  station.worker.waitForExit(10s);
  const std::size_t samples = station.chart.samples.size();
  ASSERT_TRUE(Eventually([&] {
    return w->status().rowsWaiting == 0 &&
           count("km8_reading") == static_cast<std::int64_t>(samples);
  })) << count("km8_reading")
      << " rows for " << samples << " samples";

  const auto live = Rows(server.conninfo(db),
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
  EXPECT_EQ(Rows(server.conninfo(db), "SELECT count(DISTINCT taken_at) FROM km8_archive")[0][0]
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
    for (int i = 0; i < count; ++i, ++n) feed->onLiveSample(3, SampleDegrees(n));
  };
  sendSamples(20);
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 20; }));

  server.stop();  // the server goes away while the station runs on
  sendSamples(15);
  ASSERT_TRUE(Eventually([&] { return w->status().state == PlantFeedState::Outage; }));
  sendSamples(15);
  ASSERT_TRUE(Eventually([&] { return w->status().rowsWaiting == 30; }));
  feed.reset();
  w.reset();  // the station is stopped while the server is down...
  server.start();
  w = writer();  // ...and started again once it is back: the spool goes first
  feed = std::make_unique<PlantFeed>("st", *w, std::ref(seconds));
  sendSamples(10);
  ASSERT_TRUE(
      Eventually([&] { return count("km8_reading") >= 60 && w->status().rowsWaiting == 0; }));

  // Every second once, oldest first: later transactions hold later seconds.
  const auto stored = Rows(server.conninfo(db),
                           "SELECT extract(epoch FROM taken_at)::bigint, t1, t8, "
                           "xmin::text::bigint FROM km8_reading ORDER BY taken_at");
  ASSERT_EQ(stored.size(), 60u) << "expected 60 rows";
  EXPECT_EQ(Rows(server.conninfo(db), "SELECT count(DISTINCT taken_at) FROM km8_reading")[0][0],
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
    archive[i] = {.instant = 1'700'000'000 - i * 60, .degrees = SampleDegrees(i)};
  feed.onArchiveRead(1, archive);
  for (int i = 0; i < 5; ++i) feed.onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return w->status().rowsDropped == 2; }));
  server.start();
  ASSERT_TRUE(
      Eventually([&] { return w->status().rowsWaiting == 0 && w->status().rowsSent == 6; }));
  EXPECT_EQ(count("km8_archive"), 3);
  EXPECT_EQ(Rows(server.conninfo(db),
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
    for (int i = 0; i < 300; ++i) fb.onLiveSample(2, SampleDegrees(i));
  });
  for (int i = 0; i < 300; ++i) fa.onLiveSample(2, SampleDegrees(i));
  other.join();
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 600; }));
  const auto perStation = Rows(server.conninfo(db),
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
  auto writing = writer("spool.sqlite", kSpoolCapacityRows, "host=no-such-host.invalid dbname=x");
  PlantWriter& w = *writing;
  station.attach(w, std::ref(station.seconds));
  ASSERT_NO_FATAL_FAILURE(station.startStation());
  ASSERT_TRUE(station.runUntil([&] {
    return station.chart.samples.size() >= 4 && w.status().state == PlantFeedState::Outage;
  }));
  EXPECT_TRUE(station.messages.shown.empty());
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("no-such-host.invalid"), std::string::npos) << lines[0];
  // Every sample waits in the spool.
  EXPECT_TRUE(Eventually([&] {
    return w.status().rowsWaiting == static_cast<std::int64_t>(station.chart.samples.size());
  }));
}

TEST_F(PlantDatabaseTest, AnEarlierVersionsTablesAndSpoolAreUpgradedInPlaceWithTheirRows) {
  // The tables of version 1 with rows, and the one spool of the settings folder.
  Rows(server.conninfo(db),
       "CREATE TABLE km8_schema (version integer NOT NULL); INSERT INTO km8_schema VALUES (1); "
       "CREATE TABLE km8_reading (station text NOT NULL, instrument smallint NOT NULL, taken_at "
       "timestamptz NOT NULL, t1 real, t2 real, t3 real, t4 real, t5 real, t6 real, t7 real, t8 "
       "real, PRIMARY KEY (station, instrument, taken_at)); "
       "CREATE TABLE km8_archive (LIKE km8_reading INCLUDING ALL); "
       "INSERT INTO km8_reading (station, instrument, taken_at, t1) VALUES "
       "('st', 1, to_timestamp(1800000000), 20), ('st', 1, to_timestamp(1800000001), 21); "
       "INSERT INTO km8_archive (station, instrument, taken_at, t1) VALUES "
       "('st', 1, to_timestamp(1700000000), 30), ('st', 1, to_timestamp(1700000060), 31)");
  const std::string former = spoolPath("km8-plant-spool.sqlite");
  QSqlDatabase spool = AddSqlConnection("QSQLITE", "former");
  spool.setDatabaseName(QString::fromStdString(former));
  ASSERT_TRUE(spool.open());
  {
    QSqlQuery q(spool);
    for (const char* sql :
         {"CREATE TABLE spool (id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT NULL, "
          "station TEXT NOT NULL, instrument INTEGER NOT NULL, taken_at INTEGER NOT NULL, t1 "
          "REAL, t2 REAL, t3 REAL, t4 REAL, t5 REAL, t6 REAL, t7 REAL, t8 REAL)",
          "INSERT INTO spool (kind, station, instrument, taken_at, t1) VALUES "
          "(1, 'st', 1, 1700000120, 32), (0, 'st', 1, 1800000002, 22), "
          "(0, 'other', 1, 1800000002, 40)"}) {
      ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
    }
  }
  spool.close();  // the writer takes it over

  std::string error;
  PlantWriter w({.connection = *UsableConnection(server.conninfo(db), error),
                 .spoolPath = spoolPath("plant-3.conf.plant-spool.sqlite"),
                 .log =
                     [&](const std::string& line) {
                       std::lock_guard lock(logMutex);
                       log.push_back(line);
                     },
                 .station = "st",
                 .formerSpoolPath = former});
  w.start();
  ASSERT_TRUE(Eventually([&] { return w.status().rowsSent == 2 && w.status().rowsWaiting == 0; }));
  EXPECT_EQ(Rows(server.conninfo(db), "SELECT max(version) FROM km8_schema")[0][0], "2");
  EXPECT_EQ(
      logLines(),
      (std::vector<std::string>{"km8-station: plant database: 2 rows of station \"st\" taken over "
                                "from the spool " +
                                former}));
  EXPECT_EQ(Rows(server.conninfo(db),
                 "SELECT string_agg(extract(epoch FROM taken_at)::bigint || '=' || t1, ' ' "
                 "ORDER BY taken_at) FROM km8_reading")[0][0],
            "1800000000=20 1800000001=21 1800000002=22");
  EXPECT_EQ(Rows(server.conninfo(db),
                 "SELECT string_agg(extract(epoch FROM taken_at)::bigint || '=' || t1, ' ' "
                 "ORDER BY taken_at) FROM km8_archive")[0][0],
            "1700000000=30 1700000060=31 1700000120=32");
  // The key now tells records sharing a stamp apart.
  Rows(server.conninfo(db),
       "INSERT INTO km8_archive (station, instrument, taken_at, n, t1) VALUES "
       "('st', 1, to_timestamp(1700000000), 1, 30)");
  EXPECT_EQ(count("km8_archive"), 4);
  // The other station's row stays for it to take over.
  w.stop();
  ASSERT_TRUE(spool.open());
  {
    QSqlQuery q(spool);
    ASSERT_TRUE(q.exec("SELECT group_concat(station) FROM spool") && q.next());
    EXPECT_EQ(q.value(0).toString(), "other");
  }
  RemoveSqlConnection(spool);
}

}  // namespace
}  // namespace km8::test
