// Fault injection on replies (each switch at rate 1 and off, rates in between, the
// seed) and the splitting of the incoming byte stream into request frames.
#include "faults.h"

#include <gtest/gtest.h>

#include "frame_splitter.h"
#include "sim_master.h"

namespace km8::sim {
namespace {

using simtest::Bytes;
using simtest::crcOk;
using simtest::withCrc;

const Bytes kReply = withCrc({0x01, 0x04, 0x04, 0x12, 0x34, 0x56, 0x78});

struct Planned {
  bool sent = false;
  Bytes bytes;
  TransmitPlan plan;
};

Planned planWith(FaultInjector& injector, const Bytes& reply = kReply) {
  Planned p;
  p.sent = injector.plan(reply.data(), reply.size(), 19200, p.plan);
  p.bytes.assign(p.plan.bytes.begin(), p.plan.bytes.begin() + static_cast<long>(p.plan.length));
  return p;
}

FaultInjector only(Fault fault, double rate = 1.0, std::uint64_t seed = 7) {
  FaultInjector injector(seed);
  FaultConfig config;
  config[fault] = rate;
  injector.setConfig(config);
  return injector;
}

bool endsWith(const Bytes& all, const Bytes& tail) {
  return all.size() >= tail.size() &&
         std::equal(tail.begin(), tail.end(), all.end() - static_cast<long>(tail.size()));
}

TEST(Faults, EachSwitchAtRateOneDoesWhatItSays) {
  {
    FaultInjector f = only(Fault::Silence);
    EXPECT_FALSE(planWith(f).sent);
  }
  {
    FaultInjector f = only(Fault::BadCrc);
    const Planned p = planWith(f);
    ASSERT_EQ(p.bytes.size(), kReply.size());
    EXPECT_TRUE(std::equal(kReply.begin(), kReply.end() - 2, p.bytes.begin()));
    EXPECT_FALSE(crcOk(p.bytes));
  }
  {
    FaultInjector f = only(Fault::WrongAddress);
    const Planned p = planWith(f);
    EXPECT_EQ(p.bytes[0], 0x02);
    EXPECT_TRUE(crcOk(p.bytes)) << "a well-formed reply from the wrong slave";
    EXPECT_TRUE(std::equal(kReply.begin() + 1, kReply.end() - 2, p.bytes.begin() + 1));
  }
  {
    FaultInjector f = only(Fault::ShortReply);
    for (int i = 0; i < 50; ++i) {
      const Planned p = planWith(f);
      ASSERT_GE(p.bytes.size(), 1u);
      ASSERT_LT(p.bytes.size(), kReply.size());
      EXPECT_TRUE(std::equal(p.bytes.begin(), p.bytes.end(), kReply.begin()));
    }
  }
  {
    FaultInjector f = only(Fault::GarbageBefore);
    const Planned p = planWith(f);
    EXPECT_GE(p.bytes.size(), kReply.size() + 1);
    EXPECT_LE(p.bytes.size(), kReply.size() + kMaxGarbageBytes);
    EXPECT_TRUE(endsWith(p.bytes, kReply));
  }
  {
    FaultInjector f = only(Fault::GarbageAfter);
    const Planned p = planWith(f);
    EXPECT_GE(p.bytes.size(), kReply.size() + 1);
    EXPECT_TRUE(std::equal(kReply.begin(), kReply.end(), p.bytes.begin()));
  }
  {
    FaultInjector f = only(Fault::LateReply);
    const Planned p = planWith(f);
    EXPECT_EQ(p.bytes, kReply);
    // The master gives up after (20 + 4) x 11 bits + 200 ms = 213 ms at 19200 baud.
    EXPECT_GT(p.plan.delayBeforeMs, 213u);
    EXPECT_GT(defaultLateDelayMs(600), 640u);
  }
  {
    FaultInjector f = only(Fault::GapInFrame);
    const Planned p = planWith(f);
    EXPECT_EQ(p.bytes, kReply);
    EXPECT_GE(p.plan.pauseAt, 1u);
    EXPECT_LT(p.plan.pauseAt, kReply.size());
    EXPECT_GT(p.plan.pauseMs, 20u);  // the master's inter-character time-out
    EXPECT_GT(defaultGapPauseMs(600), 83u);
  }
}

TEST(Faults, ConfiguredDelaysOverrideTheDefaults) {
  FaultInjector f(1);
  FaultConfig config;
  config[Fault::LateReply] = 1.0;
  config[Fault::GapInFrame] = 1.0;
  config.lateDelayMs = 1234;
  config.gapPauseMs = 77;
  f.setConfig(config);
  const Planned p = planWith(f);
  EXPECT_EQ(p.plan.delayBeforeMs, 1234u);
  EXPECT_EQ(p.plan.pauseMs, 77u);
}

TEST(Faults, SwitchedOffTheReplyGoesOutUntouched) {
  FaultInjector f(3);
  FaultConfig config;
  config.rate.fill(0.0);
  f.setConfig(config);
  for (int i = 0; i < 200; ++i) {
    const Planned p = planWith(f);
    ASSERT_TRUE(p.sent);
    ASSERT_EQ(p.bytes, kReply);
    ASSERT_EQ(p.plan.delayBeforeMs, 0u);
    ASSERT_EQ(p.plan.pauseAt, 0u);
  }
  for (std::size_t i = 0; i < kFaultCount; ++i) EXPECT_EQ(f.count(static_cast<Fault>(i)), 0u);
}

TEST(Faults, RatesAreHonouredAndTheSeedRepeatsTheSequence) {
  FaultInjector a = only(Fault::Silence, 0.25, 99);
  FaultInjector b = only(Fault::Silence, 0.25, 99);
  int silent = 0;
  for (int i = 0; i < 4000; ++i) {
    const bool sentA = planWith(a).sent;
    ASSERT_EQ(sentA, planWith(b).sent);
    if (!sentA) ++silent;
  }
  EXPECT_GT(silent, 800);
  EXPECT_LT(silent, 1200);
  EXPECT_EQ(a.count(Fault::Silence), static_cast<std::uint64_t>(silent));
}

TEST(Faults, NamesRoundTrip) {
  for (std::size_t i = 0; i < kFaultCount; ++i) {
    const auto fault = static_cast<Fault>(i);
    EXPECT_EQ(faultFromName(faultName(fault)), fault);
  }
  EXPECT_FALSE(faultFromName("crc").has_value());
}

// ---- frame splitting ---------------------------------------------------------

struct Collector {
  std::vector<Bytes> frames;
  auto sink() {
    return [this](const std::uint8_t* data, std::size_t n) { frames.emplace_back(data, data + n); };
  }
};

TEST(FrameSplitter, SplitsBackToBackRequestsByTheirOwnLength) {
  const Bytes read = simtest::readRequest(1, 4, 0, 5);
  const Bytes write = simtest::writeMultipleRequest(1, 12, Bytes(10, 0xAB));
  Bytes stream = read;
  stream.insert(stream.end(), write.begin(), write.end());
  stream.insert(stream.end(), read.begin(), read.end());

  FrameSplitter splitter(19200);
  Collector c;
  splitter.feed(stream.data(), stream.size(), 0, c.sink());
  EXPECT_EQ(c.frames, (std::vector<Bytes>{read, write, read}));
  EXPECT_EQ(splitter.deadlineUs(), -1);
}

TEST(FrameSplitter, RequestDeliveredInBurstsIsReassembled) {
  const Bytes write = simtest::writeMultipleRequest(1, 12, Bytes(10, 0x11));
  FrameSplitter splitter(19200);
  Collector c;
  std::int64_t t = 0;
  for (std::size_t i = 0; i < write.size(); i += 5) {
    const std::size_t n = std::min<std::size_t>(5, write.size() - i);
    splitter.poll(t, c.sink());
    splitter.feed(write.data() + i, n, t, c.sink());
    t += 16'000;  // a USB adapter's latency between bursts
  }
  EXPECT_EQ(c.frames, std::vector<Bytes>{write});
}

TEST(FrameSplitter, UnknownFunctionEndsAtTheCharacterGap) {
  FrameSplitter splitter(9600);
  EXPECT_EQ(splitter.gapUs(), 3645);  // 3.5 characters of 10 bits (8N1)
  EXPECT_EQ(FrameSplitter(38400).gapUs(), 1750);
  const Bytes odd = withCrc({1, 0x41, 1, 2, 3});
  Collector c;
  splitter.feed(odd.data(), odd.size(), 1'000'000, c.sink());
  splitter.poll(1'000'000 + 3640, c.sink());
  EXPECT_TRUE(c.frames.empty());
  splitter.poll(1'000'000 + 3645, c.sink());
  EXPECT_EQ(c.frames, std::vector<Bytes>{odd});
}

TEST(FrameSplitter, NoiseBeforeARequestDropsTheBurstUntilTheLineGoesQuiet) {
  const Bytes read = simtest::readRequest(1, 4, 0, 5);
  Bytes noisy = {0x55, 0x03};  // looks like the start of a function-3 frame
  noisy.insert(noisy.end(), read.begin(), read.end());
  FrameSplitter splitter(19200);
  Collector c;
  splitter.feed(noisy.data(), noisy.size(), 0, c.sink());
  splitter.poll(10'000, c.sink());
  EXPECT_TRUE(c.frames.empty());
  splitter.feed(read.data(), read.size(), 20'000, c.sink());
  EXPECT_EQ(c.frames, std::vector<Bytes>{read});
}

TEST(FrameSplitter, LongPauseInsideARequestCutsIt) {
  const Bytes read = simtest::readRequest(1, 4, 0, 5);
  FrameSplitter splitter(19200);
  Collector c;
  splitter.feed(read.data(), 3, 0, c.sink());
  EXPECT_EQ(splitter.deadlineUs(), 50'000);  // the partial frame's grace
  splitter.poll(50'000, c.sink());
  ASSERT_EQ(c.frames.size(), 1u);
  EXPECT_EQ(c.frames[0], Bytes(read.begin(), read.begin() + 3));
}

}  // namespace
}  // namespace km8::sim
