// The message boxes the core asks for. The core never shows anything itself: it
// hands a Message to a MessageBoxHost, which the Qt layer answers with a modal
// QMessageBox (whose nested loop keeps timers and link completions flowing) and
// tests answer with a scripted fake.
#pragma once

#include <string>

namespace km8 {

enum class MessageIcon {
  None,
  Error,
  Warning,
  Question,
  Information
};  // Warning is also "exclamation"
enum class MessageButtons { Ok, OkCancel, RetryCancel, YesNo };
enum class MessageResult { Ok, Cancel, Retry, Yes, No };

struct Message {
  std::string text;     // UTF-8, shown exactly as given
  std::string caption;  // UTF-8
  MessageButtons buttons = MessageButtons::Ok;
  MessageIcon icon = MessageIcon::None;
  bool defaultSecond = false;  // the second button is the default (No in YesNo)
  bool topmost = false;
  bool ownedByMainWindow = true;  // false: shown without owner
};

class MessageBoxHost {
 public:
  virtual ~MessageBoxHost() = default;
  // Shows the box modally and returns the button pressed (Cancel or No when the
  // box is closed otherwise).
  virtual MessageResult showMessage(const Message& message) = 0;
};

}  // namespace km8
