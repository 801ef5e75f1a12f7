// The instrument's registers as a master sees them on the wire: byte order, the
// current values, the setpoint block windows, exceptions and silence.
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

InstrumentConfig quietConfig() {
  InstrumentConfig config;
  config.thermal.noiseC = 0.0;
  return config;
}

TEST(RegisterMap, TemperaturesTravelLowByteFirstWithRangeMarkers) {
  Instrument instrument(quietConfig());
  instrument.thermal().setTemperature(0, 23.1);
  instrument.thermal().setSensorState(1, SensorState::BelowRange);
  instrument.thermal().setSensorState(2, SensorState::AboveRange);
  instrument.thermal().setTemperature(3, -12.5);
  instrument.sampleNow();

  const Bytes data = readData(instrument, 4, 0, 5);
  ASSERT_EQ(data.size(), 10u);
  EXPECT_EQ(data[0], 0xE7);  // 231 tenths
  EXPECT_EQ(data[1], 0x00);
  EXPECT_EQ(data[2], 0x00);  // -32000
  EXPECT_EQ(data[3], 0x83);
  EXPECT_EQ(data[4], 0x00);  // 32000
  EXPECT_EQ(data[5], 0x7D);
  EXPECT_EQ(data[6], 0x83);  // -125 = 0xFF83
  EXPECT_EQ(data[7], 0xFF);
}

TEST(RegisterMap, SensorRangeDependsOnTypeAndSwitchedOffChannelsHaveNoReading) {
  InstrumentConfig config = quietConfig();
  ChannelSettings copper = config.block.channel(0);
  copper.sensorType = 0;  // Cu50: -50 .. 200 degrees
  config.block.setChannel(0, copper);
  config.block.setChannel(1, copper);
  config.block.setEnabledChannels(0x7F);  // channel 8 off
  Instrument instrument(config);
  instrument.thermal().setTemperature(0, 199.6);
  instrument.thermal().setTemperature(1, 200.6);
  instrument.thermal().setTemperature(2, 600.0);  // platinum still measures
  instrument.thermal().setTemperature(7, 30.0);
  instrument.sampleNow();

  const Bytes low = readData(instrument, 4, 0, 3);
  ASSERT_EQ(low.size(), 6u);
  EXPECT_EQ(low[0] | low[1] << 8, 1996);
  EXPECT_EQ(low[2] | low[3] << 8, 32000);
  EXPECT_EQ(low[4] | low[5] << 8, 6000);
  const Bytes high = readData(instrument, 4, 5, 5);
  ASSERT_EQ(high.size(), 10u);
  EXPECT_EQ(high[4], 0x00);  // channel 8: -32000, no reading
  EXPECT_EQ(high[5], 0x83);
  EXPECT_EQ(high[8], 0x7F);  // enabled channels
}

TEST(RegisterMap, SetpointOfChannelOneIsRegister15HighByteFirstOnTheWire) {
  InstrumentConfig config = quietConfig();
  ChannelSettings ch1 = config.block.channel(0);
  ch1.setpoint = 253;  // 25.3 degrees
  ch1.derivativeTime = 0x21;
  ch1.integralTime = 0x1234;
  ch1.maxPower = 0x56;
  config.block.setChannel(0, ch1);
  Instrument instrument(config);

  EXPECT_EQ(readData(instrument, 4, 15, 1), (Bytes{253, 0}));
  // integralTime straddles registers 21 and 22: low byte in 21's second byte.
  EXPECT_EQ(readData(instrument, 4, 21, 2), (Bytes{0x21, 0x34, 0x12, 0x56}));
}

TEST(RegisterMap, FifteenStepsReadTheWholeBlockAndChartWindowsAreServed) {
  InstrumentConfig config = quietConfig();
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    config.block.bytes()[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  config.block.setInstrumentNumber(9);
  Instrument instrument(config);

  Bytes whole;
  for (std::uint16_t offset = 0; offset <= 70; offset += 5) {
    const Bytes step = readData(instrument, 4, static_cast<std::uint16_t>(12 + offset), 5);
    ASSERT_EQ(step.size(), 10u) << "offset " << offset;
    whole.insert(whole.end(), step.begin(), step.end());
  }
  const auto& block = instrument.block().bytes();
  EXPECT_EQ(whole, Bytes(block.begin(), block.end()));

  for (int channel = 0; channel <= 8; ++channel) {
    const Bytes window = readData(instrument, 4, static_cast<std::uint16_t>(15 + 8 * channel), 5);
    const auto from = block.begin() + 6 + 16 * channel;
    EXPECT_EQ(window, Bytes(from, from + 10)) << "chart channel " << channel;
  }
}

TEST(RegisterMap, StatusByteReportsAlarmsSetpointErrorsAndForcedFlags) {
  InstrumentConfig config = quietConfig();
  ChannelSettings ch3 = config.block.channel(2);
  ch3.alarmLow = 300;
  ch3.alarmHigh = 600;
  config.block.setChannel(2, ch3);
  Instrument instrument(config);
  for (int ch = 0; ch < kChannelCount; ++ch) {
    instrument.thermal().setTemperature(ch, config.block.channel(ch).setpoint / 10.0);
  }
  instrument.thermal().setTemperature(2, 65.0);
  instrument.sampleNow();
  EXPECT_EQ(readData(instrument, 4, 8, 2), (Bytes{0x00, 0x04, 0xFF, 0x01}));

  instrument.thermal().setTemperature(2, 45.0);
  instrument.setStatusFlag(kStatusArchiveError, true);
  SetpointImage broken = instrument.block();
  broken.setBaudIndex(8);
  instrument.setBlock(broken);
  const Bytes flags = readData(instrument, 4, 9, 1);
  ASSERT_EQ(flags.size(), 2u);
  EXPECT_EQ(flags[1], kStatusSetpointError | kStatusArchiveError);
}

TEST(RegisterMap, ExceptionsForUnknownFunctionsAndAddressesOutsideTheMap) {
  Instrument instrument(quietConfig());
  EXPECT_EQ(ask(instrument, readRequest(1, 4, 83, 5)), withCrc({1, 0x84, 0x02}));
  EXPECT_EQ(ask(instrument, readRequest(1, 4, 82, 5)).size(), 15u);  // ends at 86
  EXPECT_EQ(ask(instrument, readRequest(1, 4, 0, 0)), withCrc({1, 0x84, 0x03}));
  EXPECT_EQ(ask(instrument, readRequest(1, 7, 0, 0)), withCrc({1, 0x87, 0x01}));
  for (const std::uint8_t function : {1, 2, 5, 15, 0x41}) {
    Bytes request = readRequest(1, function, 0, 8);
    if (function == 15) request = withCrc({1, 15, 0, 0, 0, 8, 1, 0xFF});
    EXPECT_EQ(ask(instrument, request),
              withCrc({1, static_cast<std::uint8_t>(function | 0x80), 0x01}))
        << "function " << int{function};
  }
  EXPECT_EQ(ask(instrument, simtest::writeSingleRequest(1, 13, 0, 0)), withCrc({1, 0x86, 0x02}));
  EXPECT_EQ(ask(instrument, simtest::writeMultipleRequest(1, 11, Bytes(10, 0))),
            withCrc({1, 0x90, 0x02}));
  EXPECT_EQ(ask(instrument, simtest::writeMultipleRequest(1, 83, Bytes(10, 0))),
            withCrc({1, 0x90, 0x02}));
  // A byte count that disagrees with the register count.
  EXPECT_EQ(ask(instrument, withCrc({1, 16, 0, 12, 0, 2, 2, 0, 0})), withCrc({1, 0x90, 0x03}));
}

TEST(RegisterMap, DiagnosticEchoAndSilenceForOtherSlavesAndDamagedFrames) {
  Instrument instrument(quietConfig());
  const Bytes echo = withCrc({1, 8, 0, 0, 0xA5, 0x37});
  EXPECT_EQ(ask(instrument, echo), echo);
  EXPECT_EQ(ask(instrument, withCrc({1, 8, 0, 1, 0, 0})), withCrc({1, 0x88, 0x01}));

  EXPECT_TRUE(ask(instrument, readRequest(2, 4, 0, 5)).empty());
  EXPECT_TRUE(ask(instrument, readRequest(0, 4, 0, 5)).empty());
  Bytes damaged = readRequest(1, 4, 0, 5);
  damaged[7] ^= 0x01;
  EXPECT_TRUE(ask(instrument, damaged).empty());
  Bytes truncated = readRequest(1, 4, 0, 5);
  truncated.pop_back();
  EXPECT_TRUE(ask(instrument, truncated).empty());
  // A CRC-valid read request of the wrong length is not a request either.
  EXPECT_TRUE(ask(instrument, withCrc({1, 4, 0, 0, 0, 5, 0})).empty());

  const auto& counters = instrument.counters();
  EXPECT_EQ(counters.otherAddress, 2u);
  EXPECT_EQ(counters.badFrames, 3u);
  EXPECT_EQ(counters.requests, 2u);
}

TEST(RegisterMap, ReadRequestOfTheLiteralExampleIsAnsweredByAnInstrumentAtAddress1) {
  // 01 03 00 00 00 05 85 C9 is the archive read of record 0's first half.
  Instrument instrument(quietConfig());
  const Bytes request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x05, 0x85, 0xC9};
  const Bytes reply = ask(instrument, request);
  ASSERT_EQ(reply.size(), 15u);
  EXPECT_TRUE(simtest::crcOk(reply));
  EXPECT_EQ(reply[2], 10);
  EXPECT_EQ(reply[3], kRecordEmpty);  // nothing archived yet
}

}  // namespace
}  // namespace km8::sim
