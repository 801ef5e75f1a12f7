// Which settings store the station uses: the platform's own, or the settings file given
// on the command line where the platform keeps its settings in a file.
#pragma once

#include <memory>
#include <string>

#include "config/settings_store.h"

namespace km8 {

// `path` empty: the platform's store. Otherwise the file at `path`; nullptr and a
// message in `error` where the platform has no settings file (Windows).
std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& path, std::string& error);

// The plant database's spool file, one for each settings: on POSIX beside the settings
// file (the one at `settingsPath`, else the platform's own) and named after it; on
// Windows, where the one set of settings is in the registry, in %LOCALAPPDATA%.
std::string PlantSpoolPath(const std::string& settingsPath);

// The spool that every settings file of a folder shared before each had its own, whose
// rows a station takes over; empty where there was none other (Windows).
std::string FormerPlantSpoolPath(const std::string& settingsPath);

}  // namespace km8
