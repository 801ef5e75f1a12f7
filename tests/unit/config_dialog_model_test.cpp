// The configuration dialog's values, field checks and command, without widgets: what it
// shows for odd stored settings, what OK stores, saves and reopens, and what Cancel leaves.
#include "configuration/config_dialog_model.h"

#include <gtest/gtest.h>

#include <functional>

#include "config/settings.h"
#include "support/main_window_fixture.h"
#include "support/settings_fakes.h"

namespace km8 {
namespace {

TEST(ConfigDialogModel, StartingValuesCoverSettingsTheListsCannotShow) {
  AppSettings s = test::ChangedSettings();
  s.SerialSetup.BaudRate = 1000;  // not in the list
  s.SerialSetup.PortIndex = 12;   // beyond COM9
  s.Timeouts = 0;
  ConfigDialogValues v = PrepareConfigDialog(s);
  EXPECT_EQ(v.baudIndex, 7);  // 9600
  EXPECT_EQ(v.portIndex, 1);  // COM2
  EXPECT_EQ(v.attempts, 1);
  EXPECT_EQ(v.delay, 60000u);  // from 65535
  EXPECT_EQ(v.instrumentNumber, 247);
  EXPECT_EQ(v.hours * 10000 + v.minutes * 100 + v.seconds, 125930);
  EXPECT_TRUE(v.alarmLimits);  // any non-zero flag
  EXPECT_FALSE(v.regulationLimits);
  EXPECT_EQ(v.portPaths, s.PortPaths);

  s.SerialSetup.BaudRate = 128000;
  s.SerialSetup.PortIndex = 8;
  v = PrepareConfigDialog(s);
  EXPECT_EQ(v.baudIndex, 15);
  EXPECT_EQ(v.portIndex, 8);
}

TEST(ConfigDialogModel, StoringWritesTheLineFormatAndMendsWhatTheListsLeaveOpen) {
  AppSettings s = test::ChangedSettings();
  ConfigDialogValues v = PrepareConfigDialog(s);
  v.baudIndex = 7;
  v.portIndex = 0;
  v.attempts = 0;
  v.hours = v.minutes = v.seconds = 0;
  v.instrumentNumber = 0;
  v.alarmLimits = false;
  v.regulationLimits = true;
  v.portPaths[0] = "/dev/serial/by-id/usb-x";
  StoreConfigDialog(v, s);
  EXPECT_EQ(s.SerialSetup.BaudRate, 9600u);
  EXPECT_EQ(s.SerialSetup.PortIndex, 0);
  EXPECT_EQ(s.SerialSetup.Parity, 0);
  EXPECT_EQ(s.SerialSetup.StopBits, 0);
  EXPECT_EQ(s.SerialSetup.DataBits, 8);
  EXPECT_EQ(s.SerialSetup.FrameLength, 20u);
  EXPECT_EQ(s.SerialSetup.TotalTimeoutMs, 213u);  // the worker's, untouched
  EXPECT_EQ(s.Timeouts, 0);                       // stored as entered
  EXPECT_EQ(s.XAxisHour + s.XAxisMin, 0);
  EXPECT_EQ(s.XAxisSec, 1);  // an empty span is one second
  EXPECT_EQ(s.DeviceID, 0);
  EXPECT_EQ(s.DisplaySigLines, 0u);
  EXPECT_EQ(s.DisplayRegLines, 1u);
  EXPECT_EQ(s.PortPaths[0], "/dev/serial/by-id/usb-x");
  EXPECT_EQ(s.GraphChannel, 3);  // not the dialog's
  EXPECT_EQ(s.ArcNum, 4000);

  // No list position selected: COM2 at 9600.
  v.baudIndex = v.portIndex = -1;
  v.hours = 200;
  StoreConfigDialog(v, s);
  EXPECT_EQ(s.SerialSetup.BaudRate, 9600u);
  EXPECT_EQ(s.SerialSetup.PortIndex, 1);
  EXPECT_EQ(s.XAxisSec, 0);
}

TEST(ConfigDialogModel, FieldsAreCheckedInOrderAndTheFirstBadOneIsNamedWithItsBounds) {
  const ConfigFieldTexts good{"0", "200", "59", "0", "60000", "255"};
  struct Case {
    std::string ConfigFieldTexts::*field;
    const char* text;
    std::optional<FieldRangeError> error;
  };
  using config_ids::kAttempts, config_ids::kDelay, config_ids::kHours,
      config_ids::kInstrumentNumber, config_ids::kMinutes, config_ids::kSeconds;
  const Case cases[] = {
      {&ConfigFieldTexts::minutes, "60", FieldRangeError{kMinutes, 0, 59}},
      {&ConfigFieldTexts::seconds, "75", FieldRangeError{kSeconds, 0, 59}},
      {&ConfigFieldTexts::hours, "255", std::nullopt},
      {&ConfigFieldTexts::hours, "256", FieldRangeError{kHours, 0, 255}},
      {&ConfigFieldTexts::instrumentNumber, "", FieldRangeError{kInstrumentNumber, 0, 255}},
      {&ConfigFieldTexts::instrumentNumber, "-1", FieldRangeError{kInstrumentNumber, 0, 255}},
      {&ConfigFieldTexts::instrumentNumber, "00000000000000000000007", std::nullopt},
      {&ConfigFieldTexts::delay, "60001", FieldRangeError{kDelay, 0, 60000}},
      {&ConfigFieldTexts::delay, "99999999999999999999999", FieldRangeError{kDelay, 0, 60000}},
      {&ConfigFieldTexts::attempts, "1e2", FieldRangeError{kAttempts, 0, 255}},
      {&ConfigFieldTexts::attempts, " 3", FieldRangeError{kAttempts, 0, 255}},
  };
  for (const Case& c : cases) {
    ConfigFieldTexts texts = good;
    texts.*c.field = c.text;
    ConfigDialogValues v;
    EXPECT_EQ(ReadConfigFields(texts, v), c.error) << c.text;
  }

  ConfigDialogValues v;
  ASSERT_EQ(ReadConfigFields(good, v), std::nullopt);
  EXPECT_EQ(v.instrumentNumber, 0);
  EXPECT_EQ(v.hours, 200);
  EXPECT_EQ(v.minutes, 59);
  EXPECT_EQ(v.delay, 60000u);
  EXPECT_EQ(v.attempts, 255);

  // Two bad fields: the first in exchange order is the one reported.
  ConfigFieldTexts twoBad = good;
  twoBad.attempts = "x";
  twoBad.seconds = "60";
  EXPECT_EQ(ReadConfigFields(twoBad, v)->controlId, kSeconds);
  const Message prompt = FieldRangeMessage({kSeconds, 0, 59});
  EXPECT_NE(prompt.text.find(" 0 "), std::string::npos);
  EXPECT_NE(prompt.text.find(" 59"), std::string::npos);
}

// The dialog as the user leaves it.
class ScriptedConfigView : public ConfigDialogView {
 public:
  std::function<bool(ConfigDialogValues&)> user;
  std::vector<ConfigDialogValues> shown;
  bool runModal(ConfigDialogValues& values) override {
    shown.push_back(values);
    return user(values);
  }
};

class ConfigurationCommandTest : public test::MainWindowFixture {
 protected:
  ConfigurationCommandTest() {
    store.put("DeviceID", StoredValue::dword(5));
    settings.set(&AppSettings::PortPaths, test::ChangedSettings().PortPaths);
    ports.setDevicePath(1, "/dev/pts/7");  // the built-in simulator, for this run
  }

  bool run() {
    return RunConfigurationCommand(view,
                                   {.settings = settings,
                                    .store = store,
                                    .messages = boxes,
                                    .chart = logic.pollCycle().chart(),
                                    .chartChannel = [this] { return logic.items().chartChannel; },
                                    .ports = &ports,
                                    .requestReconfigure =
                                        [this] {
                                          ++reconfigures;
                                          log.add("reconfigure");
                                        }});
  }

  ScriptedConfigView view;
  test::MemorySettingsStore store;
  test::RecordingMessageHost boxes;
  PortMap ports{test::ChangedSettings().PortPaths};
  int reconfigures = 0;
};

TEST_F(ConfigurationCommandTest, CancelAfterEditingLeavesSettingsStoreAndPortAlone) {
  const AppSettings before = settings.snapshot();
  const auto storedBefore = store.values;
  view.user = [](ConfigDialogValues& v) {
    v.baudIndex = 0;
    v.instrumentNumber = 99;
    v.portPaths[1] = "/dev/ttyACM0";
    return false;
  };
  log.clear();
  EXPECT_FALSE(run());
  EXPECT_EQ(settings.snapshot(), before);
  EXPECT_EQ(store.values, storedBefore);
  EXPECT_EQ(store.writeCalls, 0);
  EXPECT_EQ(reconfigures, 0);
  EXPECT_EQ(ports.devicePath(1), "/dev/pts/7");
  EXPECT_TRUE(log.events.empty());
}

TEST_F(ConfigurationCommandTest, OkWithoutChangesReappliesTheChartSavesAndReopensOnce) {
  settings.update([](AppSettings& s) {
    s.SerialSetup.Parity = 2;
    s.SerialSetup.StopBits = 1;
  });
  logic.onGraphChannelButton(1035);  // channel 3 shown
  log.clear();
  view.user = [](ConfigDialogValues&) { return true; };
  EXPECT_TRUE(run());
  EXPECT_EQ(log.events, (std::vector<std::string>{"chart span", "chart update 2", "reconfigure"}));
  EXPECT_EQ(store.writeCalls, 1);
  EXPECT_EQ(reconfigures, 1);
  EXPECT_TRUE(boxes.shown.empty());

  AppSettings saved;
  ASSERT_NE(LoadSettings(saved, store), 0);
  EXPECT_EQ(saved, settings.snapshot());
  EXPECT_EQ(saved.SerialSetup.Parity, 0);  // the fixed line format
  EXPECT_EQ(saved.SerialSetup.StopBits, 0);
  EXPECT_EQ(saved.GraphChannel, 2);
  // The unchanged mapping of COM2 does not undo this run's simulator port.
  EXPECT_EQ(ports.devicePath(1), "/dev/pts/7");
}

TEST_F(ConfigurationCommandTest, ConfirmedValuesAreInForceEvenWhenTheSaveFails) {
  store.writable = false;
  view.user = [](ConfigDialogValues& v) {
    v.baudIndex = 7;
    v.instrumentNumber = 0;  // the broadcast address, accepted as entered
    v.portIndex = 2;
    v.portPaths[2] = "/dev/serial/by-id/usb-FTDI_X-if00-port0";
    return true;
  };
  EXPECT_TRUE(run());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Неможливо зберегти конфігурацію");
  EXPECT_EQ(reconfigures, 1);
  const AppSettings s = settings.snapshot();
  EXPECT_EQ(s.SerialSetup.BaudRate, 9600u);
  EXPECT_EQ(s.SerialSetup.PortIndex, 2);
  EXPECT_EQ(s.PortPaths[2], "/dev/serial/by-id/usb-FTDI_X-if00-port0");
  EXPECT_EQ(ports.devicePath(2), "/dev/serial/by-id/usb-FTDI_X-if00-port0");

  // The poll cycle addresses instrument 0 from now on.
  logic.initialise();
  reply({});
  ASSERT_FALSE(mailbox.submitted().empty());
  EXPECT_EQ(mailbox.last().unitAddress, 0);
}

}  // namespace
}  // namespace km8
