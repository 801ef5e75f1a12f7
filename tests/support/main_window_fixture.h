// The main window's logic with the real poll cycle and live display, driven through a
// scripted mailbox and recording controls, features and window services.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "config/app_settings.h"
#include "event_log.h"
#include "fake_features.h"
#include "fake_link_mailbox.h"
#include "monitor/main_window_logic.h"
#include "recording_controls.h"
#include "scripted_message_host.h"

namespace km8::test {

class MainWindowFixture : public ::testing::Test {
 protected:
  MainWindowFixture();

  // The link worker completes the outstanding request and posts its message.
  void reply(const std::vector<std::uint8_t>& data);
  void replyFailed();
  void tick(int n = 1);

  // Reply bytes of the current-values halves: temperatures in tenths, low byte first.
  static std::vector<std::uint8_t> lowHalf(std::array<std::int16_t, 5> tenths);
  static std::vector<std::uint8_t> highHalf(std::array<std::int16_t, 3> tenths,
                                            std::uint8_t regulation, std::uint8_t alarms,
                                            std::uint8_t enabled, std::uint8_t status);

  EventLog log;
  FakeLinkMailbox mailbox{&log};
  SharedSettings settings;
  MainWindowControls controls{&log};
  FakeMainWindowHost window{&log};
  ScriptedMessageHost messages{&log};
  RecordingChart chart{&log};
  FakeArchiveReading archive{&log};
  FakeSetpointProgramming programming{&log};
  RecordingFeatureWindows featureWindows{&log};
  int handlePublications = 0;
  int saves = 0;
  std::vector<int> exitCodes;
  MainWindowLogic logic;
};

}  // namespace km8::test
