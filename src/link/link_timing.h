// Every sleep and timed wait of the link worker goes through LinkTiming, so tests can
// replace real time and check the pause slices and waits exactly.
#pragma once

#include <chrono>
#include <thread>

#include "link/manual_reset_event.h"

namespace km8 {

class LinkTiming {
 public:
  virtual ~LinkTiming() = default;
  // Sleeps `ms` milliseconds; 0 yields the processor.
  virtual void sleepMs(unsigned ms) = 0;
  // Waits up to `ms` milliseconds for the event; true when it is signalled.
  virtual bool waitMs(ManualResetEvent& event, unsigned ms) = 0;
};

class RealLinkTiming final : public LinkTiming {
 public:
  void sleepMs(unsigned ms) override {
    if (ms == 0)
      std::this_thread::yield();
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  bool waitMs(ManualResetEvent& event, unsigned ms) override {
    return event.waitFor(std::chrono::milliseconds(ms));
  }
};

}  // namespace km8
