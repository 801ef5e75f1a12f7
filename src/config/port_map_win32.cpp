#include <string>

#include "config/port_map.h"

namespace km8 {

// On Windows the port names are the devices.
PortMap::PortMap() {
  for (int i = 0; i < kPortCount; ++i) paths_[i] = "COM" + std::to_string(i + 1);
}

}  // namespace km8
