// How the link worker reaches the user interface: the completion message, the main
// window's handle, its blocking message boxes and the end of the process.
#pragma once

#include "res/message_box.h"

namespace km8 {

inline constexpr int kLinkDoneMessage = 1025;  // WM_USER + 1

class LinkHost {
 public:
  virtual ~LinkHost() = default;
  // Posts the completion message (1025) to the main window; called on the worker thread.
  virtual void postLinkDone() = 0;
  // Whether the main window has published its handle (its first timer tick).
  virtual bool mainWindowPublished() const = 0;
  // Shows a message box from the worker thread and returns when the user has closed it.
  virtual void showBlockingMessage(const Message& message) = 0;
  // Ends the process at once with the exit code (after "INTERNAL ERROR !").
  virtual void endProcess(int exitCode) = 0;
};

}  // namespace km8
