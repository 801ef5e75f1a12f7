#include "setpoints/setpoint_block.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace km8 {
namespace {

// An edit of one channel's record, written back into the block.
std::function<void(SetpointBlock&)> onChannel(int index,
                                              std::function<void(ChannelSetpoints&)> edit) {
  return [index, edit](SetpointBlock& b) {
    auto c = b.channel(index);
    edit(c);
    b.setChannel(index, c);
  };
}

// Channel 2 at 50.0 with a band of 3 under `law`, its switch point worked out again.
std::function<void(SetpointBlock&)> switchPointUnder(std::uint8_t law) {
  return onChannel(1, [law](ChannelSetpoints& c) {
    c.setSetpointDegrees(50.0);
    c.band = 3;
    c.controlLaw = law;
    ASSERT_TRUE(c.updateSwitchPoint());
  });
}

// Where values land on the wire: byte 2k is the high-order byte of register 12+k.
TEST(SetpointBlock, FieldsLandAtTheirWireBytes) {
  struct Case {
    const char* what;
    std::function<void(SetpointBlock&)> edit;
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes;  // image byte, value
  };
  const Case cases[] = {
      {"setpoint 25.3 of channel 1 is register 15 = 253, 0",
       onChannel(0, [](ChannelSetpoints& c) { ASSERT_TRUE(c.setSetpointDegrees(25.3)); }),
       {{6, 253}, {7, 0}}},
      {"integral time of channel 1 spans registers 21 (low byte) and 22 (high byte)",
       onChannel(0, [](ChannelSetpoints& c) { c.integralTime = 0x1234; }),
       {{19, 0x34}, {20, 0x12}, {18, 0}, {21, 0}}},
      {"offset -2.5 on channel 3: magnitude 25, sign bit 2",
       [](SetpointBlock& b) { ASSERT_TRUE(b.setSensorOffsetDegrees(2, -2.5)); },
       {{136, 25}, {142, 0x04}}},
      {"offset +2.5 on channel 3 clears the sign bit",
       [](SetpointBlock& b) {
         b.setOffsetSignMask(0xFF);
         ASSERT_TRUE(b.setSensorOffsetDegrees(2, 2.5));
       },
       {{136, 25}, {142, 0xFB}}},
      {"an offset that truncates to zero is stored without the sign",
       [](SetpointBlock& b) { b.setSensorOffsetDegrees(0, -0.05); },
       {{134, 0}, {142, 0}}},
      {"switch point, cooling law: 50.0 + 3 = 530, channel 2 bytes 24..25",
       switchPointUnder(1),
       {{22, 500 & 0xFF}, {23, 500 >> 8}, {24, 530 & 0xFF}, {25, 530 >> 8}, {33, 3}, {31, 1}}},
      {"switch point, heating law: 50.0 - 3 = 470",
       switchPointUnder(0),
       {{22, 500 & 0xFF}, {23, 500 >> 8}, {24, 470 & 0xFF}, {25, 470 >> 8}, {33, 3}}},
      {"alarm limits and max power of channel 8",
       onChannel(7,
                 [](ChannelSetpoints& c) {
                   c.setAlarmHighDegrees(-0.1);
                   c.setAlarmLowDegrees(-300.0);
                   c.maxPower = 100;
                 }),
       {{122, 0xFF}, {123, 0xFF}, {124, 0x48}, {125, 0xF4}, {133, 100}}},
      {"common fields",
       [](SetpointBlock& b) {
         b.setArchivePeriod(30);
         b.setInstrumentNumber(7);
         b.setBaudIndex(5);
         b.setChannelEnabled(0, true);
         b.setChannelEnabled(7, true);
       },
       {{2, 30}, {3, 7}, {4, 5}, {5, 0x81}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetpointBlock block;
    c.edit(block);
    SetpointBlock expected;
    for (auto [index, value] : c.bytes) expected.bytes()[index] = value;
    for (std::size_t i = 0; i < kSetpointBlockBytes; ++i)
      EXPECT_EQ(block.bytes()[i], expected.bytes()[i]) << "byte " << i;
  }
}

TEST(SetpointBlock, EnabledChannelsMaskAndReadings) {
  SetpointBlock block;
  block.setEnabledChannels(0x81);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(block.channelEnabled(i), i == 0 || i == 7) << i;
  EXPECT_FALSE(block.channelEnabled(8));

  auto c = block.channel(0);
  c.integralTime = 0xFFFF;  // the editor sees -0.1, the report 6553.5
  c.setpoint = -253;
  block.setChannel(0, c);
  EXPECT_DOUBLE_EQ(block.channel(0).integralMinutes(), -0.1);
  EXPECT_DOUBLE_EQ(block.channel(0).integralMinutesUnsigned(), 6553.5);
  EXPECT_DOUBLE_EQ(block.channel(0).setpointDegrees(), -25.3);
  block.setSensorOffsetDegrees(4, -0.7);  // read back as the editor shows it
  EXPECT_DOUBLE_EQ(block.sensorOffsetDegrees(4), -0.7);
}

// A full read, every field read and written back through the accessors, then a full
// write: the instrument gets back exactly what it sent, uninterpreted bytes included.
TEST(SetpointBlock, ReadThenWriteWithoutEditsReturnsEveryByte) {
  std::array<std::uint8_t, kSetpointBlockBytes> wire{};
  for (std::size_t i = 0; i < wire.size(); ++i) wire[i] = static_cast<std::uint8_t>(i * 37 + 11);

  SetpointBlock block;
  for (std::uint16_t offset = 0; offset <= kSetpointLastStepOffset; offset += 5)
    ASSERT_TRUE(storeStep(block, offset, std::span(wire).subspan(2 * offset, 10)));

  for (int i = 0; i < kSetpointChannels; ++i) {
    block.setChannel(i, block.channel(i));
    block.setOffsetMagnitude(i, block.offsetMagnitude(i));
    block.setChannelEnabled(i, block.channelEnabled(i));
  }
  block.setOffsetSignMask(block.offsetSignMask());
  block.setAttemptsLeft(block.attemptsLeft());
  block.setArchivePeriod(block.archivePeriod());
  block.setInstrumentNumber(block.instrumentNumber());
  block.setBaudIndex(block.baudIndex());

  std::vector<std::uint8_t> sent;
  for (std::uint16_t offset = 0; offset <= kSetpointLastStepOffset; offset += 5) {
    const std::uint8_t* step = stepBytes(block, offset);
    ASSERT_NE(step, nullptr);
    sent.insert(sent.end(), step, step + kSetpointStepBytes);
  }
  EXPECT_EQ(sent, std::vector<std::uint8_t>(wire.begin(), wire.end()));
}

TEST(SetpointBlock, StepsNeverReachPastTheImage) {
  SetpointBlock block;
  const std::array<std::uint8_t, 10> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_TRUE(storeStep(block, 70, ten));
  EXPECT_EQ(block.bytes()[140], 1);
  EXPECT_EQ(block.bytes()[149], 10);
  EXPECT_FALSE(storeStep(block, 71, ten));
  EXPECT_FALSE(storeStep(block, 0, std::span(ten).first(9)));
  EXPECT_EQ(block.bytes()[0], 0);
  EXPECT_EQ(stepBytes(block, 71), nullptr);
  EXPECT_EQ(stepBytes(block, 70), block.bytes().data() + 140);
}

TEST(EncodeTenths, TruncatesTowardZeroAndRefusesWhatDoesNotFit) {
  struct Case {
    double value;
    std::optional<std::int16_t> tenths;
  };
  const Case cases[] = {
      {0.3, 3},
      {25.3, 253},
      {-0.7, -7},
      {25.37, 253},
      {-25.37, -253},
      {0.0, 0},
      {-0.05, 0},
      {3276.7, 32767},
      {-3276.8, -32768},
      {3276.8, std::nullopt},
      {-3276.9, std::nullopt},
      {30000.0, std::nullopt},
      {1e300, std::nullopt},
      {NAN, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(encodeTenths(c.value), c.tenths) << c.value;
}

// Every value a user can type with one decimal converts to its exact tenths.
TEST(EncodeTenths, EveryOneDecimalValueIsExact) {
  for (int tenths = -32768; tenths <= 32767; ++tenths) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%d.%d", tenths < 0 ? "-" : "", std::abs(tenths) / 10,
                  std::abs(tenths) % 10);
    ASSERT_EQ(encodeTenths(std::strtod(text, nullptr)), tenths) << text;
  }
}

TEST(SwitchPoint, SetpointShiftedByTheBandInWholeTenths) {
  struct Case {
    std::int16_t setpoint;
    std::uint8_t band, law;
    std::optional<std::int16_t> expected;
  };
  const Case cases[] = {
      {500, 3, 1, 530},
      {500, 3, 0, 470},
      {500, 3, 4, 530},
      {500, 3, 2, 470},
      {500, 3, 3, 470},
      {500, 3, 5, 470},
      {500, 3, 9, 470},     // unknown laws count as heating
      {-599, 48, 1, -119},  // in doubles, -59.9 + 48 would truncate to -118
      {32000, 255, 1, std::nullopt},
      {-32000, 255, 0, std::nullopt},
      {30217, 255, 1, 32767},
  };
  for (const Case& c : cases)
    EXPECT_EQ(switchPointFor(c.setpoint, c.band, c.law), c.expected)
        << c.setpoint << " " << int(c.band) << " " << int(c.law);
}

TEST(SetpointCodes, UnknownCodesNeverReadPastTheTables) {
  EXPECT_STREQ(sensorTypeText(5), "Cu53");
  EXPECT_STREQ(sensorTypeText(6), "46П");
  EXPECT_STREQ(sensorTypeText(255), "46П");
  EXPECT_STREQ(controlLawReportText(1), "двопозиційне охолодження");
  EXPECT_STREQ(controlLawReportText(6), "");
  EXPECT_STREQ(controlLawEditorText(255), "");
  EXPECT_EQ(instrumentBaudRate(7), 38400u);
  EXPECT_EQ(instrumentBaudRate(8), std::nullopt);
  EXPECT_TRUE(isCoolingLaw(1) && isCoolingLaw(4));
  EXPECT_FALSE(isCoolingLaw(0) || isCoolingLaw(3) || isCoolingLaw(9));
}

TEST(SetpointBlock, NaturalUnitWritersRefuseWhatTheFieldsCannotHold) {
  SetpointBlock block;
  EXPECT_FALSE(block.setSensorOffsetDegrees(0, 25.6));
  EXPECT_FALSE(block.setSensorOffsetDegrees(0, -25.6));
  EXPECT_FALSE(block.setSensorOffsetDegrees(8, 1.0));
  EXPECT_TRUE(block.setSensorOffsetDegrees(0, -25.5));
  EXPECT_EQ(block.sensorOffsetTenths(0), -255);

  ChannelSetpoints c;
  c.setpoint = 123;
  EXPECT_FALSE(c.setSetpointDegrees(3276.8));
  EXPECT_EQ(c.setpoint, 123);
  EXPECT_TRUE(c.setIntegralMinutes(0.1));
  EXPECT_EQ(c.integralTime, 1);
  EXPECT_TRUE(c.setIntegralMinutes(99.9));
  EXPECT_EQ(c.integralTime, 999);
  c.setpoint = 32700;
  c.band = 10;
  c.controlLaw = 1;
  c.switchPoint = 5;
  EXPECT_FALSE(c.updateSwitchPoint());
  EXPECT_EQ(c.switchPoint, 5);
}

}  // namespace
}  // namespace km8
