// Turns the poll cycle's readings into the main window's channel rows, status lamps,
// error group and blinking data-transfer lamp.
#pragma once

#include <array>

#include "controls/display_controls.h"
#include "monitor/display_hooks.h"
#include "monitor/poll_items.h"

namespace km8 {

// Shows or hides a control of the main window by its identifier.
class ControlVisibility {
 public:
  virtual ~ControlVisibility() = default;
  virtual void setControlVisible(int controlId, bool visible) = 0;
};

struct ChannelRowControls {
  CaptionLabel* label = nullptr;
  SevenSegmentValue* value = nullptr;
  RoundLed* regulationLed = nullptr;
  RoundLed* alarmLed = nullptr;
};

// The controls the live display drives; all must be set and outlive the display.
struct LiveDisplayControls {
  std::array<ChannelRowControls, kChannelCount> rows{};
  RoundLed* generalAlarmLed = nullptr;   // 1063
  RoundLed* setpointErrorLed = nullptr;  // 1066
  RoundLed* archiveErrorLed = nullptr;   // 1067
  RoundLed* adcFailureLed = nullptr;     // 1068
  RoundLed* transferLed = nullptr;       // 1069
  ControlVisibility* visibility = nullptr;
};

// The error lamps and their captions, shown and hidden together in this order.
inline constexpr std::array<int, 6> kErrorGroupControls = {1066, 1071, 1067, 1072, 1068, 1073};

class LiveDisplay final : public LiveDisplayOps {
 public:
  static constexpr int kLitTicks = 13;      // the lamp goes out on the 14th count
  static constexpr int kRelightTicks = 28;  // a reply relights it from this count on
  static constexpr ColorRef kSegmentsLit = 255;
  static constexpr ColorRef kSegmentsDark = 0;

  // Throws std::invalid_argument if a control is missing.
  LiveDisplay(PollItems& items, const LiveDisplayControls& controls);

  void ShowChannel(int channel) override;
  void BlankChannel(int channel) { BlankChannels(channel, 1); }
  void BlankChannels(int first, int count) override;
  void ShowStatus(bool success) override;
  void TransferLedReply(bool success) override;
  void TransferLedTick();  // every timer tick

  int transferLedTicks() const { return transferLedTicks_; }

 private:
  PollItems& items_;
  LiveDisplayControls controls_;
  int transferLedTicks_ = 0;  // 0: off and idle; else ticks since the lamp was lit
};

}  // namespace km8
