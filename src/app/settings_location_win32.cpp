#include <cstdlib>

#include "app/settings_location.h"

namespace km8 {

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& path, std::string& error) {
  if (path.empty()) return MakeDefaultSettingsStore();
  error =
      "--settings is not available on Windows: the settings are kept in the registry "
      "(HKEY_LOCAL_MACHINE\\Software\\Kalvetra\\KM410Dlg)";
  return nullptr;
}

std::string PlantSpoolPath(const std::string&) {
  const char* local = std::getenv("LOCALAPPDATA");
  const std::string folder = local != nullptr && local[0] != '\0' ? local : ".";
  return folder + "\\km8-plant-spool.sqlite";
}

std::string FormerPlantSpoolPath(const std::string&) { return {}; }

}  // namespace km8
