// A message host that answers from a script, records every box it was asked to show,
// and can run code "inside" a box, as the nested loop of a modal box would.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "event_log.h"
#include "res/message_box.h"

namespace km8::test {

class ScriptedMessageHost : public MessageBoxHost {
 public:
  explicit ScriptedMessageHost(EventLog* log = nullptr) : log_(log) {}

  MessageResult showMessage(const Message& message) override {
    shown.push_back(message);
    note(log_, "message " + message.text);
    if (whileShown) whileShown(message);
    if (answers.empty()) return fallback;
    const MessageResult r = answers.front();
    answers.pop_front();
    return r;
  }

  std::deque<MessageResult> answers;  // consumed in order
  MessageResult fallback = MessageResult::Cancel;
  std::function<void(const Message&)> whileShown;
  std::vector<Message> shown;

 private:
  EventLog* log_;
};

}  // namespace km8::test
