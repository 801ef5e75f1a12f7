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

// The plant database's spool file, beside the settings: in the folder of the settings file
// (the one at `settingsPath`, else the platform's own) on POSIX, and in
// %LOCALAPPDATA%\km8 on Windows, where the settings are in the registry.
std::string PlantSpoolPath(const std::string& settingsPath);

}  // namespace km8
