// The whole station in one process: StationApp with the real link worker and serial
// port, the simulator on a pseudo-terminal, the main window offscreen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <cmath>
#include <cstdio>
#include <string>

#include "controls/ui/round_led_widget.h"
#include "controls/ui/seven_segment_widget.h"
#include "qt/station_sim_fixture.h"
#include "support/framing_under_test.h"

namespace km8 {
namespace {

constexpr int kValueIds[] = {1000, 1016, 1017, 1019, 1020, 1021, 1022, 1023};
constexpr int kStatusLedIds[] = {1063, 1066, 1068, 1067};  // bits 0, 1, 2, 3

double shown(std::int16_t raw) {
  if (raw <= -32000) return -10000.0;
  if (raw >= 32000) return 10000.0;
  return raw / 10.0;
}

// Whether every widget agrees with the instrument as it is now.
bool showsInstrument(const MainWindow& w, const sim::SimStatus& s) {
  const BuiltDialog& ui = w.controls();
  for (int i = 0; i < 8; ++i) {
    const auto* value = ui.controlAs<SevenSegmentWidget>(kValueIds[i]);
    if (value->segmentColor() != 255u || std::abs(value->value() - shown(s.readings[i])) > 0.05) {
      return false;
    }
    if (ui.controlAs<RoundLedWidget>(1024 + i)->isLit() != (((s.regulationOutputs >> i) & 1) != 0))
      return false;
    if (ui.controlAs<RoundLedWidget>(1074 + i)->isLit() != (((s.alarmOutputs >> i) & 1) != 0))
      return false;
  }
  for (int bit = 0; bit < 4; ++bit) {
    if (ui.controlAs<RoundLedWidget>(kStatusLedIds[bit])->isLit() !=
        (((s.statusFlags >> bit) & 1) != 0))
      return false;
  }
  const bool anyError = (s.statusFlags & 0x0E) != 0;
  for (int id : {1066, 1071, 1067, 1072, 1068, 1073}) {
    if (ui.control(id)->isHidden() == anyError) return false;
  }
  return true;
}

// What this process writes to standard error while it lives.
class StandardErrorCapture {
 public:
  StandardErrorCapture() : file_(std::tmpfile()), saved_(dup(STDERR_FILENO)) {
    std::fflush(stderr);
    dup2(fileno(file_), STDERR_FILENO);
  }
  ~StandardErrorCapture() {
    restore();
    std::fclose(file_);
  }
  std::string text() {
    restore();
    std::string out;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) out += static_cast<char>(c);
    return out;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_;
};

TEST(StationEndToEnd, TheSimulatorsReadingsOutputsAndStatusShowInTheWindow) {
  test::StationSim station;
  {
    // Instrument 7 at 9600 baud on COM3, whose own device is a USB adapter.
    AppSettings s;
    s.DeviceID = 7;
    s.SerialSetup.PortIndex = 2;
    s.SerialSetup.BaudRate = 9600;
    s.SerialSetup.DataBits = 7;       // forced to 8 at start-up
    s.SerialSetup.FrameLength = 100;  // and to 20
    s.PortPaths[2] = "/dev/ttyUSB0";
    s.FastFraming = test::FastFramingUnderTest();
    s.PlantDatabase = "host=plantdb.invalid dbname=plant";  // never fed with simulated values
    ASSERT_TRUE(station.saveSettings(s));
  }

  QElapsedTimer sinceStart;
  sinceStart.start();
  StandardErrorCapture standardError;
  ASSERT_TRUE(station.start());
  const std::string lines = standardError.text();
  ASSERT_NE(station.instrument, nullptr);
  StationApp& app = *station.app;
  EXPECT_NE(lines.find("plant database is off"), std::string::npos) << lines;
  EXPECT_TRUE(station.window().toolTip().isEmpty()) << "a plant database indicator";
  sim::Simulator& sim = station.simulator();
  EXPECT_EQ(sim.status().address, 7);
  EXPECT_EQ(sim.status().baud, 9600u);
  EXPECT_EQ(app.ports().devicePath(2), sim.devicePath());
  EXPECT_EQ(app.settings().get(&AppSettings::SerialSetup).DataBits, 8);
  EXPECT_EQ(app.settings().get(&AppSettings::SerialSetup).FrameLength, 20u);

  // Distinct temperatures, one sensor below its range.
  sim.withInstrument([](sim::Instrument& instrument) {
    for (int i = 0; i < 8; ++i) instrument.thermal().setTemperature(i, 15.0 + 7.5 * i);
    instrument.thermal().setSensorState(2, sim::SensorState::BelowRange);
    instrument.sampleNow();
  });

  MainWindow& window = station.window();
  window.show();
  ASSERT_TRUE(test::runEventsUntil([&] { return window.showsLiveValues(); }, 20000));
  const qint64 firstLiveMs = sinceStart.elapsed();
  std::printf("[ MEASURED ] first live value %lld ms after start-up\n",
              static_cast<long long>(firstLiveMs));
  ::testing::Test::RecordProperty("first_live_value_ms", static_cast<int>(firstLiveMs));

  bool transferLit = false;
  const auto matches = [&] {
    transferLit |= window.controls().controlAs<RoundLedWidget>(1069)->isLit();
    return showsInstrument(window, sim.status());
  };
  ASSERT_TRUE(test::runEventsUntil(matches, 20000));
  EXPECT_EQ(window.controls().controlAs<SevenSegmentWidget>(1017)->value(), -10000.0);
  EXPECT_NE(sim.status().alarmOutputs & 0x04, 0);  // the out-of-range sensor's alarm

  sim.withInstrument([](sim::Instrument& i) { i.setStatusFlag(sim::kStatusAdcFailure, true); });
  ASSERT_TRUE(test::runEventsUntil(
      [&] { return matches() && !window.controls().control(1073)->isHidden(); }, 20000));
  sim.withInstrument([](sim::Instrument& i) { i.setStatusFlag(sim::kStatusAdcFailure, false); });
  ASSERT_TRUE(test::runEventsUntil(
      [&] { return matches() && window.controls().control(1073)->isHidden(); }, 20000));
  EXPECT_TRUE(transferLit);
  EXPECT_TRUE(station.messages.shown.empty());  // no link failure, no port error

  // Leaving through the exit question saves the settings: the port keeps its own path.
  station.messages.answers = {MessageResult::Ok};
  window.close();
  ASSERT_EQ(station.messages.shown.size(), 1u);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(app.shutdown());
  EXPECT_EQ(app.mainWindow(), nullptr);
  EXPECT_EQ(QDir(station.dir.path()).entryList({"*spool*"}, QDir::Files), QStringList());

  AppSettings saved;
  ASSERT_TRUE(station.loadSaved(saved));
  EXPECT_EQ(saved.PortPaths[2], "/dev/ttyUSB0");
  EXPECT_EQ(saved.DeviceID, 7);
  EXPECT_EQ(saved.SerialSetup.DataBits, 8);
}

TEST(StationEndToEnd, ASimulatorThatCannotStartEndsTheStationBeforeItsWindow) {
  test::StationSim station;
  AppSettings s;
  s.SerialSetup.BaudRate = 115200;  // a rate the instrument does not have
  ASSERT_TRUE(station.saveSettings(s));
  std::string reason;
  EXPECT_FALSE(station.start([&](std::uint8_t address, std::uint32_t baud, std::string& error) {
    auto started = InProcessSimulator::start(address, baud, error);
    reason = error;
    return started;
  }));
  StationApp& app = *station.app;
  EXPECT_EQ(app.exitCode(), 1);
  EXPECT_EQ(app.mainWindow(), nullptr);
  EXPECT_NE(reason.find("115200"), std::string::npos);
  EXPECT_TRUE(app.shutdown());
}

}  // namespace
}  // namespace km8
