#include "config/app_settings.h"

namespace km8 {

std::array<std::string, kPortCount> AppSettings::DefaultPortPaths() {
  std::array<std::string, kPortCount> paths;
  for (int i = 0; i < kPortCount; ++i) paths[i] = "/dev/ttyS" + std::to_string(i);
  return paths;
}

}  // namespace km8
