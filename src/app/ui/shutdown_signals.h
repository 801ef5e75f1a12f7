// Ends the station in order when the system asks it to (SIGTERM, SIGINT, SIGHUP on
// POSIX; Ctrl-C, Ctrl-Break and closing the console it was started from on Windows):
// `onRequest` runs on the Qt thread.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace km8 {

class ShutdownSignals : public QObject {
  Q_OBJECT

 public:
  // One instance at a time; it catches the signals until it is destroyed, then puts the
  // previous handlers back.
  explicit ShutdownSignals(std::function<void()> onRequest);
  ~ShutdownSignals() override;
  ShutdownSignals(const ShutdownSignals&) = delete;
  ShutdownSignals& operator=(const ShutdownSignals&) = delete;

  // Whether the handlers could be installed.
  bool active() const;

 private:
  Q_INVOKABLE void deliver();

  struct Platform;
  std::function<void()> onRequest_;
  std::unique_ptr<Platform> platform_;
};

}  // namespace km8
