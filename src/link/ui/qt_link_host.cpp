#include "link/ui/qt_link_host.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <cstdio>
#include <cstdlib>

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
    if (!closing_.load()) messages_.showMessage(message);
    return;
  }
  if (closing_.load()) return;
  // The worker waits here until the user has closed the box.
  QMetaObject::invokeMethod(
      &relay_,
      [this, &message] {
        if (!closing_.load()) messages_.showMessage(message);
      },
      Qt::BlockingQueuedConnection);
}

void QtLinkHost::serviceQueuedCalls() {
  QCoreApplication::sendPostedEvents(&relay_, QEvent::MetaCall);
}

void QtLinkHost::endProcess(int exitCode) {
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

}  // namespace km8
