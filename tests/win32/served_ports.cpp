#include "win32/served_ports.h"

#include <cstdlib>
#include <sstream>

namespace km8::test {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::optional<ServedPorts> ServedPorts::fromEnvironment() {
  ServedPorts ports;
  ports.responder = environment("KM8_LINE_RESPONDER");
  ports.simulator = environment("KM8_SIMULATOR_PORT");
  ports.missing = environment("KM8_MISSING_PORT");
  std::istringstream list(environment("KM8_SCRIPTED_PORTS"));
  for (std::string name; std::getline(list, name, ',');) ports.scripted.push_back(name);

  if (ports.responder.find(':') == std::string::npos || ports.scripted.size() < 2) return {};
  for (const std::string& name : ports.scripted)
    if (portIndexOf(name) == 255) return {};
  if (portIndexOf(ports.simulator) == 255 || portIndexOf(ports.missing) == 255) return {};
  return ports;
}

bool SkipsForbidden() { return !environment("KM8_NO_SKIPS").empty(); }

const char* ServedPorts::missingText() {
  return "no served COM ports: KM8_LINE_RESPONDER, KM8_SCRIPTED_PORTS, KM8_SIMULATOR_PORT and "
         "KM8_MISSING_PORT are not all set (scripts/windows-tests.sh sets them)";
}

std::uint8_t portIndexOf(const std::string& name) {
  if (name.size() != 4 || name.compare(0, 3, "COM") != 0 || name[3] < '1' || name[3] > '9')
    return 255;
  return static_cast<std::uint8_t>(name[3] - '1');
}

SerialSetup lineSetup(const std::string& port, std::uint32_t frameLength, std::uint32_t totalMs,
                      std::uint32_t baud) {
  SerialSetup s;
  s.PortIndex = portIndexOf(port);
  s.FrameLength = frameLength;
  s.TotalTimeoutMs = totalMs;
  s.BaudRate = baud;
  return s;
}

}  // namespace km8::test
