#include "qt/run_events.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace km8::test {

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer clock;
  clock.start();
  bool result = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    result = done();
    if (result || clock.elapsed() > timeoutMs) loop.quit();
  });
  poll.start(20);
  loop.exec();
  return result;
}

}  // namespace km8::test
