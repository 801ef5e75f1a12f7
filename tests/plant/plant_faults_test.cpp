// The plant database's faults as a plant meets them, against the test command's server:
// stations sharing a settings folder or a name, a stop during a stall, a clock stepped
// back, and records of one reading that share a time stamp.
#include <cstdio>
#include <set>

#include "app/settings_location.h"
#include "plant/plant_fixture.h"
#include "plant/ui/plant_connection.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

TEST_F(PlantDatabaseTest, StationsSharingASettingsFolderKeepSpoolsOfTheirOwn) {
  if (!server.canStop()) GTEST_SKIP() << "the test server cannot be stopped from here";
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
  std::int64_t now = 1'800'000'000 * kMicrosPerSecond;
  auto clock = [&] {
    readings.push_back(now);
    now += 998 * kMicrosPerSecond / 1000;
    return readings.back();
  };
  auto w = writer();
  auto feed = std::make_unique<PlantFeed>("st", *w, clock);
  for (int i = 0; i < 30; ++i) {
    if (i == 10) now -= 3600 * kMicrosPerSecond;
    feed->onLiveSample(1, SampleDegrees(i));
  }
  ASSERT_TRUE(Eventually([&] { return w->status().rowsSent == 30; }));
  feed.reset();
  w.reset();
  w = writer();
  feed = std::make_unique<PlantFeed>("st", *w, clock);
  for (int i = 30; i < 40; ++i) feed->onLiveSample(1, SampleDegrees(i));
  ASSERT_TRUE(Eventually([&] { return w->status().rowsSent == 10; }));

  const auto stored = LiveStamps(server.conninfo(db));
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
