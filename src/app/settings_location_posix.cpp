#include "app/settings_location.h"
#include "config/settings_store_posix.h"

namespace km8 {

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& path, std::string&) {
  if (path.empty()) return MakeDefaultSettingsStore();
  return std::make_unique<FileSettingsStore>(path);
}

std::string PlantSpoolPath(const std::string& settingsPath) {
  std::string folder = settingsPath.empty() ? DefaultSettingsPath() : settingsPath;
  const auto slash = folder.rfind('/');
  folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
  if (folder.empty()) folder = "/";
  return folder + "/km8-plant-spool.sqlite";
}

}  // namespace km8
