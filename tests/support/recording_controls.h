// Recording stand-ins for the main window's display controls: each keeps its current
// state and logs every change with its control identifier.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>

#include "controls/display_controls.h"
#include "event_log.h"
#include "monitor/live_display.h"

namespace km8::test {

class RecordingLabel : public CaptionLabel {
 public:
  RecordingLabel(int id, EventLog* log, std::string initial)
      : id_(id), log_(log), caption(initial) {}
  void setCaption(const std::string& text) override;
  int id_;
  EventLog* log_;
  std::string caption;
};

class RecordingLed : public RoundLed {
 public:
  RecordingLed(int id, EventLog* log) : id_(id), log_(log) {}
  void setLit(bool on) override;
  int id_;
  EventLog* log_;
  bool lit = false;
};

class RecordingValue : public SevenSegmentValue {
 public:
  RecordingValue(int id, EventLog* log) : id_(id), log_(log) {}
  void setValue(double v) override;
  void setSegmentColor(ColorRef c) override;
  int id_;
  EventLog* log_;
  double value = 0.0;
  ColorRef color = 0;  // black segments from the template
  int valueWrites = 0;
};

class RecordingVisibility : public ControlVisibility {
 public:
  explicit RecordingVisibility(EventLog* log) : log_(log) {}
  void setControlVisible(int id, bool visible) override;
  bool visible(int id) const;  // hidden until shown
  EventLog* log_;
  std::map<int, bool> state;
};

// The main window's live-display controls with their identifiers and initial look:
// captions "1".."8", black segments, LEDs off, the error group hidden.
struct MainWindowControls {
  static constexpr std::array<int, 8> kLabelIds = {1001, 1008, 1009, 1010, 1011, 1012, 1014, 1015};
  static constexpr std::array<int, 8> kValueIds = {1000, 1016, 1017, 1019, 1020, 1021, 1022, 1023};
  static constexpr std::array<int, 8> kRegulationIds = {1024, 1025, 1026, 1027,
                                                        1028, 1029, 1030, 1031};
  static constexpr std::array<int, 8> kAlarmIds = {1074, 1075, 1076, 1077, 1078, 1079, 1080, 1081};

  explicit MainWindowControls(EventLog* log);
  LiveDisplayControls wiring();

  std::array<std::unique_ptr<RecordingLabel>, 8> labels;
  std::array<std::unique_ptr<RecordingValue>, 8> values;
  std::array<std::unique_ptr<RecordingLed>, 8> regulation;
  std::array<std::unique_ptr<RecordingLed>, 8> alarm;
  RecordingLed generalAlarm, setpointError, archiveError, adcFailure, transfer;
  RecordingVisibility visibility;
};

}  // namespace km8::test
