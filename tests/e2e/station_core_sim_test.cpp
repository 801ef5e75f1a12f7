// The station's core end to end: the real link worker and serial port talk to the
// instrument simulator over a pseudo-terminal; the poll cycle decodes what it says.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "e2e/station_core_sim_fixture.h"
#include "support/framing_under_test.h"

namespace km8 {
namespace {

using namespace std::chrono_literals;

// The instrument as the tests set it up: known temperatures, one sensor below its range
// and an ADC failure reported.
class StationCoreTest : public test::StationCoreSimTest {
 protected:
  StationCoreTest() : StationCoreSimTest(test::frozenInstrument()) {
    simulator.withInstrument([](sim::Instrument& instrument) {
      const double temperatures[8] = {23.4, -5.5, 0.0, 150.0, 99.9, 20.0, 45.6, 300.1};
      for (int c = 0; c < 8; ++c) instrument.thermal().setTemperature(c, temperatures[c]);
      instrument.thermal().setSensorState(2, sim::SensorState::BelowRange);
      instrument.setStatusFlag(sim::kStatusAdcFailure, true);
      instrument.sampleNow();
    });
    settings.set(&AppSettings::FastFraming, test::FastFramingUnderTest());
  }
};

// The same instrument seen through the main window's logic.
using StationWindowTest = StationCoreTest;

TEST_F(StationCoreTest, TheWorkerReadsTheCurrentValuesAsTheInstrumentSendsThem) {
  ASSERT_NO_FATAL_FAILURE(startWorker());
  ASSERT_TRUE(log.waitFor([&](const auto&) { return host.completions() >= 1; }));
  std::uint8_t count = 0;
  (void)worker.TakeReply(count);

  const auto wire = simulator.withInstrument([](sim::Instrument& i) { return i.currentValues(); });
  for (std::uint16_t start : {0, 5}) {
    const int before = host.completions();
    worker.SubmitRequest({1, 4, start, 5, nullptr});
    ASSERT_TRUE(log.waitFor([&](const auto&) { return host.completions() > before; }));
    const std::uint8_t* data = worker.TakeReply(count);
    ASSERT_NE(data, nullptr) << "registers from " << start;
    ASSERT_EQ(count, 10);
    EXPECT_TRUE(std::equal(data, data + 10, wire.begin() + 2 * start));
  }
  // Channel 1 at 23.4 °C travels as 234 = EA 00, low byte first; channel 3's failed
  // sensor as -32000 = 00 83.
  EXPECT_EQ(wire[0], 0xEA);
  EXPECT_EQ(wire[1], 0x00);
  EXPECT_EQ(wire[4], 0x00);
  EXPECT_EQ(wire[5], 0x83);
}

TEST_F(StationWindowTest, TheLiveDisplayShowsWhatTheInstrumentMeasures) {
  ASSERT_TRUE(logic.initialise());
  ASSERT_NO_FATAL_FAILURE(startWorker());

  const sim::SimStatus expected = simulator.status();
  auto shown = [&] {
    for (int c = 0; c < 8; ++c) {
      if (!(expected.enabledChannels & (1 << c))) continue;
      const double want = expected.readings[c] <= -32000 ? LowMarker : expected.readings[c] * 0.1;
      if (std::abs(controls.values[c]->value - want) > 1e-9 || controls.values[c]->color != 255)
        return false;
    }
    return controls.adcFailure.lit;
  };
  ASSERT_TRUE(runUntil(shown, 10s)) << "the live values never matched the instrument";

  const PollItems& items = logic.items();
  EXPECT_DOUBLE_EQ(items.temperatures[0], 23.4);
  EXPECT_EQ(items.temperatures[2], LowMarker);
  EXPECT_EQ(items.enabledChannels, expected.enabledChannels);
  EXPECT_EQ(items.regulationOutputs, expected.regulationOutputs);
  EXPECT_EQ(items.alarmOutputs, expected.alarmOutputs);
  EXPECT_EQ(items.statusFlags, expected.statusFlags);
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(controls.regulation[c]->lit, bool(expected.regulationOutputs & (1 << c))) << c;
    EXPECT_EQ(controls.alarm[c]->lit, bool(expected.alarmOutputs & (1 << c))) << c;
  }
  EXPECT_TRUE(controls.visibility.visible(1068));  // the error group, for the ADC failure
  EXPECT_TRUE(messages.shown.empty());             // current-values reads never prompt
}

TEST_F(StationWindowTest, AnInstrumentThatFallsSilentBlanksTheDisplayWithoutAPrompt) {
  ASSERT_NO_FATAL_FAILURE(startStation(10s));

  sim::FaultConfig faults;
  faults[sim::Fault::Silence] = 1.0;
  simulator.setFaults(faults);
  ASSERT_TRUE(runUntil([&] { return controls.values[0]->color == 0; }, 20s));
  EXPECT_EQ(logic.items().temperatures[0], LowMarker);
  EXPECT_TRUE(messages.shown.empty());

  simulator.setFaults({});
  EXPECT_TRUE(runUntil([&] { return controls.values[0]->color == 255; }, 20s));
}

}  // namespace
}  // namespace km8
