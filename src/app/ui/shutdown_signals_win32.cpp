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
std::atomic<HANDLE> gEnded{nullptr};  // set once the station has ended, before the handler goes

// Runs on a thread that Windows starts for an event of the console the station was
// started from (it takes its parent's console, if any): hands the request to the Qt
// thread. Windows ends the process as soon as the handler of a closed console returns,
// so that one waits, a few seconds at most, until the station has ended in order. The
// station says so before it removes this handler, which Windows holds back while the
// handler runs: neither waits for the other. Logoff and shutdown reach a program with
// windows as WM_QUERYENDSESSION and WM_ENDSESSION instead (see StationApp).
BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  ShutdownSignals* instance = gInstance.load();
  if (!instance) return FALSE;
  QMetaObject::invokeMethod(instance, "deliver", Qt::QueuedConnection);
  if (const HANDLE ended = gEnded.load(); event == CTRL_CLOSE_EVENT && ended != nullptr)
    ::WaitForSingleObject(ended, 4000);
  return TRUE;
}

}  // namespace

struct ShutdownSignals::Platform {
  bool installed = false;
};

ShutdownSignals::ShutdownSignals(std::function<void()> onRequest)
    : onRequest_(std::move(onRequest)), platform_(std::make_unique<Platform>()) {
  if (gEnded.load() == nullptr) gEnded = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ::ResetEvent(gEnded.load());
  gInstance = this;
  platform_->installed = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

ShutdownSignals::~ShutdownSignals() {
  gInstance = nullptr;
  if (const HANDLE ended = gEnded.load()) ::SetEvent(ended);  // a waiting handler returns now
  if (platform_->installed) SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

bool ShutdownSignals::active() const { return platform_->installed; }

void ShutdownSignals::deliver() {
  if (onRequest_) onRequest_();
}

}  // namespace km8
