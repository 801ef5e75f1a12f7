#include "res/ui/qt_message_box_host.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace km8 {
namespace {

// QMessageBox wraps a text wider than half the screen (500 pixels at most) at about that
// width, so a message written in lines of its own got the last word of a long line on a
// line by itself. The text is made as wide as its longest line, as long as the box still
// fits the width the message box allows itself on this screen.
void keepLinesAsWritten(QMessageBox& box) {
  if (!box.text().contains(QLatin1Char('\n'))) return;
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (label == nullptr) return;
  const QFontMetrics metrics = label->fontMetrics();
  int widest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n'))) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
  }
  widest += metrics.averageCharWidth();  // room for the layout's rounding
  const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
  const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
  const int boxLimit = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
  // The icon, the margins and the spacing take the rest of the box.
  if (widest > boxLimit - 150) return;
  label->setMinimumWidth(widest);
}

}  // namespace

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
  keepLinesAsWritten(box);

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
