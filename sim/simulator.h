// The simulator as a whole: one instrument served on a line by its own thread, with
// simulated time, fault injection, and thread-safe control from tests or the CLI.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "faults.h"
#include "instrument.h"
#include "pty_server.h"
#include "sim_clock.h"

namespace km8::sim {

struct SimConfig {
  InstrumentConfig instrument;
  // Valid records already in the archive at start, with a reset marker after every
  // `restartEvery` of them (0: none).
  std::size_t historyRecords = 0;
  std::size_t restartEvery = 0;
  double timeScale = 1.0;  // simulated seconds per real second; 0 freezes time
  bool pacedLine = false;
  std::uint32_t turnaroundMs = 0;
  bool deafToOtherRates = false;  // see LineSettings
  FaultConfig faults;
};

struct SimStatus {
  std::int64_t simTimeMs = 0;
  std::uint8_t address = 0;
  std::uint32_t baud = 0;
  std::array<std::int16_t, kChannelCount> readings{};
  std::uint8_t regulationOutputs = 0;
  std::uint8_t alarmOutputs = 0;
  std::uint8_t enabledChannels = 0;
  std::uint8_t statusFlags = 0;
  std::uint8_t attemptsLeft = 0;
  std::size_t archiveRecords = 0;
  InstrumentCounters counters;
  std::uint64_t repliesSent = 0;
  std::uint64_t faultsApplied = 0;
};

class Simulator final : private RequestService {
 public:
  explicit Simulator(const SimConfig& config = {});
  ~Simulator() override;
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Starts serving the master end of a new pseudo-terminal; devicePath() is the
  // path a master opens.
  bool startOnNewPty(std::string* error = nullptr);
  // Starts serving a real serial device at the instrument's baud rate.
  bool startOnDevice(const std::string& path, std::string* error = nullptr);
  void stop();
  bool running() const;
  std::string devicePath() const;

  // Runs fn(Instrument&) under the simulator's lock, simulated time brought up to
  // date first: the way to read or change anything of the instrument while serving.
  template <class Fn>
  decltype(auto) withInstrument(Fn&& fn) {
    std::lock_guard lock(mutex_);
    catchUpLocked(Clock::now());
    return std::forward<Fn>(fn)(instrument_);
  }

  void setFaults(const FaultConfig& faults);
  FaultConfig faults() const;
  std::uint64_t faultCount(Fault fault) const;
  void setTimeScale(double scale);
  // Moves simulated time forward at once, as if `ms` had passed.
  void skipTime(std::int64_t ms);
  void setLineTiming(bool paced, std::uint32_t turnaroundMs);

  void resetAccessCode();
  void restartInstrument();
  SimStatus status() const;

 private:
  void advance(Clock::time_point now) override;
  bool serve(const std::uint8_t* frame, std::size_t length, Clock::time_point now,
             TransmitPlan& plan) override;
  LineSettings lineSettings() const override;
  void catchUpLocked(Clock::time_point now);
  bool startServer(std::string* error);

  mutable std::mutex mutex_;
  Instrument instrument_;
  SimClock clock_;
  FaultInjector faults_;
  bool pacedLine_;
  std::uint32_t turnaroundMs_;
  bool deafToOtherRates_;
  bool clockRunning_ = false;
  std::uint64_t repliesSent_ = 0;
  Reply reply_;
  std::unique_ptr<PtyServer> server_;
};

}  // namespace km8::sim
