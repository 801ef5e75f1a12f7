// The request path allocates nothing once running: a burst of requests, framing,
// fault planning and simulated minutes must not add a single global allocation.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "faults.h"
#include "frame_splitter.h"
#include "instrument.h"
#include "sim_master.h"

namespace km8::sim {
namespace {

using simtest::Bytes;

TEST(Allocation, HandlingFramingAndFaultingRequestsAllocatesNothing) {
  InstrumentConfig config;
  config.archiveCapacity = 50;
  Instrument instrument(config);
  FaultInjector faults(5);
  FaultConfig all;
  all.rate.fill(0.5);
  faults.setConfig(all);
  FrameSplitter splitter(19200);

  const std::vector<Bytes> requests = {
      simtest::readRequest(1, 4, 0, 5),
      simtest::readRequest(1, 4, 12, 5),
      simtest::readRequest(1, 4, 10, 2),
      simtest::readRequest(1, 3, 6, 5),
      simtest::readRequest(1, 3, 7, 4),
      simtest::readRequest(1, 4, 90, 5),
      simtest::readRequest(2, 4, 0, 5),
      simtest::writeMultipleRequest(1, 17, Bytes(10, 0x33)),
      simtest::writeSingleRequest(1, 12, 0x1B, 0x00),
      simtest::writeSingleRequest(1, 12, 0x00, 0x1B),
  };
  Reply reply;
  TransmitPlan plan;
  std::size_t replies = 0;
  auto serve = [&](const std::uint8_t* frame, std::size_t length) {
    if (instrument.handle(frame, length, reply).replied) {
      faults.plan(reply.bytes.data(), reply.length, 19200, plan);
      ++replies;
    }
  };

  const long before = simtest::allocationCount();
  std::int64_t now = 0;
  for (int round = 0; round < 200; ++round) {
    for (const Bytes& request : requests) {
      now += 5'000;
      splitter.feed(request.data(), request.size(), now, serve);
    }
    instrument.advanceTo(round * 60'000LL);  // archive records every minute, ring wraps
    instrument.resetAccessCode();
  }
  EXPECT_EQ(simtest::allocationCount() - before, 0);
  // And the counter does see allocations.
  const Bytes probe(64, 0);
  EXPECT_GT(simtest::allocationCount() - before, 0);
  EXPECT_EQ(replies, 200u * 9);
  EXPECT_EQ(instrument.archive().size(), 50u);
}

}  // namespace
}  // namespace km8::sim
