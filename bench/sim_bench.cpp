// Cost of the instrument simulator's request path, of simulated time, and of one
// whole transaction over a pseudo-terminal.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>

#include "crc16.h"
#include "instrument.h"
#include "simulator.h"

namespace {

using namespace km8::sim;

std::array<std::uint8_t, 8> readRequest(std::uint8_t function, std::uint16_t start,
                                        std::uint16_t count) {
  std::array<std::uint8_t, 8> f = {1,
                                   function,
                                   static_cast<std::uint8_t>(start >> 8),
                                   static_cast<std::uint8_t>(start),
                                   static_cast<std::uint8_t>(count >> 8),
                                   static_cast<std::uint8_t>(count)};
  const std::uint16_t crc = km8::Crc16(f.data(), 6);
  f[6] = static_cast<std::uint8_t>(crc);
  f[7] = static_cast<std::uint8_t>(crc >> 8);
  return f;
}

void BM_HandleCurrentValuesRead(benchmark::State& state) {
  Instrument instrument{InstrumentConfig{}};
  const auto request = readRequest(4, 0, 5);
  Reply reply;
  for (auto _ : state) {
    benchmark::DoNotOptimize(instrument.handle(request.data(), request.size(), reply));
  }
}
BENCHMARK(BM_HandleCurrentValuesRead);

void BM_HandleArchiveRead(benchmark::State& state) {
  InstrumentConfig config;
  config.block.setArchivePeriod(1);
  Instrument instrument{config};
  instrument.writeHistory(100, 0);
  const auto request = readRequest(3, 2 * 57, 5);
  Reply reply;
  for (auto _ : state) {
    benchmark::DoNotOptimize(instrument.handle(request.data(), request.size(), reply));
  }
}
BENCHMARK(BM_HandleArchiveRead);

// One simulated hour of all eight channels.
void BM_SimulatedHour(benchmark::State& state) {
  Instrument instrument{InstrumentConfig{}};
  std::int64_t now = 0;
  for (auto _ : state) {
    now += 3'600'000;
    instrument.advanceTo(now);
  }
}
BENCHMARK(BM_SimulatedHour)->Unit(benchmark::kMicrosecond);

// Request written to the slave side of the pseudo-terminal until the whole reply
// has been read back.
void BM_PtyTransaction(benchmark::State& state) {
  Simulator sim;
  if (!sim.startOnNewPty()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  const int fd = open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY);
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  const auto request = readRequest(4, 0, 5);
  std::uint8_t buffer[64];
  for (auto _ : state) {
    if (write(fd, request.data(), request.size()) != 8) break;
    std::size_t got = 0;
    while (got < 15) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0) break;
      const ssize_t n = read(fd, buffer + got, sizeof buffer - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
  }
  close(fd);
}
BENCHMARK(BM_PtyTransaction)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
