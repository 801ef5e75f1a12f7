// The plant database as its administrator sets it up: the set-up script run with psql
// against the test command's server, the station feeding through the least-privileged
// role it makes (into a table partitioned by month, too), a dashboard reading through the
// read-only role, and tables of a version newer than the station's left alone.
#include <cstdlib>

#include "plant/plant_fixture.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;

// The set-up script run by the test server's superuser; its exit status.
int RunSetUp(const TestServer& server, const std::string& db, const std::string& feeder,
             const std::string& reader, bool partitioned) {
  const char* bin = std::getenv("KM8_TEST_PGBIN");
  std::string command = std::string(bin != nullptr ? bin : "/usr/lib/postgresql/15/bin") +
                        "/psql -X -q -o /dev/null -h '" + server.host + "' -U " + server.user +
                        " -v dbname=" + db + " -v feeder=" + feeder + " -v reader=" + reader +
                        " -v partitioned=" + (partitioned ? "on" : "off") +
                        " -f " KM8_SQL_DIR "/km8-plant-setup.sql postgres";
  if (!server.port.empty()) command += " -p " + server.port;
  return std::system(command.c_str());
}

std::string As(const TestServer& server, const std::string& user, const std::string& db) {
  std::string s = "host=" + server.host + " user=" + user + " dbname=" + db;
  if (!server.port.empty()) s += " port=" + server.port;
  return s;
}

TEST_F(PlantDatabaseTest, TheSetUpScriptsRolesFeedAndReadWithTheLeastRights) {
  const std::string feeder = db.substr(0, 40) + "_feed", reader = db.substr(0, 40) + "_read";
  for (const bool partitioned : {false, true}) {
    SCOPED_TRACE(partitioned ? "partitioned by month" : "one table");
    const std::string plant = partitioned ? db + "_m" : db;
    ASSERT_EQ(RunSetUp(server, plant, feeder, reader, partitioned), 0);
    ASSERT_EQ(RunSetUp(server, plant, feeder, reader, partitioned), 0) << "run again";

    auto w = writer("spool-" + plant + ".sqlite", kSpoolCapacityRows, As(server, feeder, plant));
    SecondsClock seconds;
    PlantFeed feed("Піч №3", *w, std::ref(seconds));
    for (int i = 0; i < 5; ++i) feed.onLiveSample(2, SampleDegrees(i));
    const StampedDegrees records[] = {{1'700'000'000, SampleDegrees(40)},
                                      {1'700'000'060, SampleDegrees(41)}};
    feed.onArchiveRead(2, records);
    feed.onArchiveRead(2, records);  // read again: stored once
    ASSERT_TRUE(Eventually([&] { return w->status().rowsSent == 9; })) << w->status().reason;
    EXPECT_EQ(w->status().state, PlantFeedState::Feeding);

    // The dashboard's view: every series' newest row, from the read-only role.
    const std::string dashboard = As(server, reader, plant);
    EXPECT_EQ(Rows(dashboard, "SELECT count(*) FROM km8_reading")[0][0], "5");
    EXPECT_EQ(Rows(dashboard, "SELECT count(*) FROM km8_archive")[0][0], "2");
    const auto latest = Rows(dashboard,
                             "SELECT station, instrument, extract(epoch FROM taken_at)::bigint, t1 "
                             "FROM km8_latest");
    ASSERT_EQ(latest.size(), 1u);
    EXPECT_EQ(latest[0], (std::vector<QString>{"Піч №3", "2", "1800000004", "24"}));
    EXPECT_EQ(Rows(dashboard, "SELECT relkind FROM pg_class WHERE relname = 'km8_reading'")[0][0],
              partitioned ? "p" : "r");

    const std::string station = As(server, feeder, plant);
    for (const char* denied :
         {"DELETE FROM km8_reading", "UPDATE km8_archive SET t1 = 0", "TRUNCATE km8_archive",
          "CREATE TABLE km8_other (a int)",
          "INSERT INTO km8_latest (station, instrument, taken_at) VALUES ('x', 1, now())",
          "INSERT INTO km8_schema VALUES (9)"}) {
      EXPECT_NE(SqlError(station, denied).find("permission denied"), std::string::npos)
          << "the feeding role may: " << denied;
    }
    for (const char* denied :
         {"INSERT INTO km8_reading (station, instrument, taken_at) VALUES ('x', 1, now())",
          "INSERT INTO km8_archive (station, instrument, taken_at) VALUES ('x', 1, now())",
          "DELETE FROM km8_latest", "CREATE TABLE km8_other (a int)"}) {
      EXPECT_NE(SqlError(dashboard, denied).find("permission denied"), std::string::npos)
          << "the read-only role may: " << denied;
    }
  }
}

TEST_F(PlantDatabaseTest, TablesOfANewerVersionAreNotWrittenToUntilTheyAreOfThisOne) {
  SecondsClock seconds;
  auto w = writer();
  auto feed = std::make_unique<PlantFeed>("st", *w, std::ref(seconds));
  feed->onLiveSample(1, SampleDegrees(0));
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 1; }));
  feed.reset();
  w.reset();

  Rows(server.conninfo(db), "UPDATE km8_schema SET version = 4");
  w = writer();
  feed = std::make_unique<PlantFeed>("st", *w, std::ref(seconds));
  for (int i = 1; i < 4; ++i) feed->onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] {
    return w->status().state == PlantFeedState::NewerSchema && w->status().rowsWaiting == 3;
  }));
  std::this_thread::sleep_for(300ms);  // three of the writer's tries
  EXPECT_EQ(count("km8_reading"), 1);
  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "km8-station: plant database: its tables are of version 4, newer "
                            "than this station's (3); this one does not write to them (update "
                            "the station) and keeps its 3 rows waiting in the spool"}));

  Rows(server.conninfo(db), "UPDATE km8_schema SET version = 3");  // a station's own again
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 4; }));
  EXPECT_EQ(w->status().state, PlantFeedState::Feeding);
}

}  // namespace
}  // namespace km8::test
