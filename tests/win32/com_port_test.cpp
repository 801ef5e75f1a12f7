// The Win32 serial port on COM ports of the wine prefix whose far ends are pseudo-
// terminals played by the native line responder.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <thread>

#include "link/serial_port.h"
#include "win32/remote_responder.h"
#include "win32/served_ports.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KM8_REQUIRE_SERVED_PORTS(served);
    com1 = served->scripted[0];
    com2 = served->scripted[1];
    far1 = std::make_unique<RemoteResponder>(served->responder, com1);
    far2 = std::make_unique<RemoteResponder>(served->responder, com2);
  }

  Bytes readOnce(int* result = nullptr) { return test::readOnce(port, result); }

  std::optional<ServedPorts> served;
  std::string com1, com2;
  std::unique_ptr<RemoteResponder> far1, far2;
  PortMap ports;  // COM1 .. COM9, the names themselves
  SerialPort port{ports};
};

Bytes allByteValues() {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  return all;
}

TEST_F(ComPortTest, EveryByteValuePassesUntouchedBothWays) {
  ASSERT_TRUE(port.Open(lineSetup(com2, 256)));
  const Bytes all = allByteValues();
  std::uint32_t written = 0;
  ASSERT_TRUE(port.Write(all.data(), 256, written));
  EXPECT_EQ(written, 256u);
  EXPECT_EQ(far2->receive(), all) << "no CR/LF translation, no flow-control characters";

  far2->send(all);
  int result = 0;
  EXPECT_EQ(readOnce(&result), all);
  EXPECT_EQ(result, 1);
}

TEST_F(ComPortTest, TheLineSettingsReachTheDevice) {
  // Standard rates only: wine sets a rate without a termios constant (14400, 28800,
  // 56000, 128000) through the serial driver's custom divisor, which a
  // pseudo-terminal does not have, so it cannot be seen here.
  for (std::uint32_t rate :
       {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
    ASSERT_TRUE(port.Open(lineSetup(com1, 20, 500, rate))) << rate;
    EXPECT_EQ(far1->lineSettings()["baud"], rate);
  }

  // A pseudo-terminal keeps 8 bits and no parity generation whatever it is told, so
  // parity shows as the checking and the kind of parity bit asked for.
  struct ParityCase {
    std::uint8_t parity;
    unsigned inpck, parodd, cmspar;
  };
  for (const ParityCase& c :
       {ParityCase{0, 0, 0, 0}, ParityCase{1, 1, 1, 0}, ParityCase{2, 1, 0, 0},
        ParityCase{3, 1, 1, 1}, ParityCase{4, 1, 0, 1}, ParityCase{5, 0, 0, 0}}) {
    SerialSetup setup = lineSetup(com1);
    setup.Parity = c.parity;
    ASSERT_TRUE(port.Open(setup)) << int{c.parity};
    auto settings = far1->lineSettings();
    EXPECT_EQ(settings["inpck"], c.inpck) << "parity " << int{c.parity};
    EXPECT_EQ(settings["parodd"], c.parodd) << "parity " << int{c.parity};
    EXPECT_EQ(settings["cmspar"], c.cmspar) << "parity " << int{c.parity};
  }

  for (std::uint8_t stopBits : {0, 2}) {
    SerialSetup setup = lineSetup(com1);
    setup.StopBits = stopBits;
    ASSERT_TRUE(port.Open(setup));
    auto settings = far1->lineSettings();
    EXPECT_EQ(settings["cstopb"], stopBits == 2 ? 1u : 0u);
    EXPECT_EQ(settings["crtscts"], 0u) << "no hardware flow control";
    EXPECT_EQ(settings["ixon"] + settings["ixoff"], 0u) << "no software flow control";
    EXPECT_EQ(settings["icanon"] + settings["echo"], 0u);
  }
}

TEST_F(ComPortTest, PortIndexSelectsTheDeviceAndBadBlocksAreRefusedClosed) {
  ASSERT_TRUE(port.Open(lineSetup(com1)));
  std::uint32_t written = 0;
  const Bytes ping = {0x55, 0xAA};
  port.Write(ping.data(), 2, written);
  EXPECT_EQ(far1->receive(), ping);
  EXPECT_TRUE(far2->receive(50ms).empty());

  SerialSetup zeroRate = lineSetup(com1);
  zeroRate.BaudRate = 0;
  EXPECT_FALSE(port.Open(zeroRate));
  EXPECT_FALSE(port.isOpen());
  SerialSetup beyondCom9 = lineSetup(com1);
  beyondCom9.PortIndex = 9;
  EXPECT_FALSE(port.Open(beyondCom9));
  EXPECT_FALSE(port.Open(lineSetup(served->missing))) << "nothing is mapped as " << served->missing;
  SerialSetup nineBits = lineSetup(com1);
  nineBits.DataBits = 9;
  EXPECT_FALSE(port.Open(nineBits)) << "SetCommState must refuse 9 data bits";
  EXPECT_FALSE(port.isOpen());

  // The refused opens released the port.
  SerialPort other(ports);
  EXPECT_TRUE(other.Open(lineSetup(com1)));
}

TEST_F(ComPortTest, SecondOpenerInTheSameProcessIsRefusedUntilClose) {
  ASSERT_TRUE(port.Open(lineSetup(com1)));
  SerialPort second(ports);
  EXPECT_FALSE(second.Open(lineSetup(com1)));
  EXPECT_FALSE(second.isOpen());
  EXPECT_TRUE(second.Open(lineSetup(com2)));  // another port is free
  port.Close();
  EXPECT_TRUE(second.Open(lineSetup(com1)));
}

TEST_F(ComPortTest, ReopeningWithNewSettingsClosesTheFirstPort) {
  ASSERT_TRUE(port.Open(lineSetup(com1, 20)));
  ASSERT_TRUE(port.Open(lineSetup(com2, 5)));
  EXPECT_EQ(port.readLength(), 5u);
  SerialPort other(ports);
  EXPECT_TRUE(other.Open(lineSetup(com1))) << com1 << " is still held";
  other.Close();

  far2->send({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(readOnce(), (Bytes{1, 2, 3, 4, 5}));
  // The same device again at another rate: its own claim goes first.
  ASSERT_TRUE(port.Open(lineSetup(com2, 20, 500, 9600)));
  EXPECT_EQ(far2->lineSettings()["baud"], 9600u);
}

TEST_F(ComPortTest, ReadIsCutAtTheReadLengthAndTheRestComesWithTheNextRead) {
  ASSERT_TRUE(port.Open(lineSetup(com1, 20)));
  Bytes reply(25);
  for (int i = 0; i < 25; ++i) reply[i] = static_cast<std::uint8_t>(0xF0 + i);
  far1->send(reply);
  std::this_thread::sleep_for(50ms);  // all 25 bytes wait in the driver
  int result = 0;
  EXPECT_EQ(readOnce(&result), Bytes(reply.begin(), reply.begin() + 20));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(readOnce(&result), Bytes(reply.begin() + 20, reply.end()));
  EXPECT_EQ(result, 1);
}

TEST_F(ComPortTest, ReadEndsOnTheIntervalTimeoutLongBeforeTheTotal) {
  ASSERT_TRUE(port.Open(lineSetup(com1, 20, 3000)));  // interval 20 ms at 19200
  far1->send({1, 2, 3, 4, 5});
  const Stopwatch watch;
  int result = 0;
  EXPECT_EQ(readOnce(&result), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(result, 1);
  EXPECT_LT(watch.ms(), 1500);
}

TEST_F(ComPortTest, GapsShorterThanTheIntervalJoinLongerOnesSplit) {
  // 110 baud: an interval time-out of 454 ms, wide enough for a loaded machine.
  ASSERT_TRUE(port.Open(lineSetup(com1, 20, 10000, 110)));
  far1->expect({}).reply({1, 2}).reply({3, 4}, 100ms).reply({5}, 1500ms);
  far1->start();
  const Stopwatch watch;
  EXPECT_EQ(readOnce(), (Bytes{1, 2, 3, 4}));
  EXPECT_LT(watch.ms(), 1400);
  EXPECT_EQ(readOnce(), (Bytes{5}));
  EXPECT_TRUE(far1->finish());
}

TEST_F(ComPortTest, SilentLineEndsOnTheTotalTimeoutWithNothingReceived) {
  ASSERT_TRUE(port.Open(lineSetup(com1, 20, 200)));
  const Stopwatch watch;
  int result = 0;
  EXPECT_TRUE(readOnce(&result).empty());
  EXPECT_EQ(result, 1) << "a time-out is not a line error";
  EXPECT_GE(watch.ms(), 190);
  EXPECT_LT(watch.ms(), 1500);
}

TEST_F(ComPortTest, DiscardDropsWaitingInput) {
  ASSERT_TRUE(port.Open(lineSetup(com1, 20, 300)));
  far1->send({8, 8});
  std::this_thread::sleep_for(100ms);
  port.discardInput();
  far1->send({7});
  EXPECT_EQ(readOnce(), (Bytes{7}));
}

// Needs no served port: a closed port never reaches the system.
TEST(ClosedComPort, ReadAndWriteFailAfterAbout20Ms) {
  PortMap ports;
  SerialPort port(ports);
  std::uint8_t buffer[8] = {};
  std::uint32_t count = 99;
  Stopwatch watch;
  EXPECT_EQ(port.Read(buffer, count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_GE(watch.ms(), 15);  // the system tick may round the sleep down a little
  EXPECT_LT(watch.ms(), 500);

  count = 99;
  watch = Stopwatch();
  EXPECT_EQ(port.Write(buffer, 8, count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_GE(watch.ms(), 15);
  EXPECT_LT(watch.ms(), 500);
}

}  // namespace
}  // namespace km8::test
