// The core's message boxes on screen: each Message becomes a modal QMessageBox with its
// text, caption, buttons and icon, owned by the main window once it is published.
#pragma once

#include <QMessageBox>
#include <functional>

#include "res/message_box.h"

class QWidget;

namespace km8 {

class QtMessageBoxHost final : public MessageBoxHost {
 public:
  // Gives the owner of boxes that want the main window: nullptr until it is published.
  using OwnerLookup = std::function<QWidget*()>;

  explicit QtMessageBoxHost(OwnerLookup owner = {}) : owner_(std::move(owner)) {}

  // On the user-interface thread only. The box's nested loop keeps timers and posted
  // events flowing.
  MessageResult showMessage(const Message& message) override;

 private:
  OwnerLookup owner_;
};

// The standard buttons and the default one of a Message's button set.
struct MessageBoxButtons {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton;
  QMessageBox::StandardButton escapeButton;
};
MessageBoxButtons messageBoxButtons(MessageButtons buttons, bool defaultSecond);
QMessageBox::Icon messageBoxIcon(MessageIcon icon);

}  // namespace km8
