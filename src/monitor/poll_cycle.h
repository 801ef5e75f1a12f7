// The main window's request scheduler and reply dispatcher: keeps exactly one request in
// the link mailbox, hands each reply to its owner and picks the next request.
#pragma once

#include <cstdint>

#include "config/app_settings.h"
#include "link/link_mailbox.h"
#include "monitor/display_hooks.h"
#include "monitor/feature_hooks.h"
#include "monitor/null_hooks.h"
#include "monitor/poll_items.h"
#include "monitor/poll_turns.h"
#include "res/message_box.h"

namespace km8 {

// The prompt shown when a feature's request failed; Retry sends it again.
Message linkFailurePrompt();

// Runs on the user-interface thread only. DispatchReply may show the link-failure
// prompt, whose nested event loop runs timer ticks and other handlers; they see the
// state of the transaction being dispatched, and since its reply has been taken and no
// request is outstanding, the watchdog finds nothing to do meanwhile.
//
// Mailbox contract: a request is submitted only after the previous one was taken; reply
// data are copied out before any handler runs, so nothing reads the mailbox after the
// next submit. The one reference that outlives a call is the data of a block write
// (state 9): it points into the programming copy until that transaction is dispatched.
class PollCycle {
 public:
  static constexpr int kWatchdogTicks = 50;
  static constexpr int kLimitsReloadEvery = 100;  // state-1 transactions, then one more

  PollCycle(PollItems& items, LinkMailbox& mailbox, const SharedSettings& settings,
            LiveDisplayOps& display, MainWindowFront& window, MessageBoxHost& messages);
  PollCycle(const PollCycle&) = delete;
  PollCycle& operator=(const PollCycle&) = delete;

  // Features and the chart arrive with their own objects; until then nothing is pending.
  // The attached objects must outlive the poll cycle.
  void attachChart(ChartOps& chart) { chart_ = &chart; }
  void attachSetpointReport(SetpointReportHooks& report) { report_ = &report; }
  void attachArchiveReading(ArchiveReadingHooks& archive) { archive_ = &archive; }
  void attachSetpointProgramming(SetpointProgrammingHooks& p) { programming_ = &p; }

  // On every completion and from the watchdog: dispatches a completed transaction, if
  // one waits, and submits the next request.
  void IssueNextRequest();
  void DispatchReply();
  void BuildRequest();

  void onLinkDone();    // the completion message: watchdog restarts, then IssueNextRequest
  void watchdogTick();  // every timer tick

  // Graph-channel radio buttons: 0..7 one channel (its limits are read at the next
  // turn), 8 all channels (no limits to read).
  void selectGraphChannel(int selection);

  // A feature command restarting while one of its requests is outstanding: the reply is
  // then dispatched as state 0 and ignored. Returns whether a reply was discarded.
  enum class Feature { SetpointReport, ArchiveReading, SetpointProgramming };
  bool discardOutstandingReply(Feature feature);
  void resetArchiveFailureCount() { items_.archiveFailureCount = 0; }

  // The attached features (or their do-nothing stand-ins), for the main window's timer.
  ChartOps& chart() { return *chart_; }
  ArchiveReadingHooks& archive() { return *archive_; }
  SetpointProgrammingHooks& programming() { return *programming_; }

  PollState state() const { return items_.state; }
  const PollItems& items() const { return items_; }

 private:
  void handleState(PollState state, bool success, ReplyBytes data);
  void handleCurrentValuesLow(bool success, ReplyBytes data);
  void handleCurrentValuesHigh(bool success, ReplyBytes data);
  void handleChartLimits(bool success, ReplyBytes data);
  void endArchiveReading();
  // Returns false when the dispatch ends here (retry or refused code).
  bool handleFeatureFailure(PollState state);
  PollTurns turns() const { return {items_, *report_, *archive_, *programming_}; }

  PollItems& items_;
  LinkMailbox& mailbox_;
  const SharedSettings& settings_;
  LiveDisplayOps& display_;
  MainWindowFront& window_;
  MessageBoxHost& messages_;

  NullChart nullChart_;
  NullSetpointReport nullReport_;
  NullArchiveReading nullArchive_;
  NullSetpointProgramming nullProgramming_;
  ChartOps* chart_ = &nullChart_;
  SetpointReportHooks* report_ = &nullReport_;
  ArchiveReadingHooks* archive_ = &nullArchive_;
  SetpointProgrammingHooks* programming_ = &nullProgramming_;

  bool dispatching_ = false;
};

}  // namespace km8
