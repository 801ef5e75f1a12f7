// Fakes for settings tests: an in-memory SettingsStore that can be absent (first run) or
// refuse writes, a message host that records every box, and a fully changed AppSettings.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "config/app_settings.h"
#include "config/settings_store.h"
#include "res/message_box.h"

namespace km8::test {

class MemorySettingsStore : public SettingsStore {
 public:
  std::optional<StoredValues> values;  // nullopt: no key yet
  bool writable = true;
  bool portPaths = true;
  std::vector<NamedValue> lastWrite;  // in the order written
  int writeCalls = 0;

  std::optional<StoredValues> read(std::span<const std::string> names) override {
    if (!values) return std::nullopt;
    StoredValues found;
    for (const std::string& name : names)
      if (const auto it = values->find(name); it != values->end()) found.insert(*it);
    return found;
  }

  bool write(std::span<const NamedValue> written) override {
    ++writeCalls;
    if (!writable) return false;
    lastWrite.assign(written.begin(), written.end());
    if (!values) values.emplace();
    for (const auto& [name, value] : written) values->insert_or_assign(name, value);
    return true;
  }

  bool holdsPortPaths() const override { return portPaths; }

  void put(const std::string& name, StoredValue value) {
    if (!values) values.emplace();
    values->insert_or_assign(name, std::move(value));
  }
};

class RecordingMessageHost : public MessageBoxHost {
 public:
  std::vector<Message> shown;

  MessageResult showMessage(const Message& message) override {
    shown.push_back(message);
    return MessageResult::Ok;
  }
};

// Every setting away from its default, so a value that is not saved or not loaded shows.
inline AppSettings ChangedSettings() {
  AppSettings s;
  s.SerialSetup.PortIndex = 8;
  s.SerialSetup.Parity = 2;
  s.SerialSetup.DataBits = 7;
  s.SerialSetup.StopBits = 2;
  s.SerialSetup.BaudRate = 115200;
  s.SerialSetup.TotalTimeoutMs = 213;
  s.SerialSetup.FrameLength = 256;
  s.Timeouts = 9;
  s.PollDelay = 65535;
  s.XAxisHour = 12;
  s.XAxisMin = 59;
  s.XAxisSec = 30;
  s.DeviceID = 247;
  s.ArcNum = 4000;
  s.GraphChannel = 3;
  s.TextAutoOpen = 0;
  s.DisplayRegLines = 0;
  s.DisplaySigLines = 0xFFFFFFFF;
  s.FastFraming = 0;
  s.TextFileName = "/data/Архіви/archive 1.txt";
  s.DataBaseName = "C:\\Station\\Archives.mdb";
  for (int i = 0; i < kPortCount; ++i) s.PortPaths[i] = "/dev/ttyUSB" + std::to_string(i);
  return s;
}

}  // namespace km8::test
