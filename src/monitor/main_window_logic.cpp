#include "monitor/main_window_logic.h"

#include <algorithm>
#include <utility>

namespace km8 {

Message exitQuestion() {
  return {.text = "   Вийти з програми ?",
          .caption = "Увага",
          .buttons = MessageButtons::OkCancel,
          .icon = MessageIcon::Question};
}

Message wrongCodeNotice() {
  return {
      .text = "Невiрний код доступу !", .caption = "Змiна уставок", .icon = MessageIcon::Warning};
}

Message timerFailureNotice() {
  return {.text = "Failed to create timer !",
          .caption = "KM410-8",
          .icon = MessageIcon::Error,
          .ownedByMainWindow = false};
}

MainWindowLogic::MainWindowLogic(LinkMailbox& mailbox, SharedSettings& settings,
                                 const LiveDisplayControls& controls, MainWindowHost& window,
                                 MessageBoxHost& messages, MainWindowCallbacks callbacks)
    : settings_(settings),
      window_(window),
      messages_(messages),
      callbacks_(std::move(callbacks)),
      display_(items_, controls),
      poll_(items_, mailbox, settings, display_, window, messages) {
  // A setting outside 0..8 (edited by hand) falls back to all channels.
  items_.chartChannel = std::min<int>(settings.get(&AppSettings::GraphChannel), kAllChannels);
}

bool MainWindowLogic::initialise() {
  if (!featureWindows_->createFeatureWindows()) {
    if (callbacks_.endProcess) callbacks_.endProcess(0);
    return false;
  }
  if (!window_.startTimer(kTimerId, kTimerPeriodMs)) {
    messages_.showMessage(timerFailureNotice());
    if (callbacks_.endProcess) callbacks_.endProcess(0);
    return false;
  }
  featureWindows_->centreFeatureWindows();
  poll_.chart().SetUpChart();
  poll_.chart().ApplyChartSpan();
  poll_.chart().UpdateChart(items_.chartChannel);
  return true;
}

void MainWindowLogic::onTimer(int timerId) {
  if (timerId != kTimerId || destroyed_) return;

  if (!handlePublished_) {
    handlePublished_ = true;
    if (callbacks_.publishWindowHandle) callbacks_.publishWindowHandle();
  }
  display_.TransferLedTick();
  // Each flag is cleared before its work starts: the work may run a nested loop in
  // which this handler runs again.
  if (poll_.archive().takeTextExportPending()) {
    poll_.archive().runTextExport();
    window_.BringToFront();
    poll_.archive().activateListWindow();
  }
  if (poll_.archive().takeDatabaseExportPending()) {
    poll_.archive().runDatabaseExport();
    window_.BringToFront();
    poll_.archive().activateListWindow();
  }
  if (poll_.programming().programmingPending() && poll_.programming().blockOffset() > 70) {
    poll_.programming().runPhaseHandOff();
  }
  if (poll_.programming().takeWrongCodeNotice()) {
    window_.BringToFront();
    messages_.showMessage(wrongCodeNotice());
  }
  poll_.watchdogTick();
}

void MainWindowLogic::onLinkDone() {
  // Once the window is gone no further request is built.
  if (destroyed_) return;
  poll_.onLinkDone();
}

void MainWindowLogic::onGraphChannelButton(int controlId) {
  int selection = -1;
  if (controlId >= kFirstGraphButton && controlId < kFirstGraphButton + kChannelCount) {
    selection = controlId - kFirstGraphButton;
  } else if (controlId == kAllChannelsButton) {
    selection = kAllChannels;
  }
  if (selection < 0) return;
  poll_.selectGraphChannel(selection);
  settings_.set(&AppSettings::GraphChannel, static_cast<std::uint8_t>(selection));
  poll_.chart().UpdateChart(selection);
}

void MainWindowLogic::onCancel() {
  if (destroyed_) return;
  if (messages_.showMessage(exitQuestion()) != MessageResult::Ok) return;
  if (callbacks_.saveSettings) callbacks_.saveSettings();
  window_.endDialog();
}

void MainWindowLogic::onOk() {
  if (destroyed_) return;
  window_.endDialog();
}

void MainWindowLogic::shutdown() {
  if (destroyed_) return;
  destroyed_ = true;
  window_.killTimer(kTimerId);
  featureWindows_->destroyFeatureWindows();
}

}  // namespace km8
