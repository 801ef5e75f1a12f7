// Where the settings live: a store of raw typed values (binary, DWORD, string) under one
// key. Backends only keep bytes; what a value means and when it counts is LoadSettings'.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace km8 {

enum class ValueType : std::uint8_t {
  Binary,  // REG_BINARY
  Dword,   // REG_DWORD: 4 bytes, little-endian
  String,  // REG_SZ: the text, without its terminating zero
  Other,   // any other registry type; never valid for a setting
};

struct StoredValue {
  ValueType type = ValueType::Binary;
  std::vector<std::uint8_t> data;

  static StoredValue binary(std::span<const std::uint8_t> bytes);
  static StoredValue dword(std::uint32_t value);
  static StoredValue string(std::string_view text);

  // The value of a well-formed DWORD (right type, exactly 4 bytes).
  std::optional<std::uint32_t> asDword() const;
  std::string asText() const { return {data.begin(), data.end()}; }

  bool operator==(const StoredValue&) const = default;
};

// Value names compare without regard to ASCII case, as the registry does.
struct ValueNameLess {
  bool operator()(std::string_view a, std::string_view b) const;
  using is_transparent = void;
};

using StoredValues = std::map<std::string, StoredValue, ValueNameLess>;
using NamedValue = std::pair<std::string, StoredValue>;

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The values among `names` that exist. nullopt when there is no key at all (first
  // run) or it cannot be opened for reading.
  virtual std::optional<StoredValues> read(std::span<const std::string> names) = 0;

  // Writes the values in this order. False when the key could not be created or opened
  // for writing, or the values could not be made durable.
  virtual bool write(std::span<const NamedValue> values) = 0;

  // The values among `names` in layers, first layer first: loading takes each setting
  // from the first layer where it is well formed (the registry's user key, then the
  // machine's). nullopt as for read().
  virtual std::optional<std::vector<StoredValues>> readLayers(std::span<const std::string> names);

  // Why the last read found the store present but unreadable (the file and the system's
  // reason); empty when it was readable or absent. Such a store refuses every write, so
  // that defaults never replace settings that could not be read.
  virtual std::string unreadableReason() const { return {}; }

  // Whether the store also keeps the device paths of COM1..COM9 (POSIX only: on
  // Windows the port names are the devices).
  virtual bool holdsPortPaths() const { return false; }
};

// The platform's store: the registry key on Windows, the settings file on POSIX.
std::unique_ptr<SettingsStore> MakeDefaultSettingsStore();

}  // namespace km8
