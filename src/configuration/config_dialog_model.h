// The configuration dialog without its widgets: the values it shows, how they come from
// and go back to the settings, the checks of its fields, and the command that runs it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/app_settings.h"
#include "config/port_map.h"
#include "config/settings_store.h"
#include "monitor/display_hooks.h"
#include "res/message_box.h"

namespace km8 {

// The baud list of the dialog, position by position; also the table that turns a
// position into a BaudRate and back.
inline constexpr std::array<std::uint32_t, 16> kConfigBaudRates = {
    110,   150,   300,   600,   1200,  2400,  4800,   9600,
    14400, 19200, 28800, 38400, 56000, 57600, 115200, 128000};
inline constexpr int kConfigBaudFallback = 7;  // 9600, for a rate not in the list

// Control identifiers of template 132.
namespace config_ids {
inline constexpr int kInstrumentNumber = 1044;
inline constexpr int kHours = 1045;
inline constexpr int kMinutes = 1046;
inline constexpr int kSeconds = 1047;
inline constexpr int kPortList = 1048;
inline constexpr int kBaudList = 1050;
inline constexpr int kAttempts = 1051;
inline constexpr int kDelay = 1052;
inline constexpr int kRegulationLimits = 1116;
inline constexpr int kAlarmLimits = 1117;
}  // namespace config_ids

// The values the dialog exchanges with its controls. A new set starts with both list
// positions at -1 and everything else at 0.
struct ConfigDialogValues {
  int baudIndex = -1;
  int portIndex = -1;
  std::uint8_t instrumentNumber = 0;
  std::uint8_t hours = 0;
  std::uint8_t minutes = 0;
  std::uint8_t seconds = 0;
  std::uint32_t delay = 0;
  std::uint8_t attempts = 0;
  bool alarmLimits = false;
  bool regulationLimits = false;
  // The device each COM port opens, where the ports are device paths (POSIX); the
  // device chooser changes the entry of the selected port.
  std::array<std::string, kPortCount> portPaths{};

  bool operator==(const ConfigDialogValues&) const = default;
};

// The dialog's starting values: a rate outside the list shows as 9600, a port beyond
// COM9 as COM2, no attempts as one, a pause above 60000 ms as 60000.
ConfigDialogValues PrepareConfigDialog(const AppSettings& settings);

// Writes confirmed values back in the dialog's order, with the fixed line format
// (no parity, 8 data bits, one stop bit, frame length 20). A span of all zeros
// becomes one second.
void StoreConfigDialog(const ConfigDialogValues& values, AppSettings& settings);

// The texts of the six number fields, as typed.
struct ConfigFieldTexts {
  std::string instrumentNumber;
  std::string hours;
  std::string minutes;
  std::string seconds;
  std::string delay;
  std::string attempts;
};

// A field that is not a whole number within its bounds.
struct FieldRangeError {
  int controlId = 0;
  std::uint32_t min = 0;
  std::uint32_t max = 0;

  bool operator==(const FieldRangeError&) const = default;
};

// Reads the fields in the dialog's order into `values`; stops at the first one that is
// empty, not a number or out of range and names it. `values` is then partly updated,
// so callers keep their copy until this succeeds.
std::optional<FieldRangeError> ReadConfigFields(const ConfigFieldTexts& texts,
                                                ConfigDialogValues& values);

// The prompt for such a field, naming its bounds.
Message FieldRangeMessage(const FieldRangeError& error);

// The dialog itself, modal.
class ConfigDialogView {
 public:
  virtual ~ConfigDialogView() = default;
  // Shows `values`; true on OK, with the checked entries written back into them.
  virtual bool runModal(ConfigDialogValues& values) = 0;
};

// What the command changes once the user confirms.
struct ConfigurationTargets {
  SharedSettings& settings;
  SettingsStore& store;
  MessageBoxHost& messages;
  ChartOps& chart;
  std::function<int()> chartChannel;  // the channel selection the chart shows
  // The device of each COM port for the link worker; nullptr where the port names are
  // the devices (Windows).
  PortMap* ports = nullptr;
  std::function<void()> requestReconfigure;
};

// "Конфігурація": shows the dialog on the current settings; on OK stores the values,
// re-applies the chart span and rebuilds the chart, saves the settings (a failed save is
// reported, and the new values stay in force) and has the link worker reopen the port.
// Returns whether the user confirmed.
bool RunConfigurationCommand(ConfigDialogView& dialog, const ConfigurationTargets& targets);

}  // namespace km8
