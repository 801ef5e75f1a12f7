#include "simulator.h"

namespace km8::sim {

Simulator::Simulator(const SimConfig& config)
    : instrument_(config.instrument),
      clock_(config.timeScale, Clock::now()),
      faults_(config.instrument.seed ^ 0x5EEDF00Dull),
      pacedLine_(config.pacedLine),
      turnaroundMs_(config.turnaroundMs),
      deafToOtherRates_(config.deafToOtherRates),
      server_(std::make_unique<PtyServer>(static_cast<RequestService&>(*this))) {
  faults_.setConfig(config.faults);
  instrument_.writeHistory(config.historyRecords, config.restartEvery);
  clock_ = SimClock(config.timeScale, Clock::now(), instrument_.nowMs());
}

Simulator::~Simulator() { stop(); }

bool Simulator::startServer(std::string* error) {
  {
    // Simulated time starts with the service, from where the history left it.
    std::lock_guard lock(mutex_);
    clock_ = SimClock(clock_.scale(), Clock::now(), instrument_.nowMs());
    clockRunning_ = true;
  }
  std::string message;
  if (!server_->start(message)) {
    if (error) *error = message;
    std::lock_guard lock(mutex_);
    clockRunning_ = false;
    return false;
  }
  return true;
}

bool Simulator::startOnNewPty(std::string* error) {
  std::string message;
  if (!server_->openNewPty(message)) {
    if (error) *error = message;
    return false;
  }
  return startServer(error);
}

bool Simulator::startOnDevice(const std::string& path, std::string* error) {
  std::string message;
  if (!server_->openDevice(path, message)) {
    if (error) *error = message;
    return false;
  }
  return startServer(error);
}

void Simulator::stop() {
  server_->stop();
  std::lock_guard lock(mutex_);
  catchUpLocked(Clock::now());
  clockRunning_ = false;
}

bool Simulator::running() const { return server_->running(); }

std::string Simulator::devicePath() const { return server_->devicePath(); }

void Simulator::catchUpLocked(Clock::time_point now) {
  if (clockRunning_) instrument_.advanceTo(clock_.nowMs(now));
}

void Simulator::advance(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  catchUpLocked(now);
}

bool Simulator::serve(const std::uint8_t* frame, std::size_t length, Clock::time_point now,
                      TransmitPlan& plan) {
  std::lock_guard lock(mutex_);
  catchUpLocked(now);
  // The reply is planned at the rate the request came in; a new rate set by this
  // very request applies from the next one.
  const std::uint32_t baud = instrument_.baud();
  if (!instrument_.handle(frame, length, reply_).replied) return false;
  if (!faults_.plan(reply_.bytes.data(), reply_.length, baud, plan)) return false;
  ++repliesSent_;
  return true;
}

LineSettings Simulator::lineSettings() const {
  std::lock_guard lock(mutex_);
  return LineSettings{instrument_.baud(), pacedLine_, turnaroundMs_, deafToOtherRates_};
}

void Simulator::setFaults(const FaultConfig& faults) {
  std::lock_guard lock(mutex_);
  faults_.setConfig(faults);
}

FaultConfig Simulator::faults() const {
  std::lock_guard lock(mutex_);
  return faults_.config();
}

std::uint64_t Simulator::faultCount(Fault fault) const {
  std::lock_guard lock(mutex_);
  return faults_.count(fault);
}

void Simulator::setTimeScale(double scale) {
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  catchUpLocked(now);
  clock_.setScale(scale, now);
}

void Simulator::skipTime(std::int64_t ms) {
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  catchUpLocked(now);
  clock_.skip(ms);
  if (clockRunning_) {
    catchUpLocked(now);
  } else {
    instrument_.advanceTo(instrument_.nowMs() + ms);
  }
}

void Simulator::setLineTiming(bool paced, std::uint32_t turnaroundMs) {
  std::lock_guard lock(mutex_);
  pacedLine_ = paced;
  turnaroundMs_ = turnaroundMs;
}

void Simulator::resetAccessCode() {
  std::lock_guard lock(mutex_);
  instrument_.resetAccessCode();
}

void Simulator::restartInstrument() {
  std::lock_guard lock(mutex_);
  catchUpLocked(Clock::now());
  instrument_.restart();
}

SimStatus Simulator::status() const {
  std::lock_guard lock(mutex_);
  SimStatus s;
  s.simTimeMs = instrument_.nowMs();
  s.address = instrument_.address();
  s.baud = instrument_.baud();
  for (int ch = 0; ch < kChannelCount; ++ch) s.readings[ch] = instrument_.thermal().reading(ch);
  const auto& values = instrument_.currentValues();
  s.regulationOutputs = values[16];
  s.alarmOutputs = values[17];
  s.enabledChannels = values[18];
  s.statusFlags = values[19];
  s.attemptsLeft = instrument_.block().attemptsLeft();
  s.archiveRecords = instrument_.archive().size();
  s.counters = instrument_.counters();
  s.repliesSent = repliesSent_;
  for (std::size_t f = 0; f < kFaultCount; ++f)
    s.faultsApplied += faults_.count(static_cast<Fault>(f));
  return s;
}

}  // namespace km8::sim
