#include "res/ui/qt_message_box_host.h"

#include <QWidget>

namespace km8 {

MessageBoxButtons messageBoxButtons(MessageButtons buttons, bool defaultSecond) {
  using B = QMessageBox::StandardButton;
  switch (buttons) {
    case MessageButtons::Ok:
      return {B::Ok, B::Ok, B::Ok};
    case MessageButtons::OkCancel:
      return {B::Ok | B::Cancel, defaultSecond ? B::Cancel : B::Ok, B::Cancel};
    case MessageButtons::RetryCancel:
      return {B::Retry | B::Cancel, defaultSecond ? B::Cancel : B::Retry, B::Cancel};
    case MessageButtons::YesNo:
      return {B::Yes | B::No, defaultSecond ? B::No : B::Yes, B::No};
  }
  return {B::Ok, B::Ok, B::Ok};
}

QMessageBox::Icon messageBoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None:
      return QMessageBox::NoIcon;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Information:
      return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

MessageResult QtMessageBoxHost::showMessage(const Message& message) {
  QWidget* owner = message.ownedByMainWindow && owner_ ? owner_() : nullptr;
  const MessageBoxButtons b = messageBoxButtons(message.buttons, message.defaultSecond);
  QMessageBox box(messageBoxIcon(message.icon), QString::fromStdString(message.caption),
                  QString::fromStdString(message.text), b.buttons, owner);
  box.setDefaultButton(b.defaultButton);
  box.setEscapeButton(b.escapeButton);
  if (message.topmost) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);

  switch (static_cast<QMessageBox::StandardButton>(box.exec())) {
    case QMessageBox::Ok:
      return MessageResult::Ok;
    case QMessageBox::Retry:
      return MessageResult::Retry;
    case QMessageBox::Yes:
      return MessageResult::Yes;
    case QMessageBox::No:
      return MessageResult::No;
    default:
      return message.buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
  }
}

}  // namespace km8
