// The instrument simulator as the station sees it in a --simulate run: something that
// serves a device path for the configured COM port while it lives.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace km8 {

class SimulatedInstrument {
 public:
  virtual ~SimulatedInstrument() = default;
  virtual std::string devicePath() const = 0;
};

// Starts a simulated instrument answering at `address` and `baud`; nullptr and a reason
// in `error` when it cannot.
using SimulatorStarter = std::function<std::unique_ptr<SimulatedInstrument>(
    std::uint8_t address, std::uint32_t baud, std::string& error)>;

}  // namespace km8
