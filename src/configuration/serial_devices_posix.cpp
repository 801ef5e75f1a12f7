#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "configuration/serial_devices.h"

namespace km8 {
namespace {

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

// Exists and is not a folder (a dangling by-id link is an unplugged adapter).
bool isDevice(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string resolved(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

std::string joined(const std::string& folder, const std::string& name) {
  return (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
}

// The numbered nodes prefix0, prefix1, ... of `names`, in numeric order.
std::vector<std::string> numbered(const std::vector<std::string>& names, std::string_view prefix) {
  std::vector<std::pair<unsigned long, std::string>> found;
  for (const std::string& name : names) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string number = name.substr(prefix.size());
    if (number.size() > 6 || number.find_first_not_of("0123456789") != std::string::npos) continue;
    found.emplace_back(std::stoul(number), name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& [number, name] : found) out.push_back(std::move(name));
  return out;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const SerialDeviceScan& scan) {
  const auto canOpen = [&](const std::string& path) {
    return scan.canOpen ? scan.canOpen(path) : ::access(path.c_str(), R_OK | W_OK) == 0;
  };
  std::vector<SerialDevice> devices;

  std::vector<std::string> byId = namesIn(scan.byIdFolder);
  std::sort(byId.begin(), byId.end());
  for (const std::string& name : byId) {
    const std::string path = joined(scan.byIdFolder, name);
    if (!isDevice(path)) continue;
    devices.push_back({path, AdapterNameOf(name), resolved(path), canOpen(path)});
  }

  const std::vector<std::string> nodes = namesIn(scan.deviceFolder);
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    for (const std::string& name : numbered(nodes, prefix)) {
      const std::string path = joined(scan.deviceFolder, name);
      if (!isDevice(path)) continue;
      devices.push_back({path, {}, {}, canOpen(path)});
    }
  }
  return devices;
}

}  // namespace km8
