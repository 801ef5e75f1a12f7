// The main window's behaviour without its widgets: start-up order, the 110 ms timer tick,
// the completion message, the graph-channel buttons, Enter, Esc and shutdown.
#pragma once

#include <functional>

#include "config/app_settings.h"
#include "link/link_mailbox.h"
#include "monitor/display_hooks.h"
#include "monitor/feature_hooks.h"
#include "monitor/live_display.h"
#include "monitor/null_hooks.h"
#include "monitor/poll_cycle.h"
#include "monitor/poll_items.h"
#include "res/message_box.h"

namespace km8 {

// Window services the Qt main window provides.
class MainWindowHost : public MainWindowFront {
 public:
  virtual bool startTimer(int timerId, int periodMs) = 0;  // false if no timer is available
  virtual void killTimer(int timerId) = 0;
  virtual void endDialog() = 0;  // the modal main window ends; the application shuts down
};

// The three modeless feature windows, created once and destroyed with the main window.
class FeatureWindows {
 public:
  virtual ~FeatureWindows() = default;
  // Setpoint report, archive list, progress; false if any could not be created.
  virtual bool createFeatureWindows() = 0;
  virtual void centreFeatureWindows() = 0;   // the report and the archive list
  virtual void destroyFeatureWindows() = 0;  // report, archive list, progress, in that order
};

class NullFeatureWindows final : public FeatureWindows {
 public:
  bool createFeatureWindows() override { return true; }
  void centreFeatureWindows() override {}
  void destroyFeatureWindows() override {}
};

// What the application supplies: the link worker's view of the window handle, the
// settings store and the way out of the process.
struct MainWindowCallbacks {
  std::function<void()> publishWindowHandle;  // once, on the first timer tick
  std::function<void()> saveSettings;
  std::function<void(int exitCode)> endProcess;   // the station does not come back from it
  std::function<void()> requestReconfigure = {};  // the link worker reopens the port
};

Message exitQuestion();
Message wrongCodeNotice();
Message timerFailureNotice();

class MainWindowLogic {
 public:
  static constexpr int kTimerId = 1;
  static constexpr int kTimerPeriodMs = 110;
  static constexpr int kFirstGraphButton = 1033;  // channel 1; 1034..1040 channels 2..8
  static constexpr int kAllChannelsButton = 1124;

  // chartChannel starts from the persisted GraphChannel.
  MainWindowLogic(LinkMailbox& mailbox, SharedSettings& settings,
                  const LiveDisplayControls& controls, MainWindowHost& window,
                  MessageBoxHost& messages, MainWindowCallbacks callbacks);
  MainWindowLogic(const MainWindowLogic&) = delete;
  MainWindowLogic& operator=(const MainWindowLogic&) = delete;

  // Features come with their own objects, which must outlive this one.
  void attachChart(ChartOps& chart) { poll_.attachChart(chart); }
  void attachSetpointReport(SetpointReportHooks& report) { poll_.attachSetpointReport(report); }
  void attachArchiveReading(ArchiveReadingHooks& archive) { poll_.attachArchiveReading(archive); }
  void attachSetpointProgramming(SetpointProgrammingHooks& programming) {
    poll_.attachSetpointProgramming(programming);
  }
  void attachFeatureWindows(FeatureWindows& windows) { featureWindows_ = &windows; }

  // After the dialog's own set-up (controls, icon, system menu): feature windows, timer,
  // chart. Returns false when the process was told to end.
  bool initialise();
  void onTimer(int timerId);
  void onLinkDone();
  void onGraphChannelButton(int controlId);
  void onCancel();  // Esc, the close box, Close in the system menu
  void onOk();      // Enter: ends at once, settings not saved
  void shutdown();  // the window is being destroyed

  PollCycle& pollCycle() { return poll_; }
  LiveDisplay& liveDisplay() { return display_; }
  const PollItems& items() const { return items_; }

 private:
  SharedSettings& settings_;
  MainWindowHost& window_;
  MessageBoxHost& messages_;
  MainWindowCallbacks callbacks_;

  PollItems items_;
  LiveDisplay display_;
  PollCycle poll_;

  NullFeatureWindows nullWindows_;
  FeatureWindows* featureWindows_ = &nullWindows_;

  bool handlePublished_ = false;
  bool destroyed_ = false;
};

}  // namespace km8
