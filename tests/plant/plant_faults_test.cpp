// The plant database's faults as a plant meets them, against the test command's server:
// a station killed while the server stalls, a full file system under the spool, stations
// sharing a settings folder or a name, a stop during a stall, a clock stepped back, and
// records of one reading that share a time stamp.
#include <QCoreApplication>
#include <cstdio>
#include <map>
#include <set>

#include "app/settings_location.h"
#include "plant/plant_connection.h"
#include "plant/plant_fixture.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace km8::test {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

constexpr std::int64_t kStampsPerSecond = kMicrosPerSecond;

// Every live row's stamp, as the feed gave it, in the order stored.
std::vector<std::int64_t> storedStamps(const std::string& conninfo) {
  std::vector<std::int64_t> out;
  const QString sql =
      QStringLiteral(
          "SELECT round(extract(epoch FROM taken_at) * %1)::bigint FROM km8_reading "
          "ORDER BY taken_at")
          .arg(kStampsPerSecond);
  for (const auto& r : Rows(conninfo, sql)) out.push_back(r[0].toLongLong());
  return out;
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

#ifndef _WIN32
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
        stored = storedStamps(server.conninfo(db));
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

// Files of this process may not grow past `bytes` while it lives: a full file system
// for the spool and nothing else (the server is another process).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

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
#endif

TEST_F(PlantDatabaseTest, StationsSharingASettingsFolderKeepSpoolsOfTheirOwn) {
  server.stop();
  const std::string folder = spoolDir.path().toStdString();
  auto a = writer(PlantSpoolPath(folder + "/plant-3.conf"));
  auto b = writer(PlantSpoolPath(folder + "/plant-4.conf"));
  SecondsClock ca, cb, cc{1'900'000'000};
  PlantFeed fa("st-a", *a, std::ref(ca));
  PlantFeed fb("st-b", *b, std::ref(cb));
  for (int i = 0; i < 30; ++i) fa.onLiveSample(1, SampleDegrees(i));
  for (int i = 0; i < 20; ++i) fb.onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually(
      [&] { return a->status().rowsWaiting == 30 && b->status().rowsWaiting == 20; }, 10s))
      << a->status().rowsWaiting << " and " << b->status().rowsWaiting << " waiting";

  // The same settings file started twice: the second finds the spool taken.
  auto c = writer(PlantSpoolPath(folder + "/plant-3.conf"));
  PlantFeed fc("st-a", *c, std::ref(cc));
  for (int i = 0; i < 10; ++i) fc.onLiveSample(2, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return c->status().rowsWaiting == 10; }, 10s));
  EXPECT_EQ(a->status().rowsWaiting, 30);

  server.start();
  ASSERT_TRUE(Eventually([&] {
    return count("km8_reading") == 60 && a->status().rowsWaiting == 0 &&
           b->status().rowsWaiting == 0 && c->status().rowsWaiting == 0;
  }));
  EXPECT_EQ(a->status().rowsSent, 30);
  EXPECT_EQ(b->status().rowsSent, 20);
  EXPECT_EQ(c->status().rowsSent, 10);
  const auto lines = logLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("in use") != l.npos; }),
            1)
      << ::testing::PrintToString(lines);
}

TEST_F(PlantDatabaseTest, StopEndsDuringAStallAndTheRowsWaitForTheNextStart) {
  auto w = writer();
  SecondsClock seconds;
  auto feed = std::make_unique<PlantFeed>("st", *w, std::ref(seconds));
  for (int i = 0; i < 5; ++i) feed->onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 5; }));

  TableLock stall(server.conninfo(db), "km8_reading", 30s);
  for (int i = 5; i < 10; ++i) feed->onLiveSample(1, SampleDegrees(i));
  std::this_thread::sleep_for(1s);  // the writer waits on the lock by now
  const auto t0 = Steady::now();
  feed.reset();
  w->stop();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t0);
  std::printf("stop() took %lld ms with the server stalled\n", (long long)took.count());
  EXPECT_TRUE(stall.held()) << "stop() waited for the server";
  w.reset();
  stall.release();

  w = writer();
  ASSERT_TRUE(
      Eventually([&] { return count("km8_reading") == 10 && w->status().rowsWaiting == 0; }));
}

#ifndef _WIN32
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
#endif

TEST_F(PlantDatabaseTest, ASecondStationFeedingTheSameSeriesIsRefused) {
  auto a = writer("a.sqlite");
  SecondsClock ca, cb{1'900'000'000};
  PlantFeed fa("st", *a, std::ref(ca));
  for (int i = 0; i < 10; ++i) fa.onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return count("km8_reading") == 10; }));

  auto b = writer("b.sqlite");
  PlantFeed fb("st", *b, std::ref(cb));
  for (int i = 0; i < 10; ++i) fb.onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually(
      [&] {
        const auto lines = logLines();
        return !lines.empty() && lines.back().find("another station") != std::string::npos;
      },
      10s))
      << ::testing::PrintToString(logLines());
  EXPECT_EQ(b->status().rowsWaiting, 10);
  EXPECT_NE(PlantIndicatorText(b->status()).find("«st»"), std::string::npos)
      << PlantIndicatorText(b->status());
  EXPECT_EQ(count("km8_reading"), 10);

  // Once the first has gone, the series is the second's.
  a.reset();
  ASSERT_TRUE(
      Eventually([&] { return count("km8_reading") == 20 && b->status().rowsWaiting == 0; }));
}

TEST_F(PlantDatabaseTest, AClockSteppedBackLosesNoSampleAndStampsNoneInTheFuture) {
  // Samples 998 ms apart; after ten the clock is set back an hour, and after twenty more
  // the station restarts.
  std::vector<std::int64_t> readings;
  std::int64_t now = 1'800'000'000 * kStampsPerSecond;
  auto clock = [&] {
    readings.push_back(now);
    now += 998 * kStampsPerSecond / 1000;
    return readings.back();
  };
  auto w = writer();
  auto feed = std::make_unique<PlantFeed>("st", *w, clock);
  for (int i = 0; i < 30; ++i) {
    if (i == 10) now -= 3600 * kStampsPerSecond;
    feed->onLiveSample(1, SampleDegrees(i));
  }
  ASSERT_TRUE(Eventually([&] { return w->status().rowsSent == 30; }));
  feed.reset();
  w.reset();
  w = writer();
  feed = std::make_unique<PlantFeed>("st", *w, clock);
  for (int i = 30; i < 40; ++i) feed->onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return w->status().rowsSent == 10; }));

  const auto stored = storedStamps(server.conninfo(db));
  std::multiset<std::int64_t> given(readings.begin(), readings.end());
  EXPECT_EQ(std::multiset<std::int64_t>(stored.begin(), stored.end()), given)
      << "every row stamped with the clock's own reading";
}

TEST_F(PlantDatabaseTest, RecordsOfOneReadingThatShareAStampAreKeptAndAReReadIsStoredOnce) {
  auto w = writer();
  SecondsClock seconds;
  PlantFeed feed("st", *w, std::ref(seconds));
  const std::int64_t t = 1'700'000'000;
  // Newest first; an archive interval of 0 stamps the two newest alike.
  std::vector<StampedDegrees> reading = {{.instant = t, .degrees = SampleDegrees(1)},
                                         {.instant = t, .degrees = SampleDegrees(1)},
                                         {.instant = t - 60, .degrees = SampleDegrees(0)}};
  feed.onArchiveRead(1, reading);
  ASSERT_TRUE(Eventually([&] { return w->status().rowsSent == 3; }));
  // Read again a week later: one new record, and every stamp 31 s on (50 ppm).
  for (auto& r : reading) r.instant += 31;
  reading.insert(reading.begin(), {.instant = t + 60 + 31, .degrees = SampleDegrees(1)});
  feed.onArchiveRead(1, reading);
  ASSERT_TRUE(Eventually([&] { return w->status().rowsSent == 7; }));
  EXPECT_EQ(count("km8_archive"), 4);
}

}  // namespace
}  // namespace km8::test
