// The station's command line: running against the built-in simulator, another settings
// file, help and version, and the developer's screenshot option.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace km8 {

struct StationOptions {
  bool simulate = false;     // --simulate
  std::string settingsPath;  // --settings PATH; empty: the platform's own place
  bool help = false;         // --help, -h
  bool version = false;      // --version
  // --screenshot SECONDS:PATH: save the main window after that many seconds, once it
  // shows live values, and end.
  int screenshotAfterSeconds = -1;
  std::string screenshotPath;
  // --trace FILE: one line per transaction on the line; "-" is standard error.
  std::string tracePath;
  // --plant-db CONNINFO: the plant database for this run, in place of PlantDatabase.
  std::optional<std::string> plantDatabase;

  bool operator==(const StationOptions&) const = default;
};

// The arguments after the program name. nullopt and a one-line `error` for an unknown
// option, a missing or malformed value, or an option given twice.
std::optional<StationOptions> ParseStationCommandLine(std::span<const std::string> args,
                                                      std::string& error);

std::string StationUsage();

// Exit code for a command line that cannot be used.
inline constexpr int kUsageExitCode = 2;

}  // namespace km8
