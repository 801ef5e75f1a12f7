#include "config/settings.h"
#include "config/settings_store_posix.h"
#include "qt/station_sim_fixture.h"

namespace km8::test {

StationSim::StationSim() : path(dir.filePath("km8.conf").toStdString()) {}

bool StationSim::saveSettings(const AppSettings& settings) {
  FileSettingsStore store(path);
  ScriptedMessageHost quiet;
  return SaveSettings(settings, store, quiet) != 0;
}

bool StationSim::loadSaved(AppSettings& saved) const {
  FileSettingsStore store(path);
  return LoadSettings(saved, store) != 0;
}

bool StationSim::start(SimulatorStart startSimulator) {
  StationApp::Setup setup;
  setup.options.simulate = true;
  setup.options.settingsPath = path;
  setup.store = std::make_unique<FileSettingsStore>(path);
  setup.messages = &messages;
  setup.startSimulator = [this, make = std::move(startSimulator)](
                             std::uint8_t address, std::uint32_t baud, std::string& error) {
    auto started = make(address, baud, error);
    instrument = started.get();
    return std::unique_ptr<SimulatedInstrument>(std::move(started));
  };
  app = std::make_unique<StationApp>(std::move(setup));
  return app->start();
}

bool StationSim::quit() {
  messages.answers = {MessageResult::Ok};
  window().close();
  return app->shutdown();
}

}  // namespace km8::test
