// The station's core end to end: the real link worker and serial port talk to the
// instrument simulator over a pseudo-terminal; the poll cycle decodes what it says.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>

#include "link/link_worker.h"
#include "monitor/main_window_logic.h"
#include "simulator.h"
#include "support/fake_features.h"
#include "support/framing_under_test.h"
#include "support/link_fakes.h"
#include "support/recording_controls.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using namespace std::chrono_literals;

// The instrument as the tests set it up: frozen time, no noise, known temperatures,
// one sensor below its range and an ADC failure reported.
sim::SimConfig frozenInstrument() {
  sim::SimConfig config;
  config.timeScale = 0.0;
  config.instrument.thermal.noiseC = 0.0;
  return config;
}

class StationCoreTest : public ::testing::Test {
 protected:
  StationCoreTest() : simulator(frozenInstrument()), timing(log, 1), host(log) {
    std::string error;
    if (!simulator.startOnNewPty(&error)) throw std::runtime_error(error);
    simulator.withInstrument([](sim::Instrument& instrument) {
      const double temperatures[8] = {23.4, -5.5, 0.0, 150.0, 99.9, 20.0, 45.6, 300.1};
      for (int c = 0; c < 8; ++c) instrument.thermal().setTemperature(c, temperatures[c]);
      instrument.thermal().setSensorState(2, sim::SensorState::BelowRange);
      instrument.setStatusFlag(sim::kStatusAdcFailure, true);
      instrument.sampleNow();
    });
    ports.setDevicePath(1, simulator.devicePath());  // COM2, the default port
    settings.set(&AppSettings::FastFraming, test::FastFramingUnderTest());
  }

  ~StationCoreTest() override {
    if (worker) {
      worker->Stop();
      worker->waitForExit(10s);
    }
  }

  void startWorker() {
    worker = std::make_unique<LinkWorker>(settings, ports, host, timing);
    ASSERT_TRUE(worker->start());
    worker->RequestReconfigure();
  }

  sim::Simulator simulator;
  PortMap ports;
  SharedSettings settings;
  test::WorkerLog log;
  test::LoggingTiming timing;
  test::RecordingLinkHost host;
  std::unique_ptr<LinkWorker> worker;
};

TEST_F(StationCoreTest, TheWorkerReadsTheCurrentValuesAsTheInstrumentSendsThem) {
  startWorker();
  ASSERT_TRUE(log.waitFor([&](const auto&) { return host.completions() >= 1; }));
  std::uint8_t count = 0;
  (void)worker->TakeReply(count);

  const auto wire = simulator.withInstrument([](sim::Instrument& i) { return i.currentValues(); });
  for (std::uint16_t start : {0, 5}) {
    const int before = host.completions();
    worker->SubmitRequest({1, 4, start, 5, nullptr});
    ASSERT_TRUE(log.waitFor([&](const auto&) { return host.completions() > before; }));
    const std::uint8_t* data = worker->TakeReply(count);
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

// The main window's logic, with recording controls in place of the widgets, driven
// as the user-interface thread drives it: completions and 110 ms timer ticks.
class StationWindowTest : public StationCoreTest {
 protected:
  StationWindowTest()
      : logic(*this->mailbox(), settings, controls.wiring(), window, messages,
              MainWindowCallbacks{[this] { host.published = true; }, [] {}, [](int) {}}) {}

  LinkMailbox* mailbox() {
    worker = std::make_unique<LinkWorker>(settings, ports, host, timing);
    return worker.get();
  }

  // Runs the user-interface side until done() holds or `limit` passes.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    auto nextTick = std::chrono::steady_clock::now();
    int handled = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      if (std::chrono::steady_clock::now() >= nextTick) {
        logic.onTimer(MainWindowLogic::kTimerId);
        nextTick += 110ms;
      }
      log.waitFor([&](const auto&) { return host.completions() > handled; }, 10ms);
      while (handled < host.completions()) {
        ++handled;
        logic.onLinkDone();
      }
    }
    return done();
  }

  test::EventLog uiLog;
  test::MainWindowControls controls{&uiLog};
  test::FakeMainWindowHost window{&uiLog};
  test::ScriptedMessageHost messages{&uiLog};
  MainWindowLogic logic;
};

TEST_F(StationWindowTest, TheLiveDisplayShowsWhatTheInstrumentMeasures) {
  ASSERT_TRUE(logic.initialise());
  ASSERT_TRUE(worker->start());
  worker->RequestReconfigure();

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
  ASSERT_TRUE(runUntil(shown)) << "the live values never matched the instrument";

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
  ASSERT_TRUE(logic.initialise());
  ASSERT_TRUE(worker->start());
  worker->RequestReconfigure();
  ASSERT_TRUE(runUntil([&] { return controls.values[0]->color == 255; }));

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
