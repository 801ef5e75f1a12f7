// The KM410-8 simulator inside the station's own process, serving a new pseudo-terminal;
// for --simulate and the end-to-end tests. Needs km8sim (not part of km8ui).
#pragma once

#include <memory>
#include <string>

#include "app/simulated_instrument.h"
#include "setpoint_image.h"
#include "simulator.h"

namespace km8 {

class InProcessSimulator final : public SimulatedInstrument {
 public:
  explicit InProcessSimulator(const sim::SimConfig& config) : simulator_(config) {}

  // A factory-set instrument with the given number and rate, on a new pseudo-terminal.
  static std::unique_ptr<InProcessSimulator> start(std::uint8_t address, std::uint32_t baud,
                                                   std::string& error) {
    const int baudIndex = sim::baudIndexOfRate(baud);
    if (baudIndex < 0) {
      error =
          "the simulated instrument runs at 600, 2400, 4800, 9600, 14400, 19200, 28800 or "
          "38400 baud, not at the configured " +
          std::to_string(baud);
      return nullptr;
    }
    if (address == 0) {
      error = "instrument number 0 is the broadcast address; configure 1 to 255";
      return nullptr;
    }
    sim::SimConfig config;
    config.instrument.block.setInstrumentNumber(address);
    config.instrument.block.setBaudIndex(static_cast<std::uint8_t>(baudIndex));
    // Some history for the archive to show: five hours of records, restarted twice.
    config.historyRecords = 300;
    config.restartEvery = 120;
    auto simulator = std::make_unique<InProcessSimulator>(config);
    if (!simulator->simulator_.startOnNewPty(&error)) return nullptr;
    return simulator;
  }

  std::string devicePath() const override { return simulator_.devicePath(); }
  sim::Simulator& simulator() { return simulator_; }

 private:
  sim::Simulator simulator_;
};

}  // namespace km8
