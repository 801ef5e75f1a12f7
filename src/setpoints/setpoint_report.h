// The "Перегляд уставок" report: the command that arms the read, the fifteen read steps
// the poll cycle hands over, the caption's progress and the report text itself.
#pragma once

#include <cstdint>
#include <string>

#include "config/app_settings.h"
#include "monitor/display_hooks.h"
#include "monitor/feature_hooks.h"
#include "monitor/poll_cycle.h"
#include "setpoints/setpoint_block.h"

namespace km8 {

// The report window as the report sees it.
class SetpointReportView {
 public:
  virtual ~SetpointReportView() = default;
  virtual void setCaption(const std::string& caption) = 0;
  virtual void setText(const std::string& text) = 0;  // lines end in CR LF
  virtual bool isShown() const = 0;
  virtual void showWindow() = 0;
  virtual void focusWindow() = 0;
  virtual void activateWindow() = 0;  // make it the active window (if it is shown)
};

// "Уставки приладу №<id>".
std::string reportCaption(int deviceId);
// Percent of the block read once the offset has reached `offset`: offset × 4 / 3,
// rounded half away from zero.
int reportPercent(std::uint16_t offset);

// The whole report, built from the block; CR LF line ends, UTF-8, numbers with a decimal
// point whatever the locale.
std::string formatSetpointReport(const SetpointBlock& block);

// Owned by the main window together with the report copy; UI thread only.
class SetpointReport final : public SetpointReportHooks {
 public:
  SetpointReport(const SharedSettings& settings, PollCycle& poll, MainWindowFront& mainWindow);
  SetpointReport(const SetpointReport&) = delete;
  SetpointReport& operator=(const SetpointReport&) = delete;

  // The window arrives when the main window creates its feature windows; until then, and
  // after it is gone, the report has nothing to show.
  void attachView(SetpointReportView* view) { view_ = view; }

  void command();         // button 1053
  void onWindowClosed();  // Esc or the close box; the window hides itself

  bool reportPending() const override { return pending_; }
  void clearReportPending() override { pending_ = false; }
  bool reportWindowOpen() const override { return open_; }
  std::uint16_t reportOffset() const override { return offset_; }
  void onReportStep(ReplyBytes data) override;
  void onReportFailure() override;

  const SetpointBlock& reportCopy() const { return copy_; }

 private:
  std::string captionBase() const;

  const SharedSettings& settings_;
  PollCycle& poll_;
  MainWindowFront& mainWindow_;
  SetpointReportView* view_ = nullptr;

  SetpointBlock copy_;
  std::uint16_t offset_ = 0;
  bool pending_ = false;
  bool open_ = false;
};

}  // namespace km8
