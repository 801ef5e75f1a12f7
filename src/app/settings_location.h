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

}  // namespace km8
