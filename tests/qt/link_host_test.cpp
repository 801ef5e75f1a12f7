#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>

#include "link/ui/qt_link_host.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

constexpr auto kLinkDone = static_cast<QEvent::Type>(kLinkDoneMessage);

// Counts the completion events that reach it, as the main window would.
class CountingWindow : public QObject {
 public:
  int received = 0;
  bool event(QEvent* e) override {
    if (e->type() == kLinkDone) {
      ++received;
      return true;
    }
    return QObject::event(e);
  }
};

// Records on which thread each box was shown.
class ThreadRecordingHost : public test::ScriptedMessageHost {
 public:
  MessageResult showMessage(const Message& m) override {
    onUiThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
    return ScriptedMessageHost::showMessage(m);
  }
  std::vector<bool> onUiThread;
};

TEST(QtLinkHost, CompletionsFromTheWorkerReachTheWindowOnlyWhileItExists) {
  ThreadRecordingHost messages;
  QtLinkHost host(messages);
  auto window = std::make_unique<CountingWindow>();
  host.relay().setTarget(window.get());

  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) host.postLinkDone();
  });
  worker.join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->received == 3; }, 5000));

  window.reset();  // the window is gone; the relay drops what still comes
  std::thread late([&] { host.postLinkDone(); });
  late.join();
  QCoreApplication::sendPostedEvents(&host.relay(), kLinkDone);

  CountingWindow next;  // a completion is delivered once, to the window of its time
  host.relay().setTarget(&next);
  QCoreApplication::sendPostedEvents(&host.relay(), kLinkDone);
  EXPECT_EQ(next.received, 0);
  host.postLinkDone();
  QCoreApplication::sendPostedEvents(&host.relay(), kLinkDone);
  EXPECT_EQ(next.received, 1);
}

TEST(QtLinkHost, PublicationIsVisibleToTheWorker) {
  ThreadRecordingHost messages;
  QtLinkHost host(messages);
  EXPECT_FALSE(host.mainWindowPublished());
  host.publishMainWindow();
  bool seenByWorker = false;
  std::thread worker([&] { seenByWorker = host.mainWindowPublished(); });
  worker.join();
  EXPECT_TRUE(seenByWorker);
}

TEST(QtLinkHost, AWorkersBoxRunsOnTheUiThreadAndHoldsTheWorkerUntilClosed) {
  ThreadRecordingHost messages;
  QtLinkHost host(messages);
  std::atomic<bool> returned{false};
  std::atomic<bool> returnedWhileShown{true};
  messages.whileShown = [&](const Message&) { returnedWhileShown = returned.load(); };

  Message m;
  m.text = "Неможливо відкрити порт COM2";
  m.caption = "KM410-8";
  std::thread worker([&] {
    host.showBlockingMessage(m);
    returned = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
  worker.join();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Неможливо відкрити порт COM2");
  EXPECT_EQ(messages.onUiThread, std::vector<bool>{true});
  EXPECT_FALSE(returnedWhileShown.load());

  // Called on the UI thread itself, the box is shown directly.
  host.showBlockingMessage(m);
  EXPECT_EQ(messages.onUiThread, (std::vector<bool>{true, true}));
}

TEST(QtLinkHost, ShutdownReleasesAWaitingWorkerWithoutShowingItsBox) {
  ThreadRecordingHost messages;
  QtLinkHost host(messages);
  std::atomic<bool> returned{false};
  std::atomic<bool> started{false};
  Message m;
  m.text = "Неможливо відкрити порт COM2";
  std::thread worker([&] {
    started = true;
    host.showBlockingMessage(m);
    returned = true;
  });
  while (!started.load()) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it queue the box
  EXPECT_FALSE(returned.load());  // nothing runs the UI thread's loop meanwhile

  // The UI thread runs no loop from here on: it waits for the worker to stop.
  host.beginShutdown();
  worker.join();
  EXPECT_TRUE(returned.load());
  QCoreApplication::sendPostedEvents(&host.relay());  // the queued call finds nothing
  host.showBlockingMessage(m);                        // nor is a box shown on the UI thread
  std::thread late([&] { host.showBlockingMessage(m); });
  late.join();
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace km8
