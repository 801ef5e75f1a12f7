// The station's core against the instrument simulator on a pseudo-terminal: the real
// link worker and serial port, and the main window's logic with recording controls in
// place of the widgets, driven as the user-interface thread drives it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "link/link_worker.h"
#include "monitor/main_window_logic.h"
#include "simulator.h"
#include "support/fake_features.h"
#include "support/link_fakes.h"
#include "support/recording_controls.h"
#include "support/scripted_message_host.h"

namespace km8::test {

// Frozen time and no noise: the instrument says exactly what a test set.
sim::SimConfig frozenInstrument();

class StationCoreSimTest : public ::testing::Test {
 protected:
  // Starts the simulator on a new pty and maps COM2, the default port, to it.
  explicit StationCoreSimTest(const sim::SimConfig& instrument);
  ~StationCoreSimTest() override;

  // The worker's start and its first opening of the port.
  void startWorker();
  // As the main window starts: the logic, then the worker; runs until the first live
  // value shows or `limit` passes.
  void startStation(std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Runs the user-interface side, each completion handed on once and a timer tick every
  // 110 ms, until done() holds or `limit` passes; says which.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(20));

  sim::Simulator simulator;
  PortMap ports;
  SharedSettings settings;
  WorkerLog log;
  LoggingTiming timing;
  RecordingLinkHost host;
  LinkWorker worker;
  EventLog uiLog;
  MainWindowControls controls{&uiLog};
  FakeMainWindowHost window{&uiLog};
  ScriptedMessageHost messages{&uiLog};
  MainWindowLogic logic;

 private:
  int handled_ = 0;  // completions already handed to the logic
};

}  // namespace km8::test
