#include "app/settings_location.h"
#include "config/settings_store_posix.h"

namespace km8 {

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& path, std::string&) {
  if (path.empty()) return MakeDefaultSettingsStore();
  return std::make_unique<FileSettingsStore>(path);
}

}  // namespace km8
