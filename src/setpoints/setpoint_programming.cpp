#include "setpoints/setpoint_programming.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "setpoints/access_code.h"

namespace km8 {

Message changeBlockedNotice() {
  return {.text =
              "Змiна уставок даного приладу блокована в зв'язку\nз п'ятикратним вводом невiрного "
              "коду доступу.\nДля розблокування введіть правильний код доступу\nв самому приладi.",
          .caption = kProgrammingCaption,
          .icon = MessageIcon::Warning};
}

Message lastAttemptQuestion() {
  return {.text =
              "Залишилась остання спроба ввести правильний код доступу.\nУ разi невiрного вводу "
              "подальша зміна уставок буде блокована.\nДля розблокування необхiдно буде ввести "
              "правильний код доступу\nв самому приладi.\nПродовжити все-ж таки ?",
          .caption = kProgrammingCaption,
          .buttons = MessageButtons::YesNo,
          .icon = MessageIcon::Question,
          .defaultSecond = true};
}

SetpointProgramming::SetpointProgramming(SetpointBlock& block, PollCycle& poll,
                                         SharedSettings& settings, MainWindowFront& window,
                                         MessageBoxHost& messages, ProgrammingServices services)
    : block_(block),
      poll_(poll),
      settings_(settings),
      window_(window),
      messages_(messages),
      services_(std::move(services)) {}

void SetpointProgramming::attachViews(ProgressView& progress, SetpointDialogs& dialogs) {
  progress_ = &progress;
  dialogs_ = &dialogs;
}

void SetpointProgramming::detachViews() {
  // Nothing more is issued once the window is gone.
  pending_ = false;
  accessCodeDue_ = false;
  active_ = false;
  progress_ = nullptr;
  dialogs_ = nullptr;
}

void SetpointProgramming::showProgress(const char* phase) {
  progress_->setPosition(0);
  progress_->setPhaseCaption(phase);
  showOrFocus();
}

void SetpointProgramming::showOrFocus() {
  if (progress_->isShown()) {
    progress_->focusWindow();
  } else {
    progress_->showWindow();
  }
}

void SetpointProgramming::start() {
  if (progress_ == nullptr) return;
  progress_->setRange(0, 100);
  progress_->setPosition(0);
  progress_->setPhaseCaption(kReadingPhase);
  progress_->centre();
  showOrFocus();
  progress_->focusBar();
  cancelLocked_ = false;
  active_ = true;
  offset_ = 0;
  // A step still in flight belongs to the workflow being replaced; its reply is ignored.
  poll_.discardOutstandingReply(PollCycle::Feature::SetpointProgramming);
  accessCodeDue_ = false;
  packedCode_ = 0;
  writePhase_ = false;
  pending_ = true;
}

void SetpointProgramming::onProgressCancel() {
  if (cancelLocked_) return;
  active_ = false;
  if (progress_ != nullptr) progress_->hideWindow();
}

const std::uint8_t* SetpointProgramming::stepBytes() const {
  return km8::stepBytes(block_, offset_);
}

bool SetpointProgramming::takeAccessCodeDue() { return std::exchange(accessCodeDue_, false); }

bool SetpointProgramming::takeWrongCodeNotice() { return std::exchange(wrongCodeNotice_, false); }

void SetpointProgramming::advance() {
  offset_ = static_cast<std::uint16_t>(offset_ + kSetpointStepRegisters);
  if (progress_ != nullptr) progress_->setPosition(offset_ * 100 / kBlockComplete);
}

void SetpointProgramming::onReadStep(ReplyBytes data) {
  // The block ends at 75 registers, whatever completes after the last step.
  if (offset_ >= kBlockComplete || writePhase_) return;
  storeStep(block_, offset_, data);
  advance();
}

void SetpointProgramming::onWriteStep() {
  if (offset_ >= kBlockComplete || !writePhase_) return;
  advance();
}

void SetpointProgramming::hideProgressWindow() {
  if (progress_ != nullptr) progress_->hideWindow();
}

void SetpointProgramming::runPhaseHandOff() {
  pending_ = false;
  window_.BringToFront();
  if (progress_ == nullptr || dialogs_ == nullptr) return;
  // Cancel pressed after the last step but before this tick ends the workflow too:
  // neither the editor opens nor is the code sent.
  if (!active_) {
    progress_->hideWindow();
    return;
  }

  if (writePhase_) {
    cancelLocked_ = true;
    active_ = true;
    showProgress(kProgrammingPhase);
    accessCodeDue_ = true;
    return;
  }

  progress_->hideWindow();
  const std::uint8_t attempts = block_.attemptsLeft();
  if (attempts == 0) {
    messages_.showMessage(changeBlockedNotice());
    return;
  }
  if (attempts == 1 && messages_.showMessage(lastAttemptQuestion()) != MessageResult::Yes) return;
  // Each dialog runs a nested loop, in which the windows may have gone.
  if (dialogs_ == nullptr || !dialogs_->editSetpoints(block_)) return;
  std::string entry;
  const bool entered = dialogs_ != nullptr && dialogs_->askAccessCode(entry);
  packedCode_ = entered ? packAccessCode(entry) : 0;
  std::fill(entry.begin(), entry.end(), '\0');
  if (!entered || progress_ == nullptr) return;
  beginWriting();
}

void SetpointProgramming::beginWriting() {
  showProgress(kWritingPhase);
  offset_ = 0;
  writePhase_ = true;
  pending_ = true;
}

// The packed code is kept only until the instrument has answered it.
void SetpointProgramming::setWrongCodeNotice() {
  packedCode_ = 0;
  wrongCodeNotice_ = true;
}

void SetpointProgramming::onCodeAccepted() {
  packedCode_ = 0;
  if (progress_ != nullptr) {
    for (int position = 10; position <= 100; position += 10) {
      progress_->setPosition(position);
      if (services_.pause) services_.pause(kAnimationStep);
    }
  }
  adoptLineSettings();
  hideProgressWindow();
}

// The instrument now answers at its new number and rate: the station follows it. A rate
// index this station does not know (a newer instrument, a damaged block) names no rate to
// follow, so the port keeps the one the instrument was reached at.
void SetpointProgramming::adoptLineSettings() {
  const std::optional<std::uint32_t> known = instrumentBaudRate(block_.baudIndex());
  const bool rateChanged = known && settings_.update([rate = *known](AppSettings& s) {
    if (s.SerialSetup.BaudRate == rate) return false;
    s.SerialSetup.BaudRate = rate;
    return true;
  });
  if (rateChanged) {
    if (services_.requestReconfigure) services_.requestReconfigure();
    if (services_.saveSettings) services_.saveSettings();
  }
  const std::uint8_t number = block_.instrumentNumber();
  if (settings_.get(&AppSettings::DeviceID) != number) {
    settings_.set(&AppSettings::DeviceID, number);
    if (services_.saveSettings) services_.saveSettings();
  }
}

}  // namespace km8
