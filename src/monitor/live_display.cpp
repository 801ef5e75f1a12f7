#include "monitor/live_display.h"

#include <stdexcept>
#include <string>

namespace km8 {

namespace {

bool bit(std::uint8_t byte, int i) { return (byte >> i) & 1u; }

}  // namespace

LiveDisplay::LiveDisplay(PollItems& items, const LiveDisplayControls& controls)
    : items_(items), controls_(controls) {
  for (const ChannelRowControls& row : controls_.rows) {
    if (!row.label || !row.value || !row.regulationLed || !row.alarmLed) {
      throw std::invalid_argument("LiveDisplay: a channel row control is missing");
    }
  }
  if (!controls_.generalAlarmLed || !controls_.setpointErrorLed || !controls_.archiveErrorLed ||
      !controls_.adcFailureLed || !controls_.transferLed || !controls_.visibility) {
    throw std::invalid_argument("LiveDisplay: a status control is missing");
  }
}

void LiveDisplay::ShowChannel(int channel) {
  if (channel < 0 || channel >= kChannelCount) return;
  const ChannelRowControls& row = controls_.rows[channel];
  if (bit(items_.enabledChannels, channel)) {
    row.value->setSegmentColor(kSegmentsLit);
    row.value->setValue(items_.temperatures[channel]);  // markers included, as decoded
    row.regulationLed->setLit(bit(items_.regulationOutputs, channel));
    row.alarmLed->setLit(bit(items_.alarmOutputs, channel));
    row.label->setCaption(std::to_string(channel + 1));
  } else {
    // Switched off in the instrument: the last value stays, dark.
    row.value->setSegmentColor(kSegmentsDark);
    row.regulationLed->setLit(false);
    row.alarmLed->setLit(false);
    row.label->setCaption(" ");
  }
}

void LiveDisplay::BlankChannels(int first, int count) {
  const int begin = first < 0 ? 0 : first;
  const int end = first + count > kChannelCount ? kChannelCount : first + count;
  for (int i = begin; i < end; ++i) controls_.rows[i].value->setSegmentColor(kSegmentsDark);
  for (int i = begin; i < end; ++i) controls_.rows[i].regulationLed->setLit(false);
  for (int i = begin; i < end; ++i) controls_.rows[i].alarmLed->setLit(false);
}

void LiveDisplay::ShowStatus(bool success) {
  const std::uint8_t flags = items_.statusFlags;
  controls_.generalAlarmLed->setLit(bit(flags, 0));
  controls_.setpointErrorLed->setLit(bit(flags, 1));
  controls_.adcFailureLed->setLit(bit(flags, 2));
  controls_.archiveErrorLed->setLit(bit(flags, 3));
  // After a failed read the flags are 0, but that says nothing about the instrument:
  // the group keeps its visibility.
  if (!success) return;
  const bool anyError = (flags & 0x0E) != 0;
  if (anyError == items_.errorGroupShown) return;
  items_.errorGroupShown = anyError;
  for (int id : kErrorGroupControls) controls_.visibility->setControlVisible(id, anyError);
}

void LiveDisplay::TransferLedReply(bool success) {
  if (success) {
    if (transferLedTicks_ == 0 || transferLedTicks_ >= kRelightTicks) {
      transferLedTicks_ = 1;
      controls_.transferLed->setLit(true);
    }
    return;
  }
  if (transferLedTicks_ != 0) controls_.transferLed->setLit(false);
  transferLedTicks_ = 0;
}

void LiveDisplay::TransferLedTick() {
  if (transferLedTicks_ == 0) return;
  // Past the relight count the exact value no longer matters; stopping there keeps a
  // station that never hears back from running the counter over.
  if (transferLedTicks_ < kRelightTicks) ++transferLedTicks_;
  if (transferLedTicks_ == kLitTicks + 1) controls_.transferLed->setLit(false);
}

}  // namespace km8
