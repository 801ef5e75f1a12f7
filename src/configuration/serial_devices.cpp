#include "configuration/serial_devices.h"

#include <algorithm>
#include <cctype>

namespace km8 {
namespace {

bool allDigits(std::string_view s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Drops a trailing "-if00" or "-port0" (udev's interface and port numbers).
bool dropSuffix(std::string_view& name, std::string_view tag) {
  const auto dash = name.rfind('-');
  if (dash == std::string_view::npos) return false;
  const std::string_view last = name.substr(dash + 1);
  if (last.substr(0, tag.size()) != tag || !allDigits(last.substr(tag.size()))) return false;
  name = name.substr(0, dash);
  return true;
}

}  // namespace

std::string AdapterNameOf(std::string_view name) {
  if (const auto dash = name.find('-'); dash != std::string_view::npos && dash <= 4) {
    name = name.substr(dash + 1);  // the bus: "usb-", "pci-"
  }
  while (dropSuffix(name, "if") || dropSuffix(name, "port")) {
  }
  std::string out(name);
  std::replace(out.begin(), out.end(), '_', ' ');
  return out;
}

}  // namespace km8
