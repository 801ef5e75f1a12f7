#include "res/ui/window_snapshot.h"

#include <QPixmap>
#include <QTimerEvent>
#include <QWidget>
#include <cstdio>

namespace km8 {

WindowSnapshot::WindowSnapshot(QWidget& window, std::function<bool()> live, int delayMs,
                               QString path, std::function<void(int)> finish,
                               const QElapsedTimer& sinceStart)
    : QObject(nullptr),
      window_(window),
      live_(std::move(live)),
      delayMs_(delayMs),
      path_(std::move(path)),
      finish_(std::move(finish)),
      sinceStart_(sinceStart) {
  running_.start();
  timerId_ = startTimer(kPollMs);
}

void WindowSnapshot::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timerId_) return QObject::timerEvent(event);
  const bool live = live_();
  if (live && firstLiveMs_ < 0) {
    firstLiveMs_ = sinceStart_.elapsed();
    std::fprintf(stderr, "km8-station: first live value %lld ms after start\n",
                 static_cast<long long>(firstLiveMs_));
  }
  const qint64 ran = running_.elapsed();
  if (ran < delayMs_ || (!live && ran < delayMs_ + kGraceMs)) return;
  killTimer(timerId_);
  timerId_ = 0;
  save(live);
}

void WindowSnapshot::save(bool live) {
  const bool saved = window_.grab().save(path_);
  if (saved) {
    std::fprintf(stderr, "km8-station: saved %s%s\n", qPrintable(path_),
                 live ? "" : " (no live values showed)");
  } else {
    std::fprintf(stderr, "km8-station: cannot save %s\n", qPrintable(path_));
  }
  finish_(saved && live ? 0 : 1);
}

}  // namespace km8
