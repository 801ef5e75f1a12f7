// One Modbus function-4 transaction of 5 registers through the real serial port and
// master, against an instrument stand-in that answers at once on a pseudo-terminal.
//
// A pseudo-terminal moves bytes without baud timing, so the figures are the
// station's own cost plus the end of the read: with FrameLength 20 the 15-byte reply
// ends on the 20 ms inter-character time-out (the real station's case); with
// FrameLength 15 it ends on the read length (what a frame-aware end rule would give).
#include <benchmark/benchmark.h>

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "crc16.h"
#include "link/modbus_master.h"

// Counts every allocation of the process, to show that a transaction makes none.
// (GCC takes the replaced pair for the built-in one and warns about free().)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
std::atomic<std::uint64_t> allocations{0};

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> frame) {
  const std::uint16_t crc = km8::Crc16(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

// A pseudo-terminal whose far end answers every 8-byte request with a fixed reply.
class ImmediateResponder {
 public:
  ImmediateResponder() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) std::abort();
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) std::abort();
    path_ = name;
    hold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);  // no hang-up while closed
    termios t{};
    ::tcgetattr(master_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
    std::vector<std::uint8_t> frame = {0x01, 0x04, 10};
    for (std::uint8_t i = 0; i < 10; ++i) frame.push_back(static_cast<std::uint8_t>(0x20 + i));
    reply_ = withCrc(frame);
    thread_ = std::thread([this] { run(); });
  }

  ~ImmediateResponder() {
    stop_ = true;
    thread_.join();
    ::close(hold_);
    ::close(master_);
  }

  const std::string& path() const { return path_; }

 private:
  void run() {
    std::size_t pending = 0;
    std::array<std::uint8_t, 256> chunk{};
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(master_, chunk.data(), chunk.size());
      if (n <= 0) continue;
      pending += static_cast<std::size_t>(n);
      for (; pending >= 8; pending -= 8) {
        if (::write(master_, reply_.data(), reply_.size()) < 0) return;
      }
    }
  }

  int master_ = -1;
  int hold_ = -1;
  std::string path_;
  std::vector<std::uint8_t> reply_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_ReadInputRegisters(benchmark::State& state) {
  ImmediateResponder instrument;
  std::array<std::string, km8::kPortCount> paths;
  paths[0] = instrument.path();
  const km8::PortMap ports(paths);
  km8::ModbusMaster master(ports);
  km8::SerialSetup setup;
  setup.PortIndex = 0;
  setup.FrameLength = static_cast<std::uint32_t>(state.range(0));
  setup.TotalTimeoutMs = km8::ComputeTotalTimeoutMs(setup);
  if (!master.Open(setup)) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  std::uint8_t data[255];
  std::uint8_t count = 0;
  const std::uint64_t allocationsBefore = allocations.load();
  for (auto _ : state) {
    if (!master.ReadInputRegisters(1, 0, 5, data, count)) {
      state.SkipWithError("transaction failed");
      break;
    }
    benchmark::DoNotOptimize(data);
  }
  state.counters["allocations_per_transaction"] = benchmark::Counter(
      static_cast<double>(allocations.load() - allocationsBefore) /
      static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1)));
  state.counters["transactions_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ReadInputRegisters)
    ->ArgName("FrameLength")
    ->Arg(20)
    ->Arg(15)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

#endif  // _WIN32

BENCHMARK_MAIN();
