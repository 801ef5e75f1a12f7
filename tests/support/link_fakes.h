// Test doubles for the link worker: timing that logs every sleep and wait (and may run
// faster than real time), and a host that records completions, boxes and exits.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/link_host.h"
#include "link/link_timing.h"
#include "res/message_box.h"

namespace km8::test {

// One shared, ordered log of what the worker did: "sleep 200", "wait 50", "done".
class WorkerLog {
 public:
  void add(std::string entry) {
    {
      std::lock_guard lock(mutex_);
      entries_.push_back(std::move(entry));
    }
    changed_.notify_all();
  }
  std::vector<std::string> entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  std::size_t size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
  }
  // Waits until pred(entries) holds; false on time-out.
  bool waitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pred(entries_); });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> entries_;
};

// Logs every sleep and wait with the length the worker asked for; really sleeps
// length / divisor so that a test runs fast without the worker spinning.
class LoggingTiming final : public LinkTiming {
 public:
  explicit LoggingTiming(WorkerLog& log, unsigned divisor = 20) : log_(log), divisor_(divisor) {}

  // Calls hook on the sleeping thread after each logged sleep, with its length, until
  // the returned guard goes (declare it after whatever the hook uses).
  [[nodiscard]] auto onSleep(std::function<void(unsigned ms)> hook) {
    setOnSleep(std::move(hook));
    auto clear = [this](LoggingTiming*) { setOnSleep(nullptr); };
    return std::unique_ptr<LoggingTiming, decltype(clear)>(this, clear);
  }

  void sleepMs(unsigned ms) override {
    log_.add("sleep " + std::to_string(ms));
    real_.sleepMs(ms / divisor_);
    std::function<void(unsigned)> hook;
    {
      std::lock_guard lock(mutex_);
      hook = onSleep_;
    }
    if (hook) hook(ms);
  }
  bool waitMs(ManualResetEvent& event, unsigned ms) override {
    log_.add("wait " + std::to_string(ms));
    return event.waitFor(std::chrono::milliseconds(ms / divisor_ + 1));
  }

 private:
  void setOnSleep(std::function<void(unsigned)> hook) {
    std::lock_guard lock(mutex_);
    onSleep_ = std::move(hook);
  }

  WorkerLog& log_;
  unsigned divisor_;
  RealLinkTiming real_;
  std::mutex mutex_;
  std::function<void(unsigned)> onSleep_;
};

class RecordingLinkHost final : public LinkHost {
 public:
  explicit RecordingLinkHost(WorkerLog& log) : log_(log) {}

  std::atomic<bool> published{true};

  void postLinkDone() override {
    ++completions_;
    log_.add("done");
  }
  bool mainWindowPublished() const override { return published; }
  void showBlockingMessage(const Message& message) override {
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    }
    log_.add("message");
  }
  void endProcess(int exitCode) override { log_.add("end " + std::to_string(exitCode)); }

  int completions() const { return completions_; }
  std::vector<Message> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  WorkerLog& log_;
  std::atomic<int> completions_{0};
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
};

}  // namespace km8::test
