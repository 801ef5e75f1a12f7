// The station's one set of user settings, with their defaults, and the lock-guarded
// cell through which the user-interface thread and the link worker share it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "config/serial_setup.h"

namespace km8 {

inline constexpr int kPortCount = 9;  // COM1 .. COM9

struct AppSettings {
  km8::SerialSetup SerialSetup;
  std::uint8_t Timeouts = 3;    // attempts per transaction
  std::uint16_t PollDelay = 0;  // pause after each transaction, ms
  std::uint8_t XAxisHour = 0;   // strip chart span
  std::uint8_t XAxisMin = 5;
  std::uint8_t XAxisSec = 0;
  std::uint8_t DeviceID = 1;      // instrument number = Modbus slave address
  std::uint16_t ArcNum = 100;     // archive records to read
  std::uint8_t GraphChannel = 8;  // 0..7 one channel, 8 all channels
  std::uint32_t TextAutoOpen = 1;
  std::uint32_t DisplayRegLines = 1;
  std::uint32_t DisplaySigLines = 1;
  // A reply ends as soon as its own length has arrived; 0 waits for the line's
  // inter-character time-out after every reply.
  std::uint32_t FastFraming = 1;
  std::string TextFileName;  // default: ProgramFolder + "/Archives.txt"
  std::string DataBaseName;  // default: ProgramFolder + DatabaseFileRule()'s name
  // The plant database: a libpq connection string or postgresql:// URI; empty: off.
  std::string PlantDatabase;
  std::string StationName;  // the station's name in the plant database; empty: host name
  // Device path of COM1..COM9 on POSIX ("/dev/ttyS0".."/dev/ttyS8" by default);
  // not used on Windows, where the port names are the device names.
  std::array<std::string, kPortCount> PortPaths = DefaultPortPaths();

  static std::array<std::string, kPortCount> DefaultPortPaths();

  bool operator==(const AppSettings&) const = default;
};

// The process-wide settings. Every access takes the lock, so the link worker may read
// SerialSetup, Timeouts and PollDelay (and write its own fields of SerialSetup) while
// the user-interface thread changes them, without a data race. Fields are read one at
// a time with get(), or as a consistent whole with snapshot().
class SharedSettings {
 public:
  SharedSettings() = default;
  explicit SharedSettings(AppSettings initial) : data_(std::move(initial)) {}
  SharedSettings(const SharedSettings&) = delete;
  SharedSettings& operator=(const SharedSettings&) = delete;

  template <class T>
  T get(T AppSettings::*field) const {
    std::lock_guard lock(mutex_);
    return data_.*field;
  }

  template <class T, class V>
  void set(T AppSettings::*field, V&& value) {
    std::lock_guard lock(mutex_);
    data_.*field = std::forward<V>(value);
  }

  AppSettings snapshot() const {
    std::lock_guard lock(mutex_);
    return data_;
  }

  void replace(AppSettings value) {
    std::lock_guard lock(mutex_);
    data_ = std::move(value);
  }

  // Runs fn(AppSettings&) under the lock and returns its result: a read-modify-write
  // that no other thread can interleave with.
  template <class Fn>
  auto update(Fn&& fn) {
    std::lock_guard lock(mutex_);
    return std::forward<Fn>(fn)(data_);
  }

 private:
  mutable std::mutex mutex_;
  AppSettings data_;
};

}  // namespace km8
