#include "configuration/config_dialog_model.h"

#include <algorithm>

#include "config/settings.h"

namespace km8 {
namespace {

constexpr std::uint16_t kMaxPollDelay = 60000;

struct FieldRule {
  int controlId;
  const std::string ConfigFieldTexts::*text;
  std::uint32_t max;
};

// In the order the dialog exchanges them.
constexpr FieldRule kFieldRules[] = {
    {config_ids::kInstrumentNumber, &ConfigFieldTexts::instrumentNumber, 255},
    {config_ids::kHours, &ConfigFieldTexts::hours, 255},
    {config_ids::kMinutes, &ConfigFieldTexts::minutes, 59},
    {config_ids::kSeconds, &ConfigFieldTexts::seconds, 59},
    {config_ids::kDelay, &ConfigFieldTexts::delay, kMaxPollDelay},
    {config_ids::kAttempts, &ConfigFieldTexts::attempts, 255},
};

// A whole number of decimal digits no greater than `max`.
std::optional<std::uint32_t> parseField(const std::string& text, std::uint32_t max) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > max) return std::nullopt;  // also keeps a long run of digits from overflowing
  }
  return static_cast<std::uint32_t>(value);
}

void assignField(ConfigDialogValues& values, int controlId, std::uint32_t v) {
  const auto byte = static_cast<std::uint8_t>(v);
  switch (controlId) {
    case config_ids::kInstrumentNumber:
      values.instrumentNumber = byte;
      break;
    case config_ids::kHours:
      values.hours = byte;
      break;
    case config_ids::kMinutes:
      values.minutes = byte;
      break;
    case config_ids::kSeconds:
      values.seconds = byte;
      break;
    case config_ids::kDelay:
      values.delay = v;
      break;
    case config_ids::kAttempts:
      values.attempts = byte;
      break;
    default:
      break;
  }
}

}  // namespace

ConfigDialogValues PrepareConfigDialog(const AppSettings& s) {
  ConfigDialogValues v;
  const auto rate =
      std::find(kConfigBaudRates.begin(), kConfigBaudRates.end(), s.SerialSetup.BaudRate);
  v.baudIndex = rate == kConfigBaudRates.end() ? kConfigBaudFallback
                                               : static_cast<int>(rate - kConfigBaudRates.begin());
  v.portIndex = s.SerialSetup.PortIndex < kPortCount ? s.SerialSetup.PortIndex : 1;
  v.instrumentNumber = s.DeviceID;
  v.hours = s.XAxisHour;
  v.minutes = s.XAxisMin;
  v.seconds = s.XAxisSec;
  v.delay = std::min(s.PollDelay, kMaxPollDelay);
  v.attempts = s.Timeouts == 0 ? 1 : s.Timeouts;
  v.alarmLimits = s.DisplaySigLines != 0;
  v.regulationLimits = s.DisplayRegLines != 0;
  v.portPaths = s.PortPaths;
  return v;
}

void StoreConfigDialog(const ConfigDialogValues& v, AppSettings& s) {
  SerialSetup& line = s.SerialSetup;
  line.PortIndex =
      static_cast<std::uint8_t>(v.portIndex >= 0 && v.portIndex < kPortCount ? v.portIndex : 1);
  line.BaudRate = v.baudIndex >= 0 && v.baudIndex < static_cast<int>(kConfigBaudRates.size())
                      ? kConfigBaudRates[static_cast<std::size_t>(v.baudIndex)]
                      : kConfigBaudRates[kConfigBaudFallback];
  s.Timeouts = v.attempts;  // 0 stays 0; the link worker makes one attempt of it
  // The dialog never lets more than 60000 through; a caller that did is capped, not wrapped.
  s.PollDelay = static_cast<std::uint16_t>(std::min<std::uint32_t>(v.delay, kMaxPollDelay));
  line.Parity = 0;
  line.StopBits = 0;
  line.DataBits = 8;
  line.FrameLength = 20;
  s.XAxisHour = v.hours;
  s.XAxisMin = v.minutes;
  s.XAxisSec = (v.hours == 0 && v.minutes == 0 && v.seconds == 0) ? 1 : v.seconds;
  s.DisplaySigLines = v.alarmLimits ? 1 : 0;
  s.DeviceID = v.instrumentNumber;
  s.DisplayRegLines = v.regulationLimits ? 1 : 0;
  s.PortPaths = v.portPaths;
}

std::optional<FieldRangeError> ReadConfigFields(const ConfigFieldTexts& texts,
                                                ConfigDialogValues& values) {
  for (const FieldRule& rule : kFieldRules) {
    const auto value = parseField(texts.*rule.text, rule.max);
    if (!value) return FieldRangeError{rule.controlId, 0, rule.max};
    assignField(values, rule.controlId, *value);
  }
  return std::nullopt;
}

Message FieldRangeMessage(const FieldRangeError& error) {
  return {.text = "Введіть ціле число від " + std::to_string(error.min) + " до " +
                  std::to_string(error.max) + ".",
          .caption = kSettingsCaption,
          .icon = MessageIcon::Warning};
}

bool RunConfigurationCommand(ConfigDialogView& dialog, const ConfigurationTargets& targets) {
  const ConfigDialogValues shown = PrepareConfigDialog(targets.settings.snapshot());
  ConfigDialogValues values = shown;
  if (!dialog.runModal(values)) return false;

  // One step under the lock: the link worker never sees half of the new line settings.
  targets.settings.update([&](AppSettings& s) { StoreConfigDialog(values, s); });
  if (targets.ports) {
    // Only the ports the user changed: a port pointed elsewhere for this run (the
    // built-in simulator) keeps its device otherwise.
    for (int i = 0; i < kPortCount; ++i) {
      if (values.portPaths[i] != shown.portPaths[i])
        targets.ports->setDevicePath(static_cast<unsigned>(i), values.portPaths[i]);
    }
  }

  targets.chart.ApplyChartSpan();
  targets.chart.UpdateChart(targets.chartChannel());
  // A failed save has told the user; the new values are in force for the run anyway.
  SaveSettings(targets.settings.snapshot(), targets.store, targets.messages);
  if (targets.requestReconfigure) targets.requestReconfigure();
  return true;
}

}  // namespace km8
