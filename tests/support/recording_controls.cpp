#include "recording_controls.h"

#include <cstdio>

namespace km8::test {

void RecordingLabel::setCaption(const std::string& text) {
  caption = text;
  note(log_, "label " + std::to_string(id_) + " '" + text + "'");
}

void RecordingLed::setLit(bool on) {
  lit = on;
  note(log_, "led " + std::to_string(id_) + (on ? " on" : " off"));
}

void RecordingValue::setValue(double v) {
  value = v;
  ++valueWrites;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  note(log_, "value " + std::to_string(id_) + " = " + text);
}

void RecordingValue::setSegmentColor(ColorRef c) {
  color = c;
  note(log_, "value " + std::to_string(id_) + " color " + std::to_string(c));
}

void RecordingVisibility::setControlVisible(int id, bool visible) {
  state[id] = visible;
  note(log_, (visible ? "show " : "hide ") + std::to_string(id));
}

bool RecordingVisibility::visible(int id) const {
  auto it = state.find(id);
  return it != state.end() && it->second;
}

MainWindowControls::MainWindowControls(EventLog* log)
    : generalAlarm(1063, log),
      setpointError(1066, log),
      archiveError(1067, log),
      adcFailure(1068, log),
      transfer(1069, log),
      visibility(log) {
  for (int i = 0; i < 8; ++i) {
    labels[i] = std::make_unique<RecordingLabel>(kLabelIds[i], log, std::to_string(i + 1));
    values[i] = std::make_unique<RecordingValue>(kValueIds[i], log);
    regulation[i] = std::make_unique<RecordingLed>(kRegulationIds[i], log);
    alarm[i] = std::make_unique<RecordingLed>(kAlarmIds[i], log);
  }
}

LiveDisplayControls MainWindowControls::wiring() {
  LiveDisplayControls c;
  for (int i = 0; i < 8; ++i) {
    c.rows[i] = {labels[i].get(), values[i].get(), regulation[i].get(), alarm[i].get()};
  }
  c.generalAlarmLed = &generalAlarm;
  c.setpointErrorLed = &setpointError;
  c.archiveErrorLed = &archiveError;
  c.adcFailureLed = &adcFailure;
  c.transferLed = &transfer;
  c.visibility = &visibility;
  return c;
}

}  // namespace km8::test
