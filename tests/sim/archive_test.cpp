// The archive as a master reads it with function 3: record halves, valid records,
// reset markers and empty slots, the archive age, and timestamps that chain exactly.
#include <gtest/gtest.h>

#include "instrument.h"
#include "sim_master.h"

namespace km8::sim {
namespace {

using simtest::ask;
using simtest::Bytes;
using simtest::readData;
using simtest::readRequest;
using simtest::withCrc;

constexpr std::int64_t kMinute = 60'000;

InstrumentConfig withPeriod(std::uint8_t minutes) {
  InstrumentConfig config;
  config.thermal.noiseC = 0.0;
  config.block.setArchivePeriod(minutes);
  return config;
}

// Both halves of record n, as a master assembles them (start addresses in 16 bits).
Bytes readRecord(Instrument& instrument, unsigned n) {
  Bytes record = readData(instrument, 3, static_cast<std::uint16_t>(2 * n), 5);
  const Bytes tail = readData(instrument, 3, static_cast<std::uint16_t>(2 * n + 1), 4);
  record.insert(record.end(), tail.begin(), tail.end());
  return record;
}

TEST(Archive, RecordsAreServedInTwoHalvesNewestFirstThenEmptySlots) {
  Instrument instrument(withPeriod(1));
  instrument.writeHistory(5, 0);
  ASSERT_EQ(instrument.archive().size(), 5u);

  const Bytes newest = readRecord(instrument, 0);
  ASSERT_EQ(newest.size(), 18u);
  EXPECT_EQ(newest[0], kRecordValid);
  EXPECT_EQ(newest[1], 1);  // minutes since the record before
  // Written at this very moment: the readings are the current values.
  const Bytes current = readData(instrument, 4, 0, 8);
  EXPECT_EQ(Bytes(newest.begin() + 2, newest.end()), current);

  for (unsigned n = 1; n < 5; ++n) EXPECT_EQ(readRecord(instrument, n)[0], kRecordValid);
  EXPECT_EQ(readRecord(instrument, 5), Bytes(18, kRecordEmpty));
  EXPECT_EQ(readRecord(instrument, 32767), Bytes(18, kRecordEmpty));
  // Index 32768 wraps to start addresses 0 and 1: record 0 again.
  EXPECT_EQ(readRecord(instrument, 32768), newest);
}

TEST(Archive, HalvesLongerThanARecordPartAreOutsideTheMap) {
  Instrument instrument(withPeriod(1));
  EXPECT_EQ(ask(instrument, readRequest(1, 3, 4, 6)), withCrc({1, 0x83, 0x02}));
  EXPECT_EQ(ask(instrument, readRequest(1, 3, 5, 5)), withCrc({1, 0x83, 0x02}));
  EXPECT_EQ(ask(instrument, readRequest(1, 3, 4, 0)), withCrc({1, 0x83, 0x03}));
  EXPECT_EQ(readData(instrument, 3, 5, 2).size(), 4u);
}

TEST(Archive, RestartsLeaveResetMarkersBetweenValidRecords) {
  Instrument instrument(withPeriod(2));
  instrument.writeHistory(6, 2);
  std::string statuses;
  for (unsigned n = 0; n < 9; ++n) {
    const std::uint8_t status = readRecord(instrument, n)[0];
    statuses += status == kRecordValid ? 'V' : status == kRecordResetMarker ? 'M' : '-';
  }
  EXPECT_EQ(statuses, "VVMVVMVV-");
}

TEST(Archive, RingKeepsTheNewestRecordsWhenFull) {
  ArchiveStore store(3);
  for (std::uint8_t i = 1; i <= 5; ++i) store.appendValid(i, {});
  EXPECT_EQ(store.size(), 3u);
  EXPECT_EQ(store.record(0)[1], 5);
  EXPECT_EQ(store.record(2)[1], 3);
  EXPECT_EQ(store.record(3)[0], kRecordEmpty);
  EXPECT_EQ(ArchiveStore(1'000'000).capacity(), kMaxArchiveRecords);
}

TEST(Archive, AgeRegistersCountTicksOfTheCurrentMinuteAndWholeMinutes) {
  Instrument instrument(withPeriod(10));
  instrument.advanceTo(10 * kMinute);
  ASSERT_EQ(instrument.archive().size(), 1u);
  EXPECT_EQ(readData(instrument, 4, 10, 2), (Bytes{0x00, 0x00, 0, 0}));

  instrument.advanceTo(15 * kMinute + 500);  // 5 min 0.5 s: 125 ticks
  EXPECT_EQ(readData(instrument, 4, 10, 2), (Bytes{0x7D, 0x00, 5, 0}));
  instrument.advanceTo(15 * kMinute + 59'996);  // 14999 ticks
  EXPECT_EQ(readData(instrument, 4, 10, 2), (Bytes{0x97, 0x3A, 5, 0}));

  Instrument idle(withPeriod(0));  // archiving off: the age saturates
  idle.advanceTo(300 * kMinute + 1234);
  EXPECT_EQ(readData(idle, 4, 10, 2), (Bytes{0, 0, 255, 0}));
  EXPECT_EQ(idle.archive().size(), 0u);
}

TEST(Archive, IntervalsChainFromTheAgeToEveryOlderRecordAcrossRestartsAndPeriodChanges) {
  Instrument instrument(withPeriod(2));
  instrument.advanceTo(7 * kMinute);  // records at 2, 4 and 6 minutes
  instrument.restart();
  SetpointImage slower = instrument.block();
  slower.setArchivePeriod(5);
  instrument.setBlock(slower);
  instrument.advanceTo(24 * kMinute + 30'000);  // records at 11, 16, 21 minutes

  // What a master reconstructs: record 0 is `age` old, every valid record's interval
  // leads to the next older valid record, markers move nothing.
  const Bytes age = readData(instrument, 4, 10, 2);
  ASSERT_EQ(age.size(), 4u);
  std::int64_t running = instrument.nowMs() - (age[2] * kMinute + (age[0] | age[1] << 8) * 4);
  std::vector<std::int64_t> stamps;
  std::string statuses;
  for (unsigned n = 0; n < 8; ++n) {
    const Bytes record = readRecord(instrument, n);
    statuses += record[0] == kRecordValid ? 'V' : record[0] == kRecordResetMarker ? 'M' : '-';
    if (record[0] != kRecordValid) continue;
    stamps.push_back(running / kMinute);
    EXPECT_EQ(running % kMinute, 0) << "record " << n;
    running -= record[1] * kMinute;
  }
  EXPECT_EQ(statuses, "VVVMVVV-");
  EXPECT_EQ(stamps, (std::vector<std::int64_t>{21, 16, 11, 6, 4, 2}));
}

}  // namespace
}  // namespace km8::sim
