// The archive reading end to end: the real link worker and serial port read the
// simulator's archive over a pseudo-terminal while the live display keeps polling.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "archives/archive_reading.h"
#include "e2e/station_core_sim_fixture.h"
#include "support/archive_fakes.h"

namespace km8 {
namespace {

using namespace std::chrono_literals;

// The instrument's side of a record, read from its own bytes.
struct SimRecord {
  std::uint8_t status;
  std::uint8_t interval;
  std::array<std::int16_t, 8> tenths;
};

SimRecord simRecord(const sim::ArchiveRecordBytes& b) {
  SimRecord r{b[0], b[1], {}};
  for (int c = 0; c < 8; ++c) {
    r.tenths[c] = static_cast<std::int16_t>(b[2 + 2 * c] | (b[3 + 2 * c] << 8));
  }
  return r;
}

std::string hhmmDdMm(std::int64_t instant) {
  const std::time_t t = static_cast<std::time_t>(instant);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%H:%M  %d.%m", &utc);
  return text;
}

std::string degrees(std::int16_t tenths) {
  if (tenths <= -32000 || tenths >= 32000) return "----";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", tenths / 10.0);
  return text;
}

class ArchiveReadingSimTest : public test::StationCoreSimTest {
 protected:
  static sim::SimConfig instrument() {
    sim::SimConfig config = test::frozenInstrument();
    config.historyRecords = 998;  // and two reset markers: the archive's 1000 slots
    config.restartEvery = 400;
    return config;
  }

  ArchiveReadingSimTest()
      : StationCoreSimTest(instrument()),
        reading(settings, logic.pollCycle(), window, list, clock) {
    // Replies of 15 bytes (states 1, 2 and 6) then end at their length instead of after
    // the 20 ms inter-character pause: the same reading, a third of the time.
    settings.update([](AppSettings& s) { s.SerialSetup.FrameLength = 15; });
    logic.attachArchiveReading(reading);
  }

  test::FakeArchiveList list{&uiLog};
  test::FixedClock clock{test::utcInstant(2026, 12, 7, 12, 0, 0)};
  ArchiveReading reading;
};

TEST_F(ArchiveReadingSimTest, AThousandRecordsWithTwoRestartsAreListedAsTheInstrumentKeepsThem) {
  simulator.skipTime(50'000);  // the newest record is 50 s old
  ASSERT_NO_FATAL_FAILURE(startStation(10s));

  settings.set(&AppSettings::ArcNum, std::uint16_t{1000});
  list.open = true;
  const int writesBefore = controls.values[0]->valueWrites;
  reading.StartArchiveReading(ArchiveMode::View);
  ASSERT_TRUE(runUntil([&] { return !reading.readingActive(); }, 240s));
  // The live display went on with every pass of the poll cycle.
  EXPECT_GE(controls.values[0]->valueWrites - writesBefore, 1000);
  EXPECT_TRUE(messages.shown.empty());

  const auto [age, records] = simulator.withInstrument([](sim::Instrument& i) {
    std::vector<SimRecord> out;
    for (std::size_t n = 0; n < 1000; ++n) out.push_back(simRecord(i.archive().record(n)));
    return std::pair{i.archiveAge(), out};
  });
  const int ageSeconds = age.minutes * 60 + (age.ticks + 125) / 250;
  EXPECT_EQ(ageSeconds, 50);

  ASSERT_EQ(list.entries.size(), 1000u);
  std::int64_t stamp = clock.at - ageSeconds;
  int resets = 0;
  for (std::size_t n = 0; n < 1000; ++n) {
    SCOPED_TRACE(n);
    const SimRecord& r = records[n];
    const auto row = list.row(n);
    ASSERT_EQ(row[0], std::to_string(n + 1));
    if (r.status != 0) {
      ASSERT_EQ(r.status, 0xEF);
      ++resets;
      ASSERT_EQ(row[1], "СКИД");
      continue;
    }
    ASSERT_EQ(row[1], hhmmDdMm(stamp));
    ASSERT_EQ(list.entries[n].instant, stamp);
    for (int c = 0; c < 8; ++c) ASSERT_EQ(row[2 + c], degrees(r.tenths[c])) << "channel " << c + 1;
    stamp -= r.interval * 60;
  }
  EXPECT_EQ(resets, 2);
  EXPECT_EQ(list.caption(), "Перегляд архівів (Прилад №1)  [100%]");
}

}  // namespace
}  // namespace km8
