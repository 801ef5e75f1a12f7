// The developer's --screenshot: saves a picture of the main window once it has run for a
// while and shows live values, then ends the station; also times the first live value.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace km8 {

class WindowSnapshot final : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPollMs = 50;
  static constexpr int kGraceMs = 30000;  // longest wait for live values after the delay

  // `live` says whether the window shows live values; `finish(code)` ends the station.
  WindowSnapshot(QWidget& window, std::function<bool()> live, int delayMs, QString path,
                 std::function<void(int exitCode)> finish, const QElapsedTimer& sinceStart);

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  void save(bool live);

  QWidget& window_;
  std::function<bool()> live_;
  int delayMs_;
  QString path_;
  std::function<void(int)> finish_;
  const QElapsedTimer& sinceStart_;
  QElapsedTimer running_;
  qint64 firstLiveMs_ = -1;
  int timerId_ = 0;
};

}  // namespace km8
