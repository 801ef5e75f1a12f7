// The link worker's way into the Qt user interface: completion events posted to the main
// window, its publication flag, message boxes run on the UI thread, the end of the process.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "link/link_host.h"
#include "res/message_box.h"

namespace km8 {

// Lives on the user-interface thread for the whole run and forwards each completion
// event to the main window while there is one; the worker never sees the window itself.
class LinkEventRelay final : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  void setTarget(QObject* target) { target_ = target; }  // UI thread only

 protected:
  bool event(QEvent* event) override;

 private:
  QPointer<QObject> target_;
};

// Everything the worker calls is thread-safe: postEvent, an atomic flag, and a box
// handed to the UI thread through a locked queue, the worker waiting until it is closed.
class QtLinkHost final : public LinkHost {
 public:
  // `messages` is used on the UI thread only. Construct on the UI thread.
  explicit QtLinkHost(MessageBoxHost& messages);
  QtLinkHost(const QtLinkHost&) = delete;
  QtLinkHost& operator=(const QtLinkHost&) = delete;

  LinkEventRelay& relay() { return relay_; }

  // On the main window's first timer tick.
  void publishMainWindow() { published_.store(true); }

  // From now on the worker's boxes are dropped rather than shown, and a worker waiting
  // for one goes on at once: the window is gone and the UI thread is about to wait for
  // the worker, so a box would only hold both up.
  void beginShutdown();

  void postLinkDone() override;
  bool mainWindowPublished() const override { return published_.load(); }
  void showBlockingMessage(const Message& message) override;
  void endProcess(int exitCode) override;

 private:
  struct PendingBox {
    Message message;
    bool closed = false;
  };
  void showPendingBoxes();  // UI thread

  MessageBoxHost& messages_;
  LinkEventRelay relay_;
  std::atomic<bool> published_{false};

  std::mutex mutex_;  // guards what follows
  std::condition_variable boxClosed_;
  std::deque<std::shared_ptr<PendingBox>> pending_;
  bool closing_ = false;
};

}  // namespace km8
