// The whole station in one process, as --simulate starts it: StationApp with the real
// link worker and serial port, its settings in a file of a temporary folder, the
// in-process simulator on a pseudo-terminal, and the message boxes scripted.
#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/ui/in_process_simulator.h"
#include "app/ui/station_app.h"
#include "config/app_settings.h"
#include "monitor/ui/main_window.h"
#include "qt/run_events.h"
#include "support/scripted_message_host.h"

namespace km8::test {

class StationSim {
 public:
  using SimulatorStart = std::function<std::unique_ptr<InProcessSimulator>(
      std::uint8_t address, std::uint32_t baud, std::string& error)>;

  StationSim();

  // Writes the settings the station starts with; false when they could not be saved.
  [[nodiscard]] bool saveSettings(const AppSettings& settings);
  // The settings as the station last saved them in its file.
  [[nodiscard]] bool loadSaved(AppSettings& saved) const;
  // Creates and starts the station, its instrument made by `startSimulator`: by default
  // a factory-set one at the station's number and rate. Says what StationApp::start says.
  [[nodiscard]] bool start(SimulatorStart startSimulator = InProcessSimulator::start);
  // Leaves as a user does: the exit question answered, then the worker stopped.
  [[nodiscard]] bool quit();

  sim::Simulator& simulator() { return instrument->simulator(); }
  MainWindow& window() { return *app->mainWindow(); }

  QTemporaryDir dir;
  std::string path;
  ScriptedMessageHost messages;
  InProcessSimulator* instrument = nullptr;  // owned by the app; null until it started
  std::unique_ptr<StationApp> app;           // last: it uses all of the above
};

}  // namespace km8::test
