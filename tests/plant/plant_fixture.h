// What the plant database's tests share: the test command's server, queries on a
// connection of the test's own, a writer to a fresh database per test, a table lock that
// stalls the server, and the station's core polling the simulator with the feed attached.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archives/archive_reading.h"
#include "e2e/station_core_sim_fixture.h"
#include "monitor/strip_chart_logic.h"
#include "plant/plant_rows.h"
#include "plant/ui/plant_writer.h"
#include "support/archive_fakes.h"
#include "support/recording_strip_chart.h"

namespace km8::test {

// The server of the test command, or nothing when the tests run without it.
struct TestServer {
  TestServer();
  std::string host;
  std::string port;  // empty: the default (or the socket's)
  std::string user;
  std::string ctl;

  std::string conninfo(const std::string& db) const;
  void stop();
  void start();
  bool stopped = false;  // by the test: started again at its end
};

void StartApplication();

// A query on the test's own connection; each row's columns as text.
// NULL is a null QString. A failing query fails the test unless `mayFail`.
std::vector<std::vector<QString>> Rows(const std::string& conninfo, const QString& sql,
                                       bool mayFail = false);

// Polls `done` until it holds or a generous limit passes; says which.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(60));

// Holds an exclusive lock on a table, as a long maintenance statement would, from a
// connection and thread of its own, until release() or `longest` has passed.
class TableLock {
 public:
  TableLock(const std::string& conninfo, const std::string& table,
            std::chrono::milliseconds longest);
  ~TableLock();
  bool held() const;
  void release();

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool held_ = false;
  bool release_ = false;
  std::thread thread_;
};

class PlantDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A started writer to the test's database, or to `conninfo` when one is given.
  std::unique_ptr<PlantWriter> writer(const std::string& spool = "spool.sqlite",
                                      std::int64_t capacity = kSpoolCapacityRows,
                                      std::string conninfo = {});
  std::string spoolPath(const std::string& name) const;
  std::int64_t count(const std::string& table);
  std::vector<std::string> logLines();

  TestServer server;
  std::string db;
  QTemporaryDir spoolDir;
  std::mutex logMutex;
  std::vector<std::string> log;
};

// Stamps live samples a second apart, from `next` (seconds since 1970).
struct SecondsClock {
  std::int64_t next = 1'800'000'000;
  std::int64_t operator()() { return next++ * kMicrosPerSecond; }
};

ChannelDegrees SampleDegrees(int n);

// The station's core polling the simulator, with the chart and the archive reading
// feeding a queue as the composition root wires them.
class Station : public StationCoreSimTest {
 public:
  Station();
  void TestBody() override {}
  static sim::SimConfig instrument();
  // The feed to `queue`, stamping with `clock` (the system's when empty).
  void attach(PlantRowQueue& queue, PlantFeed::Clock clock = {});

  using StationCoreSimTest::messages;
  using StationCoreSimTest::runUntil;
  using StationCoreSimTest::settings;
  using StationCoreSimTest::simulator;
  using StationCoreSimTest::startStation;
  using StationCoreSimTest::worker;
  RecordingStripChart chart;
  StripChartLogic chartLogic;
  FakeArchiveList list{&uiLog};
  FixedClock clock{utcInstant(2026, 12, 7, 12, 0, 0)};
  ArchiveReading reading;
  SecondsClock seconds;
  std::unique_ptr<PlantFeed> feed;
};

}  // namespace km8::test
