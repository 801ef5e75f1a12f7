// The plant database's rules of their own: the spool's capacity, the lines and the
// indicator of outages, refusals and spool failures, the stamps of the feed, and which
// records of a reading the server has already.
#include <gtest/gtest.h>

#include <vector>

#include "plant/plant_archive_match.h"
#include "plant/plant_rows.h"
#include "plant/plant_status.h"

namespace km8 {
namespace {

TEST(PlantSpoolRoom, TheOldestLiveRowsGoFirstAndArchiveRecordsNever) {
  struct Case {
    std::int64_t capacity, live, archive, incoming;
    SpoolRoom room;
  };
  const Case cases[] = {
      {10, 4, 2, 3, {0, 0}},   // room enough
      {10, 6, 2, 4, {2, 0}},   // two oldest live rows make room
      {10, 1, 8, 3, {1, 1}},   // the one live row, then the oldest new one
      {10, 0, 10, 2, {0, 2}},  // only archive: nothing new is kept
      {10, 0, 0, 15, {0, 5}},  // more at once than the spool holds
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.capacity << " " << c.live << " " << c.archive << " " << c.incoming);
    const SpoolRoom room = MakeSpoolRoom(c.capacity, c.live, c.archive, c.incoming);
    EXPECT_EQ(room.dropOldestLive, c.room.dropOldestLive);
    EXPECT_EQ(room.refuseIncoming, c.room.refuseIncoming);
  }
}

TEST(PlantOutageLog, OneLineWhenAnOutageARefusalOrASpoolFailureStartsAndOneWhenItEnds) {
  PlantOutageLog log;
  PlantFeedStatus s;
  s.rowsWaiting = 12;
  EXPECT_EQ(log.succeeded(s), std::nullopt);  // connected: nothing to say
  EXPECT_EQ(log.failed(s, "timeout expired"),
            "km8-station: plant database unreachable: timeout expired; 12 rows waiting in the "
            "spool");
  EXPECT_EQ(log.failed(s, "connection refused"), std::nullopt);
  EXPECT_EQ(PlantIndicatorText(s),
            "База даних заводу недоступна: connection refused\nУ черзі: 12, надіслано: 0");
  EXPECT_EQ(log.succeeded(s),
            "km8-station: plant database reachable again; 12 rows waiting in the spool are being "
            "sent");

  EXPECT_EQ(log.refused(s, "Піч 3", 2),
            "km8-station: plant database: another station already feeds station \"Піч 3\", "
            "instrument 2; this one does not (give each station a StationName of its own) and "
            "keeps its 12 rows waiting in the spool");
  EXPECT_EQ(log.refused(s, "Піч 3", 2), std::nullopt);
  EXPECT_NE(log.refused(s, "Піч 3", 3), std::nullopt);  // another series
  EXPECT_EQ(PlantIndicatorText(s),
            "База даних заводу: дані станції «Піч 3», прилад №3, уже надсилає інша станція\n"
            "У черзі: 12, надіслано: 0");
  EXPECT_EQ(log.succeeded(s),
            "km8-station: plant database: no other station feeds this one's series now; 12 rows "
            "waiting in the spool are being sent");
  EXPECT_EQ(s.state, PlantFeedState::Feeding);

  EXPECT_EQ(log.spoolFailed(s, "disk I/O error", 3),
            "km8-station: plant database spool cannot be written (disk I/O error); 3 rows held "
            "in memory, tried again every second");
  EXPECT_EQ(log.spoolFailed(s, "disk I/O error", 4), std::nullopt);
  EXPECT_EQ(PlantIndicatorText(s),
            "База даних заводу: дані надходять\nУ черзі: 12, надіслано: 0\n"
            "Черга на диску не записується: disk I/O error; у пам'яті: 4");
  s.rowsWaiting = 16;
  EXPECT_EQ(log.spoolWritten(s),
            "km8-station: plant database spool written again; 16 rows waiting in the spool");
  EXPECT_EQ(log.spoolWritten(s), std::nullopt);

  EXPECT_NE(log.dropped(s, 5), std::nullopt);
  EXPECT_EQ(log.dropped(s, 5), std::nullopt);  // once a run
  EXPECT_EQ(PlantIndicatorText(s),
            "База даних заводу: дані надходять\nУ черзі: 16, надіслано: 0, відкинуто: 10");
}

struct Collected : PlantRowQueue {
  void submit(std::vector<PlantRow> r) override { rows.insert(rows.end(), r.begin(), r.end()); }
  std::vector<PlantRow> rows;
};

TEST(PlantFeedStamps, TheClockAsItReadsAndArchiveRecordsOldestFirst) {
  const std::int64_t t = 1'800'000'000 * kMicrosPerSecond;
  const std::vector<std::int64_t> readings = {
      t, t + 998'000, t + 998'000, t - 3600 * kMicrosPerSecond, t - 3599 * kMicrosPerSecond};
  std::size_t next = 0;
  Collected queue;
  PlantFeed feed("st", queue, [&] { return readings[next++]; });
  for (std::size_t i = 0; i < readings.size(); ++i) feed.onLiveSample(1, ChannelDegrees{});
  std::vector<std::int64_t> stamps;
  for (const PlantRow& r : queue.rows) stamps.push_back(r.takenAtMicros);
  // The same reading twice gets a microsecond more; a clock set back is followed.
  EXPECT_EQ(stamps,
            (std::vector<std::int64_t>{t, t + 998'000, t + 998'001, t - 3600 * kMicrosPerSecond,
                                       t - 3599 * kMicrosPerSecond}));

  queue.rows.clear();
  const StampedDegrees records[] = {{.instant = 1'700'000'120}, {.instant = 1'700'000'060}};
  feed.onArchiveRead(4, records);
  ASSERT_EQ(queue.rows.size(), 2u);
  EXPECT_EQ(queue.rows[0].takenAtMicros, 1'700'000'060 * kMicrosPerSecond);
  EXPECT_EQ(queue.rows[1].takenAtMicros, 1'700'000'120 * kMicrosPerSecond);
  EXPECT_EQ(queue.rows[1].instrument, 4);
  EXPECT_EQ(queue.rows[1].table, PlantTable::Archive);
}

PlantRow record(std::int64_t seconds, float degrees) {
  PlantRow r;
  r.table = PlantTable::Archive;
  r.takenAtMicros = seconds * kMicrosPerSecond;
  r.degrees[0] = degrees;
  return r;
}

StoredArchiveRow stored(std::int64_t seconds, float degrees, int n = 0) {
  StoredArchiveRow s;
  s.takenAtMicros = seconds * kMicrosPerSecond;
  s.n = n;
  s.degrees[0] = degrees;
  return s;
}

TEST(PlantArchiveMatch, AReReadIsRecognisedWhateverItsShiftAndNoStoredRowStandsForTwo) {
  using New = std::vector<std::optional<int>>;
  const std::int64_t t = 1'700'000'000;
  struct Case {
    const char* what;
    std::vector<PlantRow> reading;
    std::vector<StoredArchiveRow> stored;
    New expected;
  };
  const Case cases[] = {
      {"first reading", {record(t, 1), record(t + 60, 2)}, {}, {0, 0}},
      {"a week at 50 ppm later, one record more",
       {record(t + 31, 1), record(t + 91, 2), record(t + 151, 3)},
       {stored(t, 1), stored(t + 60, 2)},
       {std::nullopt, std::nullopt, 0}},
      {"the station's clock set back 40 minutes since",
       {record(t - 2400, 1), record(t - 2340, 2)},
       {stored(t, 1), stored(t + 60, 2)},
       {std::nullopt, std::nullopt}},
      {"an interval of 0: two alike records share a stamp",
       {record(t, 5), record(t, 5), record(t + 60, 6)},
       {},
       {0, 1, 0}},
      {"read again 31 s on, and one more alike at the newest stamp",
       {record(t + 31, 5), record(t + 31, 5), record(t + 91, 6), record(t + 91, 6)},
       {stored(t, 5, 0), stored(t, 5, 1), stored(t + 60, 6)},
       {std::nullopt, std::nullopt, std::nullopt, 0}},
      {"a steady process: alike records a minute apart, shifted by 40 s, two more",
       {record(t + 40, 7), record(t + 100, 7), record(t + 160, 7), record(t + 220, 7)},
       {stored(t, 7), stored(t + 60, 7)},
       {std::nullopt, std::nullopt, 0, 0}},
      {"alike temperatures an hour and more away are another record",
       {record(t + 3700, 1)},
       {stored(t, 1)},
       {0}},
      {"a new record at a stamp already used takes the next ordinal",
       {record(t, 9)},
       {stored(t, 8, 0), stored(t, 8, 1)},
       {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(NewArchiveRows(c.reading, c.stored), c.expected);
  }
  const auto [from, to] = ArchiveMatchSpan(cases[1].reading);
  EXPECT_EQ(from, (t + 31) * kMicrosPerSecond - kArchiveShiftLimitMicros - 3 * kMicrosPerSecond);
  EXPECT_EQ(to, (t + 151) * kMicrosPerSecond + kArchiveShiftLimitMicros + 3 * kMicrosPerSecond);
}

}  // namespace
}  // namespace km8
