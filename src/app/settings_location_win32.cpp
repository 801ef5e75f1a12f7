#include "app/settings_location.h"

namespace km8 {

std::unique_ptr<SettingsStore> OpenSettingsStore(const std::string& path, std::string& error) {
  if (path.empty()) return MakeDefaultSettingsStore();
  error =
      "--settings is not available on Windows: the settings are kept in the registry "
      "(HKEY_LOCAL_MACHINE\\Software\\Kalvetra\\KM410Dlg)";
  return nullptr;
}

}  // namespace km8
