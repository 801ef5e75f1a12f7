#include "sim_clock.h"

#include <algorithm>

namespace km8::sim {

namespace {
// 0 freezes simulated time (tests); anything negative or absurd is refused.
double sanitize(double scale) { return scale >= 0 ? std::min(scale, 1e6) : 1.0; }
}  // namespace

SimClock::SimClock(double scale, RealTime realStart, std::int64_t simStartMs)
    : scale_(sanitize(scale)), realBase_(realStart), simBaseMs_(static_cast<double>(simStartMs)) {}

std::int64_t SimClock::nowMs(RealTime realNow) const {
  const double realMs = std::chrono::duration<double, std::milli>(realNow - realBase_).count();
  return static_cast<std::int64_t>(simBaseMs_ + std::max(realMs, 0.0) * scale_);
}

void SimClock::setScale(double scale, RealTime realNow) {
  simBaseMs_ = static_cast<double>(nowMs(realNow));
  realBase_ = realNow;
  scale_ = sanitize(scale);
}

}  // namespace km8::sim
