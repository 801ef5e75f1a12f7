#include <utility>

#include "app/settings_location.h"
#include "config/settings_store_posix.h"

namespace km8 {

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& path, std::string&) {
  if (path.empty()) return MakeDefaultSettingsStore();
  return std::make_unique<FileSettingsStore>(path);
}

namespace {

// The folder of the settings file and its name.
std::pair<std::string, std::string> settingsFile(const std::string& settingsPath) {
  const std::string path = settingsPath.empty() ? DefaultSettingsPath() : settingsPath;
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? std::string() : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

std::string PlantSpoolPath(const std::string& settingsPath) {
  const auto [folder, name] = settingsFile(settingsPath);
  return folder + "/" + name + ".plant-spool.sqlite";
}

std::string FormerPlantSpoolPath(const std::string& settingsPath) {
  return settingsFile(settingsPath).first + "/km8-plant-spool.sqlite";
}

}  // namespace km8
