// libmodbus, a widely used Modbus RTU master, on the same simulated line as
// link_line_bench (19200 8N1, 3 ms turnaround), polling the same two requests: the
// yardstick for the station's frame-aware end of reply. Built only when libmodbus is
// installed (bench/install-bench-deps.sh); the station itself never uses it.
#include <benchmark/benchmark.h>
#include <modbus.h>

#include "line_bench_support.h"

namespace {

using namespace km8;

void BM_LibmodbusPoll(benchmark::State& state) {
  std::string error;
  const auto simulator = bench::startPacedSimulator(error);
  if (!simulator) {
    state.SkipWithError(error.c_str());
    return;
  }
  modbus_t* ctx = modbus_new_rtu(simulator->devicePath().c_str(), bench::kBaud, 'N', 8, 1);
  if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
    state.SkipWithError("libmodbus cannot open the line");
    if (ctx) modbus_free(ctx);
    return;
  }
  std::uint16_t registers[5];
  int failures = 0;
  for (auto _ : state) {
    failures += modbus_read_input_registers(ctx, 0, 5, registers) != 5;
    failures += modbus_read_input_registers(ctx, 5, 5, registers) != 5;
  }
  modbus_close(ctx);
  modbus_free(ctx);
  state.counters["failures"] = failures;
  bench::reportRate(state, 2.0 * static_cast<double>(state.iterations()),
                    bench::lineLimitMs(8, 15));
}

BENCHMARK(BM_LibmodbusPoll)->Iterations(150)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
