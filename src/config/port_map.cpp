#include "config/port_map.h"

#include <utility>

namespace km8 {

PortMap::PortMap(const std::array<std::string, kPortCount>& paths) : paths_(paths) {}

std::string PortMap::devicePath(unsigned index) const {
  if (index >= static_cast<unsigned>(kPortCount)) return {};
  std::lock_guard lock(mutex_);
  return paths_[index];
}

void PortMap::setDevicePath(unsigned index, std::string path) {
  if (index >= static_cast<unsigned>(kPortCount)) return;
  std::lock_guard lock(mutex_);
  paths_[index] = std::move(path);
}

}  // namespace km8
