#include "e2e/station_core_sim_fixture.h"

#include <stdexcept>
#include <string>

namespace km8::test {

using namespace std::chrono_literals;

sim::SimConfig frozenInstrument() {
  sim::SimConfig config;
  config.timeScale = 0.0;
  config.instrument.thermal.noiseC = 0.0;
  return config;
}

StationCoreSimTest::StationCoreSimTest(const sim::SimConfig& instrument)
    : simulator(instrument),
      timing(log, 1),
      host(log),
      worker(settings, ports, host, timing),
      logic(worker, settings, controls.wiring(), window, messages,
            MainWindowCallbacks{[] {}, [] {}, [](int) {}}) {
  std::string error;
  if (!simulator.startOnNewPty(&error)) throw std::runtime_error(error);
  ports.setDevicePath(1, simulator.devicePath());
}

StationCoreSimTest::~StationCoreSimTest() {
  worker.Stop();
  worker.waitForExit(10s);
}

void StationCoreSimTest::startWorker() {
  ASSERT_TRUE(worker.start());
  worker.RequestReconfigure();
}

void StationCoreSimTest::startStation(std::chrono::milliseconds limit) {
  ASSERT_TRUE(logic.initialise());
  ASSERT_NO_FATAL_FAILURE(startWorker());
  ASSERT_TRUE(runUntil([&] { return controls.values[0]->color == 255; }, limit))
      << "no live value showed";
}

bool StationCoreSimTest::runUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  auto nextTick = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= nextTick) {
      logic.onTimer(MainWindowLogic::kTimerId);
      nextTick += 110ms;
    }
    log.waitFor([&](const auto&) { return host.completions() > handled_; }, 10ms);
    while (handled_ < host.completions()) {
      ++handled_;
      logic.onLinkDone();
    }
  }
  return done();
}

}  // namespace km8::test
