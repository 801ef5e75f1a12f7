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

// The plant database's two texts: saved only when set, so that a station without the
// feature keeps exactly the values it always had.
constexpr const char* kPlantNames[] = {"PlantDatabase", "StationName"};
template <class Settings, class Fn>
void forEachPlantText(Settings& s, Fn&& fn) {
  fn(kPlantNames[0], s.PlantDatabase);
  fn(kPlantNames[1], s.StationName);
}

std::string portName(int index) { return "COM" + std::to_string(index + 1); }

std::vector<std::string> valueNames(bool withPorts) {
  std::vector<std::string> names{kSerialSetupName};
  AppSettings probe;
  forEachDword(probe, [&](const char* name, auto&) { names.emplace_back(name); });
  forEachFileName(probe, [&](const char* name, auto&) { names.emplace_back(name); });
  for (const char* name : kPlantNames) names.emplace_back(name);
  if (withPorts)
    for (int i = 0; i < kPortCount; ++i) names.push_back(portName(i));
  return names;
}

using Layers = std::vector<StoredValues>;

// The value of the first layer where `name` is well formed: a value of the wrong type or
// size in one layer does not hide a good one below it.
template <class WellFormed>
const StoredValue* find(const Layers& layers, const std::string& name, WellFormed wellFormed) {
  for (const StoredValues& values : layers) {
    const auto it = values.find(name);
    if (it != values.end() && wellFormed(it->second)) return &it->second;
  }
  return nullptr;
}

bool fitsText(const StoredValue& v) {
  return v.type == ValueType::String && v.data.size() <= kFileNameLimit;
}
bool isDword(const StoredValue& v) { return v.asDword().has_value(); }
bool isSerialBlock(const StoredValue& v) {
  return v.type == ValueType::Binary && v.data.size() == SerialSetup::kBytes;
}
bool isPortPath(const StoredValue& v) { return fitsText(v) && !v.data.empty(); }

}  // namespace

int LoadSettings(AppSettings& settings, SettingsStore& store) {
  const bool withPorts = store.holdsPortPaths();
  const auto layers = store.readLayers(valueNames(withPorts));
  if (!layers) return 0;

  // Only a whole block counts: a shorter one would leave a mix of old and new fields.
  if (const StoredValue* v = find(*layers, kSerialSetupName, isSerialBlock)) {
    SerialSetup::Bytes bytes{};
    std::copy(v->data.begin(), v->data.end(), bytes.begin());
    settings.SerialSetup = SerialSetup::fromBytes(bytes);
  }
  forEachDword(settings, [&](const char* name, auto& field) {
    if (const StoredValue* v = find(*layers, name, isDword))
      field = static_cast<std::remove_reference_t<decltype(field)>>(*v->asDword());
  });
  forEachFileName(settings, [&](const char* name, std::string& field) {
    if (const StoredValue* v = find(*layers, name, fitsText)) field = v->asText();
  });
  forEachPlantText(settings, [&](const char* name, std::string& field) {
    if (const StoredValue* v = find(*layers, name, fitsText)) field = v->asText();
  });
  if (withPorts) {
    for (int i = 0; i < kPortCount; ++i) {
      if (const StoredValue* v = find(*layers, portName(i), isPortPath))
        settings.PortPaths[i] = v->asText();
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
  forEachPlantText(settings, [&](const char* name, const std::string& field) {
    if (!field.empty()) values.emplace_back(name, StoredValue::string(field));
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

Message SettingsUnreadableNotice(const std::string& reason) {
  return {.text = std::string(kLoadFailedText) + "\n" + reason,
          .caption = kSettingsCaption,
          .icon = MessageIcon::Warning};
}

}  // namespace km8
