#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/ui/station_features.h"
#include "archives/ui/archive_feature.h"
#include "archives/ui/archive_list_window.h"
#include "config/settings.h"
#include "controls/ui/round_led_widget.h"
#include "controls/ui/seven_segment_widget.h"
#include "monitor/ui/main_window.h"
#include "setpoints/ui/setpoint_programming_feature.h"
#include "setpoints/ui/setpoint_report_feature.h"
#include "support/fake_link_mailbox.h"
#include "support/scripted_message_host.h"
#include "support/settings_fakes.h"

namespace km8 {
namespace {

constexpr auto kLinkDone = static_cast<QEvent::Type>(MainWindow::kLinkDoneEventType);

// The main window with a scripted mailbox and message host, saving its settings to a
// store in memory (the stores themselves have tests of their own).
class MainWindowBehaviourTest : public ::testing::Test {
 protected:
  MainWindowBehaviourTest()
      : window_(mailbox, settings, messages,
                MainWindowCallbacks{[this] { ++publications; },
                                    [this] { SaveSettings(settings.snapshot(), store_, messages); },
                                    [this](int code) { exitCodes.push_back(code); }},
                StationFeatures::factory()) {}

  bool saved() const { return store_.writeCalls > 0; }

  QWidget* control(int id) { return window_.controls().control(id); }

  void completeAndPost(const std::vector<std::uint8_t>& data) {
    mailbox.completeWith(data);
    QCoreApplication::postEvent(&window_, new QEvent(kLinkDone));
    QCoreApplication::sendPostedEvents(&window_, kLinkDone);
  }

  static std::vector<std::uint8_t> words(std::initializer_list<std::int16_t> tenths) {
    std::vector<std::uint8_t> out;
    for (std::int16_t t : tenths) {
      out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(t) & 0xFF));
      out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(t) >> 8));
    }
    return out;
  }

  test::MemorySettingsStore store_;
  test::FakeLinkMailbox mailbox;
  SharedSettings settings;
  test::ScriptedMessageHost messages;
  int publications = 0;
  std::vector<int> exitCodes;
  MainWindow window_;
};

TEST_F(MainWindowBehaviourTest, EscAsksTheExitQuestionAndCancelKeepsRunning) {
  window_.show();
  messages.answers = {MessageResult::Cancel, MessageResult::Cancel};
  QTest::keyClick(&window_, Qt::Key_Escape);
  window_.close();  // the close box and the system menu's Close
  ASSERT_EQ(messages.shown.size(), 2u);
  for (const Message& m : messages.shown) {
    EXPECT_EQ(m.text, "   Вийти з програми ?");
    EXPECT_EQ(m.caption, "Увага");
    EXPECT_EQ(m.buttons, MessageButtons::OkCancel);
    EXPECT_EQ(m.icon, MessageIcon::Question);
  }
  EXPECT_TRUE(window_.isVisible());
  EXPECT_FALSE(saved());

  // Still running: the timer ticks on.
  EXPECT_TRUE(QTest::qWaitFor([&] { return publications == 1; }, 5000));
  window_.done(0);
}

TEST_F(MainWindowBehaviourTest, OkToTheExitQuestionSavesTheSettingsAndEnds) {
  window_.show();
  qobject_cast<QRadioButton*>(control(1036))->click();
  messages.answers = {MessageResult::Ok};
  window_.close();
  EXPECT_FALSE(window_.isVisible());
  EXPECT_EQ(window_.result(), QDialog::Rejected);
  ASSERT_TRUE(saved());

  AppSettings loaded;
  ASSERT_NE(LoadSettings(loaded, store_), 0);
  EXPECT_EQ(loaded.GraphChannel, 3);
  EXPECT_TRUE(exitCodes.empty());
}

TEST_F(MainWindowBehaviourTest, EnterOnARadioButtonEndsAtOnceWithoutSaving) {
  window_.show();
  auto* radio = qobject_cast<QRadioButton*>(control(1034));
  radio->click();
  radio->setFocus();
  QTest::keyClick(radio, Qt::Key_Return);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(saved());  // the changed channel is lost

  // Ended means shut down: completions no longer reach the poll cycle.
  const std::size_t submitted = mailbox.submitted().size();
  mailbox.completeFailed();
  QEvent linkDone(kLinkDone);
  QCoreApplication::sendEvent(&window_, &linkDone);
  EXPECT_EQ(mailbox.submitted().size(), submitted);
}

TEST_F(MainWindowBehaviourTest, EnterOnAPushButtonPressesItInsteadOfEnding) {
  window_.show();
  std::vector<int> commands;
  QObject::connect(&window_, &MainWindow::commandRequested,
                   [&](int id) { commands.push_back(id); });
  auto* archives = qobject_cast<QPushButton*>(control(1041));
  archives->setFocus();
  // The command opens the archives dialog; leave it at once.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
  });
  closer.start(0);
  QTest::keyClick(archives, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(commands, std::vector<int>{1041});
  EXPECT_TRUE(window_.isVisible());
  window_.done(0);
}

TEST_F(MainWindowBehaviourTest, CompletionEventsDriveThePollCycleIntoTheWidgets) {
  window_.show();
  // The worker's start-up request (kind 0) completes as a failure; the cycle then reads
  // the second half of the current values first.
  mailbox.completeFailed();
  QCoreApplication::postEvent(&window_, new QEvent(kLinkDone));
  QCoreApplication::sendPostedEvents(&window_, kLinkDone);
  ASSERT_EQ(mailbox.submitted().size(), 1u);
  EXPECT_EQ(mailbox.last().kind, 4);
  EXPECT_EQ(mailbox.last().start, 5);
  EXPECT_EQ(mailbox.last().countOrValue, 5);
  EXPECT_FALSE(window_.showsLiveValues());

  // Channels 6..8, outputs (regulation 0x20: channel 6; alarms 0x80: channel 8), all
  // channels enabled, status 0x04 (ADC failure).
  std::vector<std::uint8_t> high = words({300, 310, 320});
  high.insert(high.end(), {0x20, 0x80, 0xFF, 0x04});
  completeAndPost(high);
  ASSERT_EQ(mailbox.submitted().size(), 2u);
  EXPECT_EQ(mailbox.last().start, 0);
  auto* eighth = qobject_cast<SevenSegmentWidget*>(control(1023));
  EXPECT_DOUBLE_EQ(eighth->value(), 32.0);
  EXPECT_EQ(eighth->segmentColor(), 255u);
  EXPECT_TRUE(window_.showsLiveValues());
  EXPECT_TRUE(qobject_cast<RoundLedWidget*>(control(1029))->isLit());   // regulation, ch 6
  EXPECT_FALSE(qobject_cast<RoundLedWidget*>(control(1030))->isLit());  // regulation, ch 7
  EXPECT_TRUE(qobject_cast<RoundLedWidget*>(control(1081))->isLit());   // alarm, ch 8
  EXPECT_TRUE(qobject_cast<RoundLedWidget*>(control(1068))->isLit());
  EXPECT_FALSE(qobject_cast<RoundLedWidget*>(control(1063))->isLit());
  for (int id : {1066, 1071, 1067, 1072, 1068, 1073}) EXPECT_FALSE(control(id)->isHidden()) << id;
  EXPECT_TRUE(qobject_cast<RoundLedWidget*>(control(1069))->isLit());

  completeAndPost(words({215, -32000, 1000, 0, -15}));
  EXPECT_EQ(mailbox.submitted().size(), 3u);
  EXPECT_DOUBLE_EQ(qobject_cast<SevenSegmentWidget*>(control(1000))->value(), 21.5);
  EXPECT_DOUBLE_EQ(qobject_cast<SevenSegmentWidget*>(control(1016))->value(), -10000.0);
  EXPECT_DOUBLE_EQ(qobject_cast<SevenSegmentWidget*>(control(1020))->value(), -1.5);

  EXPECT_EQ(mailbox.contractViolations(), 0);
  window_.done(0);
}

TEST_F(MainWindowBehaviourTest, TimerPublishesOnceAndItsWatchdogReissuesASilentRequest) {
  window_.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return publications == 1; }, 5000));
  // The start-up request completes but its message never arrives: after 50 ticks the
  // watchdog dispatches it and submits the next request by itself.
  mailbox.completeFailed();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !mailbox.submitted().empty(); }, 30000));
  EXPECT_EQ(publications, 1);
  window_.done(0);
}

TEST_F(MainWindowBehaviourTest, BringToFrontRestoresAMinimisedWindowAndSaysSo) {
  window_.show();
  MainWindowFront& front = window_.front();
  front.minimise();
  EXPECT_TRUE(window_.isMinimized());
  EXPECT_TRUE(front.BringToFront());
  EXPECT_FALSE(window_.isMinimized());
  EXPECT_TRUE(window_.isVisible());
  EXPECT_FALSE(front.BringToFront());
  window_.done(0);
}

// Each modeless feature window (report, archive list, progress) belongs to the main window
// as a dialog, so that the window manager keeps it in front of the main window: a click
// on the main window must not bury a running reading behind it.
TEST_F(MainWindowBehaviourTest, FeatureWindowsAreDialogsOwnedByTheMainWindow) {
  window_.show();
  const auto owned = window_.findChildren<QDialog*>(Qt::FindDirectChildrenOnly);
  int featureWindows = 0;
  for (const QDialog* dialog : owned) {
    if (dialog->isModal()) continue;
    ++featureWindows;
    EXPECT_EQ(dialog->windowType(), Qt::Dialog) << dialog->metaObject()->className();
  }
  EXPECT_EQ(featureWindows, 3);
  window_.done(0);
}

// Where the feature windows first show up: their frames, title bars included, centred on
// the main window's frame, as the window system centres a dialog (on Windows the client
// area alone would sit off by the frame's margins).
TEST_F(MainWindowBehaviourTest, FeatureWindowsShowCentredByTheirFramesOnTheMainWindow) {
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  StationFeatures& features = StationFeatures::of(window_);
  ProgressWindow* progress = features.setpointProgramming().progressWindow();
  progress->centre();  // when the setpoint change starts; the other two at initialisation
  for (QWidget* w : std::initializer_list<QWidget*>{features.setpointReport().window(),
                                                    features.archives().listWindow(), progress}) {
    SCOPED_TRACE(w->metaObject()->className());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    const QPoint off = w->frameGeometry().center() - window_.frameGeometry().center();
    std::printf("[ MEASURED ] %s frame centre off by (%d, %d), frame margins %d %d %d %d\n",
                w->metaObject()->className(), off.x(), off.y(),
                w->geometry().left() - w->frameGeometry().left(),
                w->geometry().top() - w->frameGeometry().top(),
                w->frameGeometry().right() - w->geometry().right(),
                w->frameGeometry().bottom() - w->geometry().bottom());
    EXPECT_LE(off.manhattanLength(), 1);
    w->hide();
  }
  window_.done(0);
}

// Only windows may have a window of the system's own. A child widget made native, as
// winId() on any window they own makes every one of them, takes the X server's clicks for
// whatever it overlaps: the chart's frame swallowed the clicks of the radio buttons.
TEST_F(MainWindowBehaviourTest, NoWidgetOfTheStationsWindowsIsNativeAfterStartUp) {
  window_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  int windows = 0;
  QStringList native;
  for (const QWidget* widget : window_.findChildren<QWidget*>()) {
    if (widget->isWindow()) {
      ++windows;
    } else if (widget->testAttribute(Qt::WA_NativeWindow) || widget->internalWinId() != 0) {
      native << QString("%1 %2").arg(widget->metaObject()->className(),
                                     widget->property("controlId").toString());
    }
  }
  EXPECT_GE(windows, 3);  // the feature windows, whose widgets were walked too
  EXPECT_TRUE(native.isEmpty()) << native.join(", ").toStdString();
  window_.done(0);
}

}  // namespace
}  // namespace km8
