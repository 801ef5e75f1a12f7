// A manual-reset event: stays signalled until reset, wakes every waiter. The link
// worker and the user-interface thread order all their sharing through four of these.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace km8 {

class ManualResetEvent {
 public:
  void set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    changed_.notify_all();
  }

  void reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }

  bool isSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
  }

  // Waits up to `timeout` for the event; true when it is signalled.
  bool waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return signalled_; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

}  // namespace km8
