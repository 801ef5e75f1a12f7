// The simulator served on real pseudo-terminals: requests written by a master get
// their replies, faults and line timing show on the wire, and stopping is clean.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "sim_master.h"
#include "simulator.h"

namespace km8::sim {
namespace {

using Clock = std::chrono::steady_clock;
using simtest::Bytes;
using simtest::crcOk;
using simtest::LineMaster;
using simtest::readRequest;
using simtest::withCrc;

SimConfig quickConfig() {
  SimConfig config;
  config.instrument.thermal.noiseC = 0.0;
  return config;
}

bool isReadReply(const Bytes& reply, std::uint8_t address, std::uint8_t bytes) {
  return reply.size() == bytes + 5u && crcOk(reply) && reply[0] == address && reply[2] == bytes;
}

TEST(PtyServer, RequestWrittenToTheSlaveSideGetsItsReplyAndStopIsClean) {
  Simulator sim(quickConfig());
  std::string error;
  ASSERT_TRUE(sim.startOnNewPty(&error)) << error;
  ASSERT_TRUE(sim.running());
  EXPECT_EQ(sim.devicePath().rfind("/dev/pts/", 0), 0u) << sim.devicePath();

  {
    LineMaster master(sim.devicePath());
    ASSERT_TRUE(master.ok());
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(isReadReply(master.transact(readRequest(1, 4, 0, 5)), 1, 10));
      EXPECT_TRUE(isReadReply(master.transact(readRequest(1, 4, 5, 5)), 1, 10));
    }
    EXPECT_TRUE(master.transact(readRequest(2, 4, 0, 5), 300).empty()) << "another slave";
  }
  // The master went away and comes back: the line is served again.
  {
    LineMaster again(sim.devicePath());
    EXPECT_TRUE(isReadReply(again.transact(readRequest(1, 3, 0, 5)), 1, 10));
  }
  EXPECT_EQ(sim.status().counters.requests, 7u);

  const auto before = Clock::now();
  sim.stop();
  EXPECT_FALSE(sim.running());
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
  sim.stop();  // twice is harmless
}

TEST(PtyServer, AnInstrumentDeafToOtherRatesAnswersOnlyAtItsOwn) {
  SimConfig config = quickConfig();
  config.deafToOtherRates = true;  // the factory block runs at 19200
  Simulator sim(config);
  std::string error;
  ASSERT_TRUE(sim.startOnNewPty(&error)) << error;
  LineMaster master(sim.devicePath());
  ASSERT_TRUE(master.ok());
  const auto setRate = [&](speed_t speed) {
    termios tio{};
    tcgetattr(master.fd(), &tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return tcsetattr(master.fd(), TCSANOW, &tio) == 0;
  };
  ASSERT_TRUE(setRate(B9600));
  EXPECT_TRUE(master.transact(readRequest(1, 4, 0, 5), 300).empty());
  ASSERT_TRUE(setRate(B19200));
  EXPECT_TRUE(isReadReply(master.transact(readRequest(1, 4, 0, 5)), 1, 10));
}

TEST(PtyServer, ProgrammingOverTheLineMovesTheInstrumentToItsNewAddress) {
  SimConfig config = quickConfig();
  config.instrument.accessCode = "1234";  // 0x001B
  Simulator sim(config);
  ASSERT_TRUE(sim.startOnNewPty());
  LineMaster master(sim.devicePath());

  Bytes block;
  for (std::uint16_t offset = 0; offset <= 70; offset += 5) {
    const Bytes reply =
        master.transact(readRequest(1, 4, static_cast<std::uint16_t>(12 + offset), 5));
    ASSERT_TRUE(isReadReply(reply, 1, 10));
    block.insert(block.end(), reply.begin() + 3, reply.end() - 2);
  }
  block[3] = 42;
  for (std::uint16_t offset = 0; offset <= 70; offset += 5) {
    const Bytes part(block.begin() + 2 * offset, block.begin() + 2 * offset + 10);
    const Bytes request =
        simtest::writeMultipleRequest(1, static_cast<std::uint16_t>(12 + offset), part);
    ASSERT_EQ(master.transact(request), withCrc(Bytes(request.begin(), request.begin() + 6)));
  }
  const Bytes code = simtest::writeSingleRequest(1, 12, 0x1B, 0x00);
  EXPECT_EQ(master.transact(code), code);
  EXPECT_TRUE(master.transact(readRequest(1, 4, 0, 5), 300).empty());
  EXPECT_TRUE(isReadReply(master.transact(readRequest(42, 4, 0, 5)), 42, 10));
  EXPECT_EQ(sim.status().address, 42);
}

TEST(PtyServer, LateReplyArrivesAfterTheMasterGaveUpThenTheLineRecovers) {
  Simulator sim(quickConfig());
  FaultConfig late;
  late[Fault::LateReply] = 1.0;
  late.lateDelayMs = 400;
  sim.setFaults(late);
  ASSERT_TRUE(sim.startOnNewPty());
  LineMaster master(sim.devicePath());

  EXPECT_TRUE(master.transact(readRequest(1, 4, 0, 5), 150).empty());
  sim.setFaults(FaultConfig{});
  const Bytes stale = master.receive(2000);
  EXPECT_TRUE(isReadReply(stale, 1, 10)) << "the late reply does come, as stale bytes";
  EXPECT_TRUE(isReadReply(master.transact(readRequest(1, 4, 5, 5)), 1, 10));
  EXPECT_EQ(sim.faultCount(Fault::LateReply), 1u);
}

TEST(PtyServer, SilenceAndGapFaultsShowOnTheWireAndSwitchOff) {
  Simulator sim(quickConfig());
  FaultConfig silent;
  silent[Fault::Silence] = 1.0;
  sim.setFaults(silent);
  ASSERT_TRUE(sim.startOnNewPty());
  LineMaster master(sim.devicePath());
  EXPECT_TRUE(master.transact(readRequest(1, 4, 0, 5), 300).empty());

  FaultConfig gap;
  gap[Fault::GapInFrame] = 1.0;
  gap.gapPauseMs = 200;
  sim.setFaults(gap);
  master.send(readRequest(1, 4, 0, 5));
  const Bytes first = master.receive(1000, 60);
  const Bytes rest = master.receive(1000, 60);
  EXPECT_FALSE(first.empty());
  EXPECT_FALSE(rest.empty()) << "a pause longer than the silence splits the reply";
  Bytes whole = first;
  whole.insert(whole.end(), rest.begin(), rest.end());
  EXPECT_TRUE(isReadReply(whole, 1, 10));

  sim.setFaults(FaultConfig{});
  EXPECT_TRUE(isReadReply(master.transact(readRequest(1, 4, 0, 5)), 1, 10));
}

TEST(PtyServer, StopDoesNotWaitForAPendingLateReply) {
  Simulator sim(quickConfig());
  FaultConfig late;
  late[Fault::LateReply] = 1.0;
  late.lateDelayMs = 30'000;
  sim.setFaults(late);
  ASSERT_TRUE(sim.startOnNewPty());
  LineMaster master(sim.devicePath());
  EXPECT_TRUE(master.transact(readRequest(1, 4, 0, 5), 200).empty());
  const auto before = Clock::now();
  sim.stop();
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
}

TEST(PtyServer, PacedLineTakesTheTimeOfItsBaudRate) {
  SimConfig config = quickConfig();
  config.instrument.block.setBaudIndex(0);  // 600 baud: 16.7 ms per 8N1 character
  config.pacedLine = true;
  Simulator sim(config);
  ASSERT_TRUE(sim.startOnNewPty());
  LineMaster master(sim.devicePath());
  const auto start = Clock::now();
  const Bytes reply = master.transact(readRequest(1, 4, 0, 5), 3000, 100);
  EXPECT_TRUE(isReadReply(reply, 1, 10));
  // The request's 8 characters and the reply's 15 take 383 ms at 600 baud.
  EXPECT_GT(Clock::now() - start, std::chrono::milliseconds(380));
}

TEST(PtyServer, ServesAGivenDevice) {
  // A pseudo-terminal pair made here stands in for a serial adapter pair: the
  // simulator serves the slave path as a device; this test talks on the master.
  const int line = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(line, 0);
  ASSERT_EQ(grantpt(line), 0);
  ASSERT_EQ(unlockpt(line), 0);
  char name[128];
  ASSERT_EQ(ptsname_r(line, name, sizeof name), 0);
  termios tio{};
  tcgetattr(line, &tio);
  cfmakeraw(&tio);
  tcsetattr(line, TCSANOW, &tio);
  LineMaster master(line);

  SimConfig config = quickConfig();
  config.instrument.block.setBaudIndex(4);  // 14400: no termios constant for it
  config.instrument.accessCode = "";
  Simulator sim(config);
  std::string error;
  ASSERT_TRUE(sim.startOnDevice(name, &error)) << error;
  EXPECT_EQ(sim.devicePath(), name);
  EXPECT_TRUE(isReadReply(master.transact(readRequest(1, 4, 10, 2)), 1, 4));

  // A programmed rate change reconfigures the device after the reply.
  const Bytes baud = simtest::writeMultipleRequest(1, 14, {6, 0xFF});  // block bytes 4, 5
  ASSERT_EQ(master.transact(baud), withCrc(Bytes(baud.begin(), baud.begin() + 6)));
  const Bytes code = simtest::writeSingleRequest(1, 12, 0, 0);
  EXPECT_EQ(master.transact(code), code);
  EXPECT_EQ(sim.status().baud, 28800u);
  EXPECT_TRUE(isReadReply(master.transact(readRequest(1, 4, 0, 5)), 1, 10));
  sim.stop();

  Simulator missing(quickConfig());
  EXPECT_FALSE(missing.startOnDevice("/nonexistent/tty", &error));
  EXPECT_FALSE(error.empty());
}

TEST(PtyServer, SimulatedTimeRunsInTheServingThreadAndCanBeSkipped) {
  SimConfig config = quickConfig();
  config.timeScale = 6000;  // 100 simulated minutes per second
  config.historyRecords = 20;
  config.restartEvery = 10;
  Simulator sim(config);
  EXPECT_EQ(sim.status().archiveRecords, 21u);  // with one reset marker
  ASSERT_TRUE(sim.startOnNewPty());
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (sim.status().archiveRecords < 25 && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_GE(sim.status().archiveRecords, 25u);

  sim.setTimeScale(0);  // frozen
  const std::size_t frozen = sim.status().archiveRecords;
  sim.skipTime(30 * 60'000);
  EXPECT_EQ(sim.status().archiveRecords, frozen + 30);
  sim.restartInstrument();
  EXPECT_EQ(sim.withInstrument([](Instrument& i) { return i.archive().record(0)[0]; }),
            kRecordResetMarker);
}

TEST(PtyServer, TestsCanChangeTheInstrumentWhileItIsServed) {
  Simulator sim(quickConfig());
  ASSERT_TRUE(sim.startOnNewPty());
  LineMaster master(sim.devicePath());
  std::thread poller([&] {
    for (int i = 0; i < 40; ++i) master.transact(readRequest(1, 4, 0, 5));
  });
  for (int i = 0; i < 40; ++i) {
    sim.withInstrument([i](Instrument& instrument) {
      instrument.thermal().setSensorState(0, i % 2 ? SensorState::AboveRange : SensorState::Normal);
      instrument.sampleNow();
    });
    sim.status();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  poller.join();
  sim.withInstrument([](Instrument& instrument) {
    instrument.thermal().setSensorState(0, SensorState::BelowRange);
    instrument.sampleNow();
  });
  const Bytes reply = master.transact(readRequest(1, 4, 0, 1));
  EXPECT_EQ(reply, withCrc({1, 4, 2, 0x00, 0x83}));
  sim.resetAccessCode();
  EXPECT_EQ(sim.status().attemptsLeft, kMaxAttempts);
}

}  // namespace
}  // namespace km8::sim
