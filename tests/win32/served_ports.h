// Which COM ports of the wine prefix are served, and by what: scripts/windows-tests.sh
// maps them to pseudo-terminals served natively and says so in the environment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/serial_setup.h"
#include "support/stopwatch.h"

namespace km8::test {

struct ServedPorts {
  std::string responder;              // KM8_LINE_RESPONDER: host:port of km8-line-responder
  std::vector<std::string> scripted;  // KM8_SCRIPTED_PORTS: its COM ports, at least two
  std::string simulator;              // KM8_SIMULATOR_PORT: the COM port km8-sim serves
  std::string missing;                // KM8_MISSING_PORT: a COM port mapped to nothing

  // nullopt unless every variable above is set and well formed.
  static std::optional<ServedPorts> fromEnvironment();
  static const char* missingText();
};

// KM8_NO_SKIPS is set.
bool SkipsForbidden();

// 0 for "COM1" ... 8 for "COM9"; 255 for anything else.
std::uint8_t portIndexOf(const std::string& name);

// A block for one of the served ports; the total time-out is the one the tests wait on.
SerialSetup lineSetup(const std::string& port, std::uint32_t frameLength = 20,
                      std::uint32_t totalMs = 500, std::uint32_t baud = 19200);

}  // namespace km8::test

// Skips the test, or fails it when KM8_NO_SKIPS is set: scripts/windows-tests.sh sets it
// so that CI runs every test or says why not.
#define KM8_SKIP_OR_FAIL(message)                           \
  do {                                                      \
    if (::km8::test::SkipsForbidden()) FAIL() << (message); \
    GTEST_SKIP() << (message);                              \
  } while (false)

// In a fixture's SetUp: leaves `out` set to the served ports, or skips (or fails) the test.
#define KM8_REQUIRE_SERVED_PORTS(out)                                    \
  do {                                                                   \
    out = ::km8::test::ServedPorts::fromEnvironment();                   \
    if (!out) KM8_SKIP_OR_FAIL(::km8::test::ServedPorts::missingText()); \
  } while (false)
