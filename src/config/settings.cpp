#include "config/settings.h"

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

namespace km8 {
namespace {

constexpr char kSerialSetupName[] = "RS232Setup";

// The DWORD settings in the order they are stored. Each is cut to its own width on
// loading (a "DeviceID" of 300 becomes 44) and zero-extended on saving.
template <class Settings, class Fn>
void forEachDword(Settings& s, Fn&& fn) {
  fn("Timeouts", s.Timeouts);
  fn("PollDelay", s.PollDelay);
  fn("XAxisHour", s.XAxisHour);
  fn("XAxisMin", s.XAxisMin);
  fn("XAxisSec", s.XAxisSec);
  fn("DeviceID", s.DeviceID);
  fn("ArcNum", s.ArcNum);
  fn("GraphChannel", s.GraphChannel);
  fn("TextAutoOpen", s.TextAutoOpen);
  fn("DisplayRegLines", s.DisplayRegLines);
  fn("DisplaySigLines", s.DisplaySigLines);
  fn("FastFraming", s.FastFraming);
}

template <class Settings, class Fn>
void forEachFileName(Settings& s, Fn&& fn) {
  fn("TextFileName", s.TextFileName);
  fn("DataBaseName", s.DataBaseName);
}

std::string portName(int index) { return "COM" + std::to_string(index + 1); }

std::vector<std::string> valueNames(bool withPorts) {
  std::vector<std::string> names{kSerialSetupName};
  AppSettings probe;
  forEachDword(probe, [&](const char* name, auto&) { names.emplace_back(name); });
  forEachFileName(probe, [&](const char* name, auto&) { names.emplace_back(name); });
  if (withPorts)
    for (int i = 0; i < kPortCount; ++i) names.push_back(portName(i));
  return names;
}

const StoredValue* find(const StoredValues& values, const std::string& name) {
  const auto it = values.find(name);
  return it == values.end() ? nullptr : &it->second;
}

bool fitsText(const StoredValue* v) {
  return v && v->type == ValueType::String && v->data.size() <= kFileNameLimit;
}

}  // namespace

int LoadSettings(AppSettings& settings, SettingsStore& store) {
  const bool withPorts = store.holdsPortPaths();
  const auto values = store.read(valueNames(withPorts));
  if (!values) return 0;

  // Only a whole block counts: a shorter one would leave a mix of old and new fields.
  if (const StoredValue* v = find(*values, kSerialSetupName);
      v && v->type == ValueType::Binary && v->data.size() == SerialSetup::kBytes) {
    SerialSetup::Bytes bytes{};
    std::copy(v->data.begin(), v->data.end(), bytes.begin());
    settings.SerialSetup = SerialSetup::fromBytes(bytes);
  }
  forEachDword(settings, [&](const char* name, auto& field) {
    const StoredValue* v = find(*values, name);
    if (!v) return;
    if (const auto dword = v->asDword())
      field = static_cast<std::remove_reference_t<decltype(field)>>(*dword);
  });
  forEachFileName(settings, [&](const char* name, std::string& field) {
    if (const StoredValue* v = find(*values, name); fitsText(v)) field = v->asText();
  });
  if (withPorts) {
    for (int i = 0; i < kPortCount; ++i) {
      const StoredValue* v = find(*values, portName(i));
      if (fitsText(v) && !v->data.empty()) settings.PortPaths[i] = v->asText();
    }
  }
  return 1;
}

int SaveSettings(const AppSettings& settings, SettingsStore& store, MessageBoxHost& messages) {
  std::vector<NamedValue> values;
  values.emplace_back(kSerialSetupName, StoredValue::binary(settings.SerialSetup.toBytes()));
  forEachDword(settings, [&](const char* name, auto field) {
    values.emplace_back(name, StoredValue::dword(field));
  });
  forEachFileName(settings, [&](const char* name, const std::string& field) {
    values.emplace_back(name, StoredValue::string(field));
  });
  if (store.holdsPortPaths()) {
    for (int i = 0; i < kPortCount; ++i)
      values.emplace_back(portName(i), StoredValue::string(settings.PortPaths[i]));
  }
  if (store.write(values)) return 1;

  messages.showMessage(
      {.text = kSaveFailedText, .caption = kSettingsCaption, .icon = MessageIcon::Error});
  return 0;
}

}  // namespace km8
