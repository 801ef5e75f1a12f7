#include "monitor/register_map.h"

#include <gtest/gtest.h>

#include <array>

namespace km8 {
namespace {

TEST(DecodeTemperature, LowByteFirstTenthsWithRangeMarkers) {
  struct Case {
    std::uint8_t low, high;
    double expected;
  };
  const Case cases[] = {
      {0x00, 0x83, -10000.0},  // -32000: below range
      {0x01, 0x83, -3199.9},   // -31999: last real reading
      {0x00, 0x80, -10000.0},  // -32768
      {0x00, 0x7D, 10000.0},   // 32000: above range
      {0xFF, 0x7F, 10000.0},   // 32767
      {0xFF, 0x7C, 3199.9},    // 31999
      {0xE7, 0x00, 23.1},      // 231: the low byte travels first
      {0x00, 0xE7, -640.0},    // the same bytes the other way round: -6400
      {0xFF, 0xFF, -0.1},     {0x00, 0x00, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(DecodeTemperature(c.low, c.high), c.expected)
        << std::hex << int(c.low) << " " << int(c.high);
  }
}

ArchiveAge age(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3 = 0) {
  const std::array<std::uint8_t, 4> bytes = {b0, b1, b2, b3};
  return DecodeArchiveAge(bytes);
}

TEST(DecodeArchiveAge, TicksRoundToTheNearestSecond) {
  EXPECT_EQ(age(0x7C, 0x00, 5), (ArchiveAge{0, 0, 5, 0}));   // 124 ticks round down
  EXPECT_EQ(age(0x7D, 0x00, 5), (ArchiveAge{0, 0, 5, 1}));   // 125 ticks round up
  EXPECT_EQ(age(0xF9, 0x00, 0), (ArchiveAge{0, 0, 0, 1}));   // 249 ticks
  EXPECT_EQ(age(0xC4, 0x09, 2), (ArchiveAge{0, 0, 2, 10}));  // 2500 ticks, exactly 10 s
}

TEST(DecodeArchiveAge, SixtySecondsCarryIntoTheMinuteAndOverflowTicksCountAsNone) {
  EXPECT_EQ(age(0x97, 0x3A, 5), (ArchiveAge{0, 0, 6, 0}));  // 14999 ticks -> 60 s
  EXPECT_EQ(age(0x98, 0x3A, 5), (ArchiveAge{0, 0, 5, 0}));  // 15000 ticks are invalid
  EXPECT_EQ(age(0xFF, 0xFF, 5), (ArchiveAge{0, 0, 5, 0}));
  EXPECT_EQ(age(0x97, 0x3A, 59), (ArchiveAge{0, 1, 0, 0}));  // the carry reaches the hour
  EXPECT_EQ(age(0x97, 0x3A, 255), (ArchiveAge{0, 4, 16, 0}));
  EXPECT_EQ(age(0x00, 0x00, 200, 0xAB), (ArchiveAge{0, 3, 20, 0}));  // byte 3 is not used
}

TEST(DecodeArchiveAge, SpanIsTheWholeAgeInSeconds) {
  EXPECT_EQ(age(0xC4, 0x09, 200).span(), std::chrono::seconds(3 * 3600 + 20 * 60 + 10));
  EXPECT_EQ(age(0x97, 0x3A, 255).span(), std::chrono::seconds(256 * 60));
}

TEST(ChannelLimits, DefaultsBeforeTheFirstRead) {
  const ChannelLimits limits;
  EXPECT_EQ(limits.setpoint, 100.0);
  EXPECT_EQ(limits.switchPoint, 0.0);
  EXPECT_EQ(limits.alarmHigh, 120.0);
  EXPECT_EQ(limits.alarmLow, -20.0);
  EXPECT_EQ(limits.controlLaw, 0);
}

TEST(ChannelLimits, DecodedFromTheFirstFiveRegistersOfTheChannelRecord) {
  // setpoint 25.3, switch point 24.8, alarm high 32000 (marker), alarm low -5.0,
  // sensor type 4 (not kept), control law 3.
  const std::array<std::uint8_t, 10> reply = {0xFD, 0x00, 0xF8, 0x00, 0x00,
                                              0x7D, 0xCE, 0xFF, 0x04, 0x03};
  const ChannelLimits limits = decodeChannelLimits(reply);
  EXPECT_DOUBLE_EQ(limits.setpoint, 25.3);
  EXPECT_DOUBLE_EQ(limits.switchPoint, 24.8);
  EXPECT_EQ(limits.alarmHigh, HighMarker);
  EXPECT_DOUBLE_EQ(limits.alarmLow, -5.0);
  EXPECT_EQ(limits.controlLaw, 3);
}

struct Expected {
  std::uint8_t kind;
  std::uint16_t start;
  std::uint16_t countOrValue;
};

void expectRequest(const LinkRequest& r, std::uint8_t unit, Expected e) {
  EXPECT_EQ(r.unitAddress, unit);
  EXPECT_EQ(r.kind, e.kind);
  EXPECT_EQ(r.start, e.start);
  EXPECT_EQ(r.countOrValue, e.countOrValue);
}

TEST(PollRequest, EveryStateOfTheTable) {
  const std::uint8_t block[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  RequestParams p;
  p.unitAddress = 7;
  p.reportOffset = 35;
  p.chartChannel = 2;
  p.recordIndex = 10;
  p.blockOffset = 70;
  p.blockStepData = block;
  p.packedCode = 0x0E1B;

  expectRequest(pollRequest(PollState::CurrentValuesLow, p), 7, {4, 0, 5});
  expectRequest(pollRequest(PollState::CurrentValuesHigh, p), 7, {4, 5, 5});
  expectRequest(pollRequest(PollState::ReportStep, p), 7, {4, 47, 5});
  expectRequest(pollRequest(PollState::ChartLimits, p), 7, {4, 31, 5});
  expectRequest(pollRequest(PollState::ArchiveAge, p), 7, {4, 10, 2});
  expectRequest(pollRequest(PollState::ArchiveFirstHalf, p), 7, {3, 20, 5});
  expectRequest(pollRequest(PollState::ArchiveSecondHalf, p), 7, {3, 21, 4});
  expectRequest(pollRequest(PollState::BlockRead, p), 7, {4, 82, 5});
  const LinkRequest write = pollRequest(PollState::BlockWrite, p);
  expectRequest(write, 7, {8, 82, 5});
  EXPECT_EQ(write.data, block);
  // Function 6 sends its value high byte first; the code's low byte 0x1B must go first.
  expectRequest(pollRequest(PollState::AccessCode, p), 7, {6, 12, 0x1B0E});

  for (PollState s : {PollState::CurrentValuesLow, PollState::ReportStep, PollState::BlockRead,
                      PollState::AccessCode}) {
    EXPECT_EQ(pollRequest(s, p).data, nullptr);
  }
}

TEST(PollRequest, StatesWithoutARequestGiveTheEmptyOneToUnitZero) {
  RequestParams p;
  p.unitAddress = 9;
  for (int s : {0, 11, 200}) {
    expectRequest(pollRequest(static_cast<PollState>(s), p), 0, {0, 0, 0});
  }
}

TEST(PollRequest, ChartChannelsAndArchiveAddressesAtTheirEnds) {
  RequestParams p;
  p.chartChannel = 0;
  EXPECT_EQ(pollRequest(PollState::ChartLimits, p).start, 15);
  p.chartChannel = 7;
  EXPECT_EQ(pollRequest(PollState::ChartLimits, p).start, 71);
  p.chartChannel = 8;  // all channels: read, then thrown away
  EXPECT_EQ(pollRequest(PollState::ChartLimits, p).start, 79);

  p.recordIndex = 32768;  // addresses wrap at 16 bits
  EXPECT_EQ(pollRequest(PollState::ArchiveFirstHalf, p).start, 0);
  EXPECT_EQ(pollRequest(PollState::ArchiveSecondHalf, p).start, 1);
  p.recordIndex = 59999;
  EXPECT_EQ(pollRequest(PollState::ArchiveFirstHalf, p).start, 54462);
  EXPECT_EQ(pollRequest(PollState::ArchiveSecondHalf, p).start, 54463);
}

}  // namespace
}  // namespace km8
