// Driving the event loop from a test: until a condition holds, or until a modal dialog
// or a popup menu shows up that the test then answers.
#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

namespace km8::test {

// Runs the event loop until done() holds or `timeoutMs` has passed; says which.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);

// Runs `fn` once on the first modal dialog or popup menu of type W to show up.
template <class W>
void whenModal(std::function<void(W&)> fn) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, fn] {
    QWidget* shown = QApplication::activePopupWidget();
    if (shown == nullptr) shown = QApplication::activeModalWidget();
    if (auto* w = qobject_cast<W*>(shown)) {
      timer->stop();
      timer->deleteLater();
      fn(*w);
    }
  });
  timer->start(10);
}

}  // namespace km8::test
