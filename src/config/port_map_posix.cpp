#include "config/port_map.h"

namespace km8 {

// The device paths the settings start with; the settings file may change them.
PortMap::PortMap() : paths_(AppSettings::DefaultPortPaths()) {}

}  // namespace km8
