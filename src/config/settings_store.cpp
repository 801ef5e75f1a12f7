#include "config/settings_store.h"

#include <algorithm>

namespace km8 {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

StoredValue StoredValue::binary(std::span<const std::uint8_t> bytes) {
  return {ValueType::Binary, {bytes.begin(), bytes.end()}};
}

StoredValue StoredValue::dword(std::uint32_t value) {
  StoredValue v{ValueType::Dword, {}};
  for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return v;
}

StoredValue StoredValue::string(std::string_view text) {
  return {ValueType::String, {text.begin(), text.end()}};
}

std::optional<std::uint32_t> StoredValue::asDword() const {
  if (type != ValueType::Dword || data.size() != 4) return std::nullopt;
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | data[i];
  return v;
}

std::optional<std::vector<StoredValues>> SettingsStore::readLayers(
    std::span<const std::string> names) {
  auto values = read(names);
  if (!values) return std::nullopt;
  return std::vector<StoredValues>{std::move(*values)};
}

bool ValueNameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(lowerAscii(x)) < static_cast<unsigned char>(lowerAscii(y));
  });
}

}  // namespace km8
