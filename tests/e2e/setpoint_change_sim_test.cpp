// The setpoint change end to end: the main window's logic and the workflow drive the
// real link worker and serial port against the instrument simulator over a pty.
#include <gtest/gtest.h>

#include <chrono>

#include "e2e/station_core_sim_fixture.h"
#include "setpoints/setpoint_programming.h"
#include "support/setpoint_fakes.h"

namespace km8 {
namespace {

class SetpointChangeTest : public test::StationCoreSimTest {
 protected:
  static sim::SimConfig instrument() {
    sim::SimConfig config = test::frozenInstrument();
    config.instrument.accessCode = "3142";
    return config;
  }

  SetpointChangeTest()
      : StationCoreSimTest(instrument()),
        workflow(block, logic.pollCycle(), settings, window, messages,
                 ProgrammingServices{[this] { worker.RequestReconfigure(); }, [this] { ++saves; },
                                     [](std::chrono::milliseconds) {}}) {
    workflow.attachViews(progress, dialogs);
    logic.attachSetpointProgramming(workflow);
  }

  SetpointBlock block;
  test::RecordingProgressView progress;
  test::ScriptedDialogs dialogs;
  int saves = 0;
  SetpointProgramming workflow;
};

TEST_F(SetpointChangeTest, TheRightCodeChangesTheInstrumentAndTheStationFollowsIt) {
  ASSERT_NO_FATAL_FAILURE(startStation());
  dialogs.code = "3142";
  dialogs.edit = [](SetpointBlock& b) {
    ChannelSetpoints channel = b.channel(2);
    channel.setpoint = 455;  // 45.5 °C
    b.setChannel(2, channel);
    b.setInstrumentNumber(7);
    b.setBaudIndex(3);  // 9600
  };
  workflow.start();
  ASSERT_TRUE(runUntil([&] {
    return settings.get(&AppSettings::DeviceID) == 7 && !progress.shown;
  })) << "the change did not complete";

  const sim::SimStatus status = simulator.status();
  EXPECT_EQ(status.address, 7);
  EXPECT_EQ(status.baud, 9600u);
  EXPECT_EQ(status.counters.codesAccepted, 1u);
  const sim::SetpointImage image =
      simulator.withInstrument([](sim::Instrument& i) { return i.block(); });
  EXPECT_EQ(image.channel(2).setpoint, 455);
  EXPECT_EQ(image.channel(0).setpoint, block.channel(0).setpoint);  // untouched, written back
  EXPECT_EQ(settings.get(&AppSettings::SerialSetup).BaudRate, 9600u);
  EXPECT_EQ(saves, 2);
  EXPECT_TRUE(messages.shown.empty());

  // The station goes on polling at the new number and rate.
  controls.values[0]->color = 0;
  const auto repliesBefore = simulator.status().repliesSent;
  EXPECT_TRUE(runUntil([&] {
    return simulator.status().repliesSent > repliesBefore + 4 && controls.values[0]->color == 255;
  }));
}

TEST_F(SetpointChangeTest, AWrongCodeIsRefusedAndCostsOneAttempt) {
  ASSERT_NO_FATAL_FAILURE(startStation());
  auto archivePeriod = [&] {
    return simulator.withInstrument([](sim::Instrument& i) { return i.block().archivePeriod(); });
  };
  const std::uint8_t attempts = simulator.status().attemptsLeft;
  const std::uint8_t period = archivePeriod();
  dialogs.code = "1111";
  dialogs.edit = [](SetpointBlock& b) { b.setArchivePeriod(77); };
  workflow.start();
  ASSERT_TRUE(runUntil([&] { return !messages.shown.empty(); }));

  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Невiрний код доступу !");
  EXPECT_EQ(block.attemptsLeft(), attempts);  // as read before the change
  EXPECT_EQ(simulator.status().attemptsLeft, attempts - 1);
  EXPECT_EQ(simulator.status().counters.codesRefused, 1u);
  EXPECT_EQ(archivePeriod(), period);  // the written block was not taken
  EXPECT_FALSE(progress.shown);
  EXPECT_EQ(settings.get(&AppSettings::DeviceID), 1);
  EXPECT_EQ(saves, 0);
}

}  // namespace
}  // namespace km8
