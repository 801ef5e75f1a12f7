// Shared by the line benchmarks: the simulated instrument on a paced line (19200 8N1,
// 3 ms turnaround) and the line limit that the figures are given against.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "simulator.h"

namespace km8::bench {

inline constexpr std::uint32_t kBaud = 19200;
inline constexpr std::uint32_t kTurnaroundMs = 3;
inline constexpr double kCharacterMs = 10 * 1000.0 / kBaud;  // 8N1

// The shortest a transaction can take on this line: the request and the reply on the
// wire, the instrument's turnaround and the 3.5 characters of silence that must end
// each frame before the next request.
inline double lineLimitMs(int requestChars, int replyChars) {
  return (requestChars + replyChars + 3.5) * kCharacterMs + kTurnaroundMs;
}

// A simulated KM410-8 (instrument 1) serving a new pseudo-terminal at line pace.
inline std::unique_ptr<sim::Simulator> startPacedSimulator(std::string& error) {
  sim::SimConfig config;
  config.pacedLine = true;
  config.turnaroundMs = kTurnaroundMs;
  config.historyRecords = 1000;
  auto simulator = std::make_unique<sim::Simulator>(config);
  if (!simulator->startOnNewPty(&error)) return nullptr;
  return simulator;
}

// Transactions per second, and the share of the line limit they reach.
inline void reportRate(benchmark::State& state, double transactions, double limitMsEach) {
  state.counters["transactions_per_s"] =
      benchmark::Counter(transactions, benchmark::Counter::kIsRate);
  state.counters["of_line_limit"] =
      benchmark::Counter(transactions * limitMsEach / 1000.0, benchmark::Counter::kIsRate);
}

}  // namespace km8::bench
