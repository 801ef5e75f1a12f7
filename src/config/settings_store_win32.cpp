#include "config/settings_store_win32.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace km8 {
namespace {

constexpr REGSAM kWriteAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;
// A settings value is a few hundred bytes at most; a huge one is not ours.
constexpr DWORD kMaxValueBytes = 1 << 20;

HKEY openKey(HKEY root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

void closeKey(HKEY key) {
  if (key) RegCloseKey(key);
}

StoredValue fromRegistry(DWORD type, std::vector<std::uint8_t> data) {
  switch (type) {
    case REG_BINARY:
      return {ValueType::Binary, std::move(data)};
    case REG_DWORD:
      return {ValueType::Dword, std::move(data)};
    case REG_SZ: {
      // The text ends at its terminating zero (or at the length the registry reports).
      data.erase(std::find(data.begin(), data.end(), std::uint8_t{0}), data.end());
      return {ValueType::String, std::move(data)};
    }
    default:
      return {ValueType::Other, std::move(data)};
  }
}

std::optional<StoredValue> queryValue(HKEY key, const std::string& name) {
  // A value that grows between the two calls is asked for again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    if (size > kMaxValueBytes) return std::nullopt;
    std::vector<std::uint8_t> data(std::max<DWORD>(size, 1));
    DWORD got = static_cast<DWORD>(data.size());
    const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &got);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return std::nullopt;
    data.resize(got);
    return fromRegistry(type, std::move(data));
  }
  return std::nullopt;
}

void setValues(HKEY key, std::span<const NamedValue> values) {
  for (const auto& [name, value] : values) {
    std::vector<std::uint8_t> data = value.data;
    DWORD type = REG_BINARY;
    switch (value.type) {
      case ValueType::Binary:
        type = REG_BINARY;
        break;
      case ValueType::Dword:
        type = REG_DWORD;
        break;
      case ValueType::String:
        type = REG_SZ;
        data.push_back(0);  // stored with its terminating zero
        break;
      case ValueType::Other:
        continue;
    }
    // One failed value does not stop the others; what was written stays written.
    RegSetValueExA(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                   static_cast<DWORD>(data.size()));
  }
}

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(std::string keyPath, RegistryRoots roots)
    : keyPath_(std::move(keyPath)), roots_(roots) {}

std::optional<StoredValues> RegistrySettingsStore::read(std::span<const std::string> names) {
  auto layers = readLayers(names);
  if (!layers) return std::nullopt;
  StoredValues values;
  for (StoredValues& layer : *layers) values.merge(layer);  // keeps the first layer's value
  return values;
}

std::optional<std::vector<StoredValues>> RegistrySettingsStore::readLayers(
    std::span<const std::string> names) {
  // Reading needs no write access: an ordinary user may read the machine's key.
  const HKEY machine = openKey(roots_.machine, keyPath_, KEY_QUERY_VALUE);
  const HKEY user = openKey(roots_.user, keyPath_, KEY_QUERY_VALUE);
  if (!machine && !user) return std::nullopt;

  std::vector<StoredValues> layers;
  for (const HKEY key : {user, machine}) {
    if (!key) continue;
    StoredValues& values = layers.emplace_back();
    for (const std::string& name : names) {
      if (auto value = queryValue(key, name)) values.insert_or_assign(name, std::move(*value));
    }
  }
  closeKey(machine);
  closeKey(user);
  return layers;
}

bool RegistrySettingsStore::write(std::span<const NamedValue> values) {
  HKEY machine = nullptr;
  HKEY user = nullptr;
  if (createKey(roots_.machine, &machine) == ERROR_SUCCESS) {
    // A user's key left by an earlier save without administrator rights would shadow
    // these values at the next start: it gets them too.
    user = openKey(roots_.user, keyPath_, kWriteAccess);
  } else {
    machine = nullptr;
    if (createKey(roots_.user, &user) != ERROR_SUCCESS) return false;
  }
  if (machine) setValues(machine, values);
  if (user) setValues(user, values);
  closeKey(machine);
  closeKey(user);
  return true;
}

LONG RegistrySettingsStore::createKey(HKEY root, HKEY* key) {
  return RegCreateKeyExA(root, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kWriteAccess,
                         nullptr, key, nullptr);
}

std::unique_ptr<SettingsStore> MakeDefaultSettingsStore() {
  return std::make_unique<RegistrySettingsStore>();
}

}  // namespace km8
