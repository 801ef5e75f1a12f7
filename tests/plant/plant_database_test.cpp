// The plant database end to end: the feed, the writer's threads and its spool, against a
// real PostgreSQL server that scripts/test.sh starts (scripts/with-postgres.sh), and stops
// and starts again for the outage cases; and an upgrade from the earlier version.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <set>
#include <thread>

#include "plant/plant_fixture.h"
#include "plant/ui/plant_connection.h"
#include "plant/ui/plant_sql_connections.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;

TEST_F(PlantDatabaseTest, AnOutageAndARestartInBetweenLoseAndRepeatNoSecond) {
  if (!server.canStop()) GTEST_SKIP() << "the test server cannot be stopped from here";
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
  if (!server.canStop()) GTEST_SKIP() << "the test server cannot be stopped from here";
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
  EXPECT_EQ(Rows(server.conninfo(db), "SELECT max(version) FROM km8_schema")[0][0], "3");
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
  // The newest row of the series, found on upgrading and kept as rows arrive.
  EXPECT_EQ(Rows(server.conninfo(db),
                 "SELECT station || instrument || '=' || extract(epoch FROM taken_at)::bigint || "
                 "'=' || t1 FROM km8_latest")[0][0],
            "st1=1800000002=22");
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

TEST_F(PlantDatabaseTest, OverTlsTheServersCertificateIsVerified) {
  if (server.rootCertificate.empty()) GTEST_SKIP() << "the test server offers TLS on TCP only";
  const std::string tls = server.conninfo(db) + " sslmode=verify-full sslrootcert=";
  auto trusted = writer("trusted.sqlite", kSpoolCapacityRows, tls + server.rootCertificate);
  SecondsClock seconds;
  PlantFeed feed("st", *trusted, std::ref(seconds));
  for (int i = 0; i < 3; ++i) feed.onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 3; }));
  EXPECT_EQ(Rows(server.conninfo(db),
                 QString::fromStdString("SELECT count(*) FROM pg_stat_ssl JOIN pg_stat_activity "
                                        "USING (pid) WHERE ssl AND pid <> pg_backend_pid() "
                                        "AND datname = '" +
                                        db + "'"))[0][0],
            "1");

  // A certificate that authority did not sign is not trusted.
  auto doubtful = writer("doubtful.sqlite", kSpoolCapacityRows, tls + server.otherCertificate);
  ASSERT_TRUE(Eventually([&] { return doubtful->status().state == PlantFeedState::Outage; }));
  EXPECT_NE(doubtful->status().reason.find("certificate verify failed"), std::string::npos)
      << doubtful->status().reason;
}

}  // namespace
}  // namespace km8::test
