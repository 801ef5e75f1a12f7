// The setpoint editor without its widgets: what each control shows for the current
// channel, and the checked transfer of the controls back into the block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "setpoints/setpoint_block.h"

namespace km8 {

// What the editor's controls hold: the edit fields' texts, the lists' selections (-1 for
// none) and the channel check boxes.
struct EditorFields {
  std::string instrumentNumber;
  std::string archivePeriod;
  std::array<bool, kSetpointChannels> enabled{};
  std::string sensorOffset;
  std::string setpoint;
  std::string alarmHigh;
  std::string alarmLow;
  std::string band;
  std::string pulsePeriod;
  std::string maxPower;
  std::string derivativeTime;
  std::string integralTime;
  int sensorType = -1;
  int controlLaw = -1;
  int baudIndex = -1;

  bool operator==(const EditorFields&) const = default;
};

// A field the transfer refused: the prompt to show and the control to give the focus.
struct EditorRefusal {
  int controlId = 0;
  std::string prompt;
};

// Doubles as the controls show them: the shortest decimal form (25.3, 0, -2.5).
std::string shortestDecimal(double value);

// Works on the block in place; it holds no state beyond the channel being edited.
class SetpointEditorModel {
 public:
  explicit SetpointEditorModel(SetpointBlock& block);

  int channel() const { return channel_; }
  std::string channelHeading() const;  // "Канал № 1"
  const EditorFields& fields() const { return fields_; }

  // Each transfers from the controls first and, when a field is refused, changes nothing
  // and says which. Otherwise ">>" and "<<" store the channel and load the next or the
  // previous one (wrapping); accept stores the channel and the common fields.
  std::optional<EditorRefusal> next(const EditorFields& shown);
  std::optional<EditorRefusal> previous(const EditorFields& shown);
  std::optional<EditorRefusal> accept(const EditorFields& shown);

 private:
  struct Values;
  std::optional<EditorRefusal> transferFrom(const EditorFields& shown, Values& values) const;
  std::optional<EditorRefusal> step(const EditorFields& shown, int delta);
  void loadChannel();
  void storeChannel(const Values& values);

  SetpointBlock& block_;
  int channel_ = 0;
  EditorFields fields_;
};

}  // namespace km8
