#include "app/station_options.h"

#include <charconv>

namespace km8 {
namespace {

constexpr int kMaxScreenshotSeconds = 3600;

bool parseScreenshot(const std::string& value, StationOptions& options) {
  const auto colon = value.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == value.size()) return false;
  int seconds = 0;
  const char* first = value.data();
  const char* last = value.data() + colon;
  const auto [end, ec] = std::from_chars(first, last, seconds);
  if (ec != std::errc{} || end != last || seconds < 0 || seconds > kMaxScreenshotSeconds) {
    return false;
  }
  options.screenshotAfterSeconds = seconds;
  options.screenshotPath = value.substr(colon + 1);
  return true;
}

}  // namespace

std::optional<StationOptions> ParseStationCommandLine(std::span<const std::string> args,
                                                      std::string& error) {
  StationOptions options;
  bool settingsGiven = false;
  bool screenshotGiven = false;
  bool traceGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name.resize(eq);
    }
    const bool takesValue =
        name == "--settings" || name == "--screenshot" || name == "--trace" || name == "--plant-db";
    if (!takesValue && inlineValue) {
      error = "option " + name + " takes no value";
      return std::nullopt;
    }
    std::string value;
    if (takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = "option " + name + " needs a value";
        return std::nullopt;
      }
    }

    if (name == "--simulate") {
      options.simulate = true;
    } else if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else if (name == "--settings") {
      if (settingsGiven || value.empty()) {
        error = settingsGiven ? "option --settings given twice" : "option --settings needs a path";
        return std::nullopt;
      }
      settingsGiven = true;
      options.settingsPath = value;
    } else if (name == "--screenshot") {
      if (screenshotGiven || !parseScreenshot(value, options)) {
        error = screenshotGiven ? "option --screenshot given twice"
                                : "option --screenshot needs SECONDS:PATH, e.g. 10:shot.png";
        return std::nullopt;
      }
      screenshotGiven = true;
    } else if (name == "--trace") {
      if (traceGiven || value.empty()) {
        error = traceGiven ? "option --trace given twice" : "option --trace needs a file or -";
        return std::nullopt;
      }
      traceGiven = true;
      options.tracePath = value;
    } else if (name == "--plant-db") {
      if (options.plantDatabase) {
        error = "option --plant-db given twice";
        return std::nullopt;
      }
      options.plantDatabase = value;  // empty: off for this run
    } else if (name.starts_with("-")) {
      error = "unknown option " + name;
      return std::nullopt;
    } else {
      error = "unexpected argument " + name;
      return std::nullopt;
    }
  }
  return options;
}

std::string StationUsage() {
  return R"(Usage: km8-station [OPTION]...
The KM-8 station: monitors and configures a KM410-8 temperature regulator over a
serial line (Modbus RTU).

  --simulate            run against the built-in instrument simulator: the configured
                        COM port opens a pseudo-terminal served by a simulated KM410-8
                        (its instrument number and baud rate) for this run only; the
                        settings keep their own port paths
  --settings PATH       use this settings file instead of
                        $XDG_CONFIG_HOME/km8/km8.conf (~/.config/km8/km8.conf);
                        not available on Windows, where the settings are in the registry
  --screenshot SECONDS:PATH
                        developer aid: after SECONDS, as soon as live values show,
                        save a picture of the main window to PATH and end
  --trace FILE          write every transaction on the line to FILE (- for standard
                        error): time, request and reply bytes, outcome, attempt
  --plant-db CONNINFO   feed the plant database given by this libpq connection string
                        or postgresql:// URI for this run, in place of the PlantDatabase
                        setting (an empty CONNINFO turns it off); never put a password
                        in it: use ~/.pgpass, a service file, peer or certificates
  -h, --help            show this help and end
  --version             show the version and end

Without options the station opens the configured COM port with its saved settings.
Qt's own options are not taken on the command line; use its environment variables
(for instance QT_QPA_PLATFORM=offscreen).
)";
}

}  // namespace km8
