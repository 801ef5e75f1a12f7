// The settings in the Windows registry: the station's key under HKEY_LOCAL_MACHINE, or
// the same key under HKEY_CURRENT_USER where an ordinary user may not write the former.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "config/settings_store.h"

namespace km8 {

inline constexpr char kRegistryKeyPath[] = "Software\\Kalvetra\\KM410Dlg";

struct RegistryRoots {
  HKEY machine = HKEY_LOCAL_MACHINE;
  HKEY user = HKEY_CURRENT_USER;
};

class RegistrySettingsStore : public SettingsStore {
 public:
  explicit RegistrySettingsStore(std::string keyPath = kRegistryKeyPath, RegistryRoots roots = {});

  // A value under the user's key wins over the machine's. nullopt when neither key
  // can be opened.
  std::optional<StoredValues> read(std::span<const std::string> names) override;
  // The user's values, then the machine's: a user value of the wrong type or size does
  // not hide a good machine value.
  std::optional<std::vector<StoredValues>> readLayers(std::span<const std::string> names) override;
  // Writes the machine's key, or the user's when the machine's cannot be created or
  // opened for writing. False only when neither can.
  bool write(std::span<const NamedValue> values) override;

 protected:
  // Creates or opens the key under `root` for writing. Overridden by a test to refuse
  // the machine's root, as Windows does for a user without administrator rights.
  virtual LONG createKey(HKEY root, HKEY* key);

  const std::string& keyPath() const { return keyPath_; }
  const RegistryRoots& roots() const { return roots_; }

 private:
  std::string keyPath_;
  RegistryRoots roots_;
};

}  // namespace km8
