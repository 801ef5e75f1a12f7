// The plant database where only POSIX serves: the station's core polling the simulator on
// a pseudo-terminal, a station process killed while the server stalls, a full file system
// under the spool, and a server that never answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <set>

#include "archives/archive_reading.h"
#include "e2e/station_core_sim_fixture.h"
#include "monitor/strip_chart_logic.h"
#include "plant/plant_fixture.h"
#include "plant/ui/plant_connection.h"
#include "support/archive_fakes.h"
#include "support/file_faults.h"
#include "support/recording_strip_chart.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

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

Station::Station()
    : StationCoreSimTest(instrument()),
      chartLogic(chart, logic.items(), settings, messages),
      reading(settings, logic.pollCycle(), window, list, clock) {
  settings.update([](AppSettings& s) { s.SerialSetup.FrameLength = 15; });
  logic.attachChart(chartLogic);
  logic.attachArchiveReading(reading);
}

sim::SimConfig Station::instrument() {
  // Frozen, so that both readings find the archive as old as before.
  sim::SimConfig config = frozenInstrument();
  config.historyRecords = 30;  // and ten empty slots in a reading of 40
  return config;
}

void Station::attach(PlantRowQueue& queue, PlantFeed::Clock stamps) {
  if (stamps) {
    feed = std::make_unique<PlantFeed>("пост 1", queue, std::move(stamps));
  } else {
    feed = std::make_unique<PlantFeed>("пост 1", queue);
  }
  chartLogic.attachSampleSink(feed.get());
  reading.attachRecordSink(feed.get());
}

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

TEST_F(PlantStationDatabaseTest, AnUnknownHostGivesOneLineAndPollingGoesOn) {
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

// Passes rows on, and prints each live row's stamp first: what the parent of a child
// station learns of the rows handed to the writer.
class PrintingQueue final : public PlantRowQueue {
 public:
  explicit PrintingQueue(PlantRowQueue& next) : next_(next) {}
  void submit(std::vector<PlantRow> rows) override {
    for (const PlantRow& r : rows)
      if (r.table == PlantTable::Live) std::printf("plant-row %lld\n", (long long)r.takenAtMicros);
    std::fflush(stdout);
    next_.submit(std::move(rows));
  }

 private:
  PlantRowQueue& next_;
};

// The child of the test below: a station that runs until it is killed.
TEST(PlantChild, DISABLED_StationUntilKilled) {
  StartApplication();
  std::string error;
  const auto connection = UsableConnection(std::getenv("KM8_PLANT_CHILD_CONNINFO"), error);
  ASSERT_TRUE(connection) << error;
  PlantWriter writer({.connection = *connection,
                      .spoolPath = std::getenv("KM8_PLANT_CHILD_SPOOL"),
                      .retryAfter = 100ms,
                      .log = {}});
  writer.start();
  PrintingQueue printing(writer);
  Station station;
  station.attach(printing);
  ASSERT_NO_FATAL_FAILURE(station.startStation());
  station.runUntil([] { return false; }, 300s);
}

// This test program again, as a child with `args` and `env` added to its environment,
// its standard output read by lines. Forked and executed at once: ThreadSanitizer follows
// that, but not QProcess, which starts the child in this process's memory.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    std::vector<std::string> environment = env;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      execve(program.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~Child() {
    kill();
    close(out_);
  }
  bool started() const { return pid_ > 0; }
  // The lines that came within `wait`.
  std::vector<std::string> lines(std::chrono::milliseconds wait) {
    pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
    char buffer[4096];
    if (poll(&p, 1, static_cast<int>(wait.count())) > 0) {
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n > 0) partial_.append(buffer, static_cast<std::size_t>(n));
    }
    std::vector<std::string> out;
    for (std::size_t end; (end = partial_.find('\n')) != std::string::npos;) {
      out.push_back(partial_.substr(0, end));
      partial_.erase(0, end + 1);
    }
    return out;
  }
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string partial_;
};

TEST_F(PlantDatabaseTest, AStationKilledWhileTheServerStallsLosesNoRowItWasHanded) {
  Child child(
      {"--gtest_filter=PlantChild.DISABLED_StationUntilKilled", "--gtest_also_run_disabled_tests"},
      {"KM8_PLANT_CHILD_CONNINFO=" + server.conninfo(db),
       "KM8_PLANT_CHILD_SPOOL=" + spoolPath("station.sqlite")});
  ASSERT_TRUE(child.started());
  std::vector<std::pair<std::int64_t, Steady::time_point>> handed;
  auto pump = [&](std::chrono::milliseconds wait) {
    for (const std::string& line : child.lines(wait)) {
      if (line.starts_with("plant-row "))
        handed.emplace_back(std::stoll(line.substr(10)), Steady::now());
    }
  };
  ASSERT_TRUE(Eventually([&] {
    pump(50ms);
    return count("km8_reading") >= 3;
  })) << "the child station fed nothing";

  // A stall of 12 s (a table lock), then the station is killed.
  TableLock stall(server.conninfo(db), "km8_reading", 120s);
  ASSERT_TRUE(stall.held());
  const auto stallStart = Steady::now();
  while (Steady::now() < stallStart + 12s) pump(100ms);
  const auto killedAt = Steady::now();
  child.kill();
  pump(0ms);
  stall.release();

  // The next start sends what the spool kept.
  std::set<std::int64_t> expected;
  for (const auto& [stamp, at] : handed) {
    if (at <= killedAt - 1500ms) expected.insert(stamp);  // the spool's second before the kill
  }
  auto w = writer("station.sqlite");
  std::vector<std::int64_t> stored;
  std::set<std::int64_t> distinct;
  std::size_t missing = 0;
  Eventually(
      [&] {
        stored = LiveStamps(server.conninfo(db));
        distinct = {stored.begin(), stored.end()};
        missing = std::count_if(expected.begin(), expected.end(),
                                [&](std::int64_t t) { return !distinct.count(t); });
        return missing == 0;
      },
      30s);
  std::printf("rows handed %zu, expected %zu, stored %zu, missing %zu, doubled %zu\n",
              handed.size(), expected.size(), stored.size(), missing,
              stored.size() - distinct.size());
  EXPECT_GE(expected.size(), 10u);
  EXPECT_EQ(missing, 0u);
  EXPECT_EQ(stored.size(), distinct.size());
}

TEST_F(PlantDatabaseTest, AFullFileSystemIsReportedAndRecoveredFromWithoutSpinning) {
  auto w = writer();
  SecondsClock seconds;
  PlantFeed feed("st", *w, std::ref(seconds));
  for (int i = 0; i < 3; ++i) feed.onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 3; }));

  auto commits = [&] {
    return Rows(server.conninfo("postgres"),
                QString::fromStdString(
                    "SELECT xact_commit FROM pg_stat_database WHERE datname = '" + db + "'"))[0][0]
        .toLongLong();
  };
  const std::int64_t commitsBefore = commits();
  {
    FileSizeLimit full(0);
    for (int i = 3; i < 13; ++i) feed.onLiveSample(1, SampleDegrees(i));
    EXPECT_TRUE(Eventually(
        [&] {
          const auto lines = logLines();
          return !lines.empty() && lines.back().find("spool") != std::string::npos;
        },
        10s));
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(w->status().rowsWaiting, 0) << "rows counted as kept though never written";
    EXPECT_NE(PlantIndicatorText(w->status()).find("не записується"), std::string::npos)
        << PlantIndicatorText(w->status());
  }
  // Time for the server's statistics to catch up (they are flushed once a second).
  std::this_thread::sleep_for(2s);
  EXPECT_LT(commits() - commitsBefore, 50) << "the writer spun on the server";
  ASSERT_TRUE(
      Eventually([&] { return count("km8_reading") == 13 && w->status().rowsWaiting == 0; }));
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
}

TEST_F(PlantDatabaseTest, StopEndsWhileAServerThatNeverAnswersIsBeingConnectedTo) {
  // A listening socket that no one answers: the connection waits for the server's reply.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  auto w = writer("spool.sqlite", kSpoolCapacityRows,
                  "host=127.0.0.1 port=" + std::to_string(ntohs(address.sin_port)) +
                      " dbname=plant connect_timeout=6");
  std::this_thread::sleep_for(500ms);
  const auto t0 = Steady::now();
  EXPECT_FALSE(w->stop()) << "the connection was not waited for";
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t0);
  std::printf("stop() took %lld ms while connecting\n", (long long)took.count());
  EXPECT_EQ(PlantWriter::sendersLeft(), 1);
  w.reset();
  // Left to itself, the sending thread ends with libpq's time-out.
  EXPECT_TRUE(Eventually([] { return PlantWriter::sendersLeft() == 0; }, 20s));
  close(listener);
}

}  // namespace
}  // namespace km8::test
