#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "res/ui/qt_message_box_host.h"

namespace km8 {
namespace {

// What the open box looked like, and which button the test pressed.
struct SeenBox {
  QString text, title;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* parent = nullptr;
  bool topmost = false;
  bool seen = false;
};

// Shows `message` and, once the box is up, records it and presses `press` (or Esc when
// NoButton).
MessageResult showAndAnswer(QtMessageBoxHost& host, const Message& message,
                            QMessageBox::StandardButton press, SeenBox& seen) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen.seen = true;
    seen.text = box->text();
    seen.title = box->windowTitle();
    seen.buttons = box->standardButtons();
    seen.defaultButton = box->standardButton(box->defaultButton());
    seen.icon = box->icon();
    seen.parent = box->parentWidget();
    seen.topmost = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (press == QMessageBox::NoButton) {
      QTest::keyClick(box, Qt::Key_Escape);
    } else {
      box->button(press)->click();
    }
  });
  return host.showMessage(message);
}

Message box(MessageButtons buttons, MessageIcon icon, bool defaultSecond = false) {
  Message m;
  m.text = "   Вийти з програми ?";
  m.caption = "Увага";
  m.buttons = buttons;
  m.icon = icon;
  m.defaultSecond = defaultSecond;
  return m;
}

TEST(QtMessageBoxHost, ShowsTextCaptionButtonsAndIconAndReturnsThePress) {
  QtMessageBoxHost host;
  SeenBox seen;
  EXPECT_EQ(showAndAnswer(host, box(MessageButtons::OkCancel, MessageIcon::Question),
                          QMessageBox::Ok, seen),
            MessageResult::Ok);
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.text, QStringLiteral("   Вийти з програми ?"));
  EXPECT_EQ(seen.title, QStringLiteral("Увага"));
  EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(seen.defaultButton, QMessageBox::Ok);
  EXPECT_EQ(seen.icon, QMessageBox::Question);

  seen = {};
  EXPECT_EQ(showAndAnswer(host, box(MessageButtons::OkCancel, MessageIcon::Question),
                          QMessageBox::Cancel, seen),
            MessageResult::Cancel);
  seen = {};
  EXPECT_EQ(showAndAnswer(host, box(MessageButtons::OkCancel, MessageIcon::Question),
                          QMessageBox::NoButton, seen),
            MessageResult::Cancel);

  seen = {};
  EXPECT_EQ(showAndAnswer(host, box(MessageButtons::RetryCancel, MessageIcon::Warning),
                          QMessageBox::Retry, seen),
            MessageResult::Retry);
  EXPECT_EQ(seen.buttons, QMessageBox::Retry | QMessageBox::Cancel);
  EXPECT_EQ(seen.icon, QMessageBox::Warning);

  seen = {};
  EXPECT_EQ(showAndAnswer(host, box(MessageButtons::Ok, MessageIcon::Error), QMessageBox::Ok, seen),
            MessageResult::Ok);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);

  seen = {};
  showAndAnswer(host, box(MessageButtons::Ok, MessageIcon::Information), QMessageBox::Ok, seen);
  EXPECT_EQ(seen.icon, QMessageBox::Information);
}

TEST(QtMessageBoxHost, YesNoCanDefaultToNoAndEscapeAnswersNo) {
  QtMessageBoxHost host;
  SeenBox seen;
  EXPECT_EQ(showAndAnswer(host, box(MessageButtons::YesNo, MessageIcon::Question, true),
                          QMessageBox::NoButton, seen),
            MessageResult::No);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(seen.defaultButton, QMessageBox::No);
  seen = {};
  EXPECT_EQ(showAndAnswer(host, box(MessageButtons::YesNo, MessageIcon::Question, false),
                          QMessageBox::Yes, seen),
            MessageResult::Yes);
  EXPECT_EQ(seen.defaultButton, QMessageBox::Yes);
}

TEST(QtMessageBoxHost, OwnedByTheMainWindowOnlyWhenAskedAndPublished) {
  QWidget mainWindow;
  QWidget* published = nullptr;
  QtMessageBoxHost host([&] { return published; });
  Message m = box(MessageButtons::Ok, MessageIcon::Warning);
  m.topmost = true;

  SeenBox seen;
  showAndAnswer(host, m, QMessageBox::Ok, seen);  // not yet published
  EXPECT_EQ(seen.parent, nullptr);
  EXPECT_TRUE(seen.topmost);

  published = &mainWindow;
  seen = {};
  showAndAnswer(host, m, QMessageBox::Ok, seen);
  EXPECT_EQ(seen.parent, &mainWindow);

  m.ownedByMainWindow = false;
  m.topmost = false;
  seen = {};
  showAndAnswer(host, m, QMessageBox::Ok, seen);
  EXPECT_EQ(seen.parent, nullptr);
  EXPECT_FALSE(seen.topmost);
}

}  // namespace
}  // namespace km8
