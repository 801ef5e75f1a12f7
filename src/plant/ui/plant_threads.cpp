#include "plant/ui/plant_threads.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

namespace km8 {
namespace {

struct Parked {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> work;  // guarded by mutex
  std::size_t waiting = 0;                 // threads waiting for work

  void serve() {
    std::unique_lock lock(mutex);
    while (true) {
      ++waiting;
      wake.wait(lock, [&] { return !work.empty(); });
      --waiting;
      std::function<void()> next = std::move(work.front());
      work.pop_front();
      lock.unlock();
      next();
      next = nullptr;  // what it holds goes with the work, not with the next wait
      lock.lock();
    }
  }
};

// Never destroyed: its threads wait on it until the process ends.
Parked& parked() {
  static Parked* const threads = new Parked;
  return *threads;
}

}  // namespace

void RunOnParkedThread(std::function<void()> work) {
  Parked& p = parked();
  std::lock_guard lock(p.mutex);
  p.work.push_back(std::move(work));
  // Threads started but not yet waiting may take some; a spare one only waits.
  if (p.work.size() > p.waiting) {
    std::thread([&p] { p.serve(); }).detach();
  } else {
    p.wake.notify_one();
  }
}

}  // namespace km8
