// Which device each COM port index (0 = COM1 .. 8 = COM9) opens: "COM1".."COM9" on
// Windows; on POSIX the paths of the settings, or a pseudo-terminal for a run
// against the built-in simulator. Read by the link worker, set by the UI thread.
#pragma once

#include <array>
#include <mutex>
#include <string>

#include "config/app_settings.h"

namespace km8 {

class PortMap {
 public:
  // The platform's defaults: COMn names on Windows, /dev/ttyS(n-1) on POSIX.
  PortMap();
  explicit PortMap(const std::array<std::string, kPortCount>& paths);

  // Empty for an index outside 0..8.
  std::string devicePath(unsigned index) const;
  void setDevicePath(unsigned index, std::string path);

 private:
  mutable std::mutex mutex_;
  std::array<std::string, kPortCount> paths_;
};

}  // namespace km8
