#include "link/ui/qt_link_host.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include "link/end_process.h"

namespace km8 {
namespace {

constexpr auto kLinkDoneType = static_cast<QEvent::Type>(kLinkDoneMessage);

}  // namespace

bool LinkEventRelay::event(QEvent* event) {
  if (event->type() != kLinkDoneType) return QObject::event(event);
  if (target_) {
    QEvent forwarded(kLinkDoneType);
    QCoreApplication::sendEvent(target_, &forwarded);
  }
  return true;
}

QtLinkHost::QtLinkHost(MessageBoxHost& messages) : messages_(messages) {}

void QtLinkHost::postLinkDone() { QCoreApplication::postEvent(&relay_, new QEvent(kLinkDoneType)); }

void QtLinkHost::showBlockingMessage(const Message& message) {
  if (QThread::currentThread() == relay_.thread()) {
    bool closing = false;
    {
      std::lock_guard lock(mutex_);
      closing = closing_;
    }
    if (!closing) messages_.showMessage(message);
    return;
  }
  auto box = std::make_shared<PendingBox>(PendingBox{message});
  {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    pending_.push_back(box);
  }
  QMetaObject::invokeMethod(
      &relay_, [this] { showPendingBoxes(); }, Qt::QueuedConnection);
  // The worker waits here until the user has closed the box.
  std::unique_lock lock(mutex_);
  boxClosed_.wait(lock, [&] { return box->closed || closing_; });
}

void QtLinkHost::showPendingBoxes() {
  for (;;) {
    std::shared_ptr<PendingBox> box;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty() || closing_) return;
      box = pending_.front();
      pending_.pop_front();
    }
    messages_.showMessage(box->message);
    {
      std::lock_guard lock(mutex_);
      box->closed = true;
    }
    boxClosed_.notify_all();
  }
}

void QtLinkHost::beginShutdown() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    pending_.clear();
  }
  boxClosed_.notify_all();
}

void QtLinkHost::endProcess(int exitCode) { EndProcessNow(exitCode); }

}  // namespace km8
