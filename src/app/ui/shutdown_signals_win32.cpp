#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <QMetaObject>
#include <atomic>

#include "app/ui/shutdown_signals.h"

namespace km8 {
namespace {

std::atomic<ShutdownSignals*> gInstance{nullptr};

// Runs on a thread of its own that Windows starts for the console event: hand the
// request to the Qt thread. Windows ends the process as soon as the handler of a console
// close, logoff or shutdown returns, so that handler waits for the station to end
// itself (main returns, exit code 0); Windows' own time limit still applies.
BOOL WINAPI onConsoleEvent(DWORD event) {
  const bool endsProcess =
      event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && !endsProcess) return FALSE;
  ShutdownSignals* instance = gInstance.load();
  if (!instance) return FALSE;
  QMetaObject::invokeMethod(instance, "deliver", Qt::QueuedConnection);
  if (endsProcess) ::Sleep(INFINITE);
  return TRUE;
}

}  // namespace

struct ShutdownSignals::Platform {
  bool installed = false;
};

ShutdownSignals::ShutdownSignals(std::function<void()> onRequest)
    : onRequest_(std::move(onRequest)), platform_(std::make_unique<Platform>()) {
  gInstance = this;
  platform_->installed = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

ShutdownSignals::~ShutdownSignals() {
  if (platform_->installed) SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  gInstance = nullptr;
}

bool ShutdownSignals::active() const { return platform_->installed; }

void ShutdownSignals::deliver() {
  if (onRequest_) onRequest_();
}

}  // namespace km8
