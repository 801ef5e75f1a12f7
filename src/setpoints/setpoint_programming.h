// The setpoint change: read the block, let the user edit it, ask for the access code,
// write the block back and send the code; the station then follows a changed number or rate.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "config/app_settings.h"
#include "monitor/display_hooks.h"
#include "monitor/feature_hooks.h"
#include "monitor/poll_cycle.h"
#include "res/message_box.h"
#include "setpoints/setpoint_block.h"

namespace km8 {

inline constexpr char kProgrammingCaption[] = "Змiна уставок";
inline constexpr char kReadingPhase[] = "Читаються уставки";
inline constexpr char kWritingPhase[] = "Записуються уставки";
inline constexpr char kProgrammingPhase[] = "Програмуються уставки";

Message changeBlockedNotice();
Message lastAttemptQuestion();

// The ProgressWindow's widgets as the workflow drives them. Its two flags, cancel locked
// and active, are kept by SetpointProgramming, which also answers its Cancel.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void setRange(int low, int high) = 0;
  // Shown at once: the programming animation holds the user-interface thread.
  virtual void setPosition(int position) = 0;
  virtual void setPhaseCaption(const std::string& text) = 0;
  virtual void centre() = 0;
  virtual bool isShown() const = 0;
  virtual void showWindow() = 0;
  virtual void focusWindow() = 0;
  virtual void focusBar() = 0;
  virtual void hideWindow() = 0;
};

// The two modal dialogs of the editing phase; each returns true for OK.
class SetpointDialogs {
 public:
  virtual ~SetpointDialogs() = default;
  virtual bool editSetpoints(SetpointBlock& block) = 0;
  // The entry goes straight to packing; it is never kept, logged or shown.
  virtual bool askAccessCode(std::string& entry) = 0;
};

struct ProgrammingServices {
  std::function<void()> requestReconfigure;  // the link worker reopens the port
  std::function<void()> saveSettings;
  std::function<void(std::chrono::milliseconds)> pause;  // blocks the caller
};

// Runs on the user-interface thread only. The block it edits and writes is the caller's
// (the process-wide programming copy in the station) and must outlive it.
class SetpointProgramming final : public SetpointProgrammingHooks {
 public:
  static constexpr std::uint16_t kBlockComplete = kSetpointBlockRegisters;  // offset 75
  static constexpr std::chrono::milliseconds kAnimationStep{150};

  SetpointProgramming(SetpointBlock& block, PollCycle& poll, SharedSettings& settings,
                      MainWindowFront& window, MessageBoxHost& messages,
                      ProgrammingServices services);
  SetpointProgramming(const SetpointProgramming&) = delete;
  SetpointProgramming& operator=(const SetpointProgramming&) = delete;

  // The views arrive once the windows exist; until then the command does nothing.
  void attachViews(ProgressView& progress, SetpointDialogs& dialogs);
  void detachViews();

  void start();             // "Змiнити уставки"
  void onProgressCancel();  // Cancel or Esc in the ProgressWindow

  bool cancelLocked() const { return cancelLocked_; }

  // SetpointProgrammingHooks
  bool programmingPending() const override { return pending_; }
  void clearProgrammingPending() override { pending_ = false; }
  bool progressActive() const override { return active_; }
  bool writePhase() const override { return writePhase_; }
  std::uint16_t blockOffset() const override { return offset_; }
  const std::uint8_t* stepBytes() const override;
  bool takeAccessCodeDue() override;
  std::uint16_t packedCode() const override { return packedCode_; }
  void onReadStep(ReplyBytes data) override;
  void onWriteStep() override;
  void onCodeAccepted() override;
  void hideProgressWindow() override;
  void setWrongCodeNotice() override;
  void runPhaseHandOff() override;
  bool takeWrongCodeNotice() override;

 private:
  void showProgress(const char* phase);
  void showOrFocus();
  void advance();
  void beginWriting();
  void adoptLineSettings();

  SetpointBlock& block_;
  PollCycle& poll_;
  SharedSettings& settings_;
  MainWindowFront& window_;
  MessageBoxHost& messages_;
  ProgrammingServices services_;
  ProgressView* progress_ = nullptr;
  SetpointDialogs* dialogs_ = nullptr;

  std::uint16_t offset_ = 0;
  bool pending_ = false;
  bool writePhase_ = false;
  bool accessCodeDue_ = false;
  std::uint16_t packedCode_ = 0;
  bool wrongCodeNotice_ = false;
  bool cancelLocked_ = false;
  bool active_ = false;
};

}  // namespace km8
