// The master's transactions checked on the wire, the same on every serial backend. A
// suite defines the fixture MasterOnLine and then includes this file; the fixture has
// `master` (open on a line whose far end is scripted), slave() (the script: expect,
// reply, start, finish, requests), setup(frameLength, totalMs) for that line, portMap(),
// finishScript() and expectNothingSent().
#pragma once

#include <gtest/gtest.h>

#include <thread>

#include "link/modbus_master.h"
#include "support/modbus_bytes.h"
#include "support/stopwatch.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;

Bytes registerData(std::size_t count, std::uint8_t seed) {
  Bytes data(2 * count);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(seed + i);
  return data;
}

Bytes readReply(std::uint8_t address, std::uint8_t function, const Bytes& data) {
  Bytes frame = {address, function, static_cast<std::uint8_t>(data.size())};
  frame.insert(frame.end(), data.begin(), data.end());
  return withCrc(frame);
}

TEST_F(MasterOnLine, ReadsSendTheirFramesAndReturnTheReplyData) {
  const Bytes holding = registerData(5, 0xF8);  // includes 0xFF on the wire
  slave().expect({0x01, 0x03, 0x00, 0x00, 0x00, 0x05, 0x85, 0xC9}).reply(readReply(1, 3, holding));
  slave()
      .expect(withCrc({0x07, 0x01, 0x00, 0x10, 0x00, 0x0A}))
      .reply(readReply(7, 1, {0x55, 0x02}));
  slave().expect(withCrc({0x07, 0x02, 0x01, 0x00, 0x00, 0x03})).reply(readReply(7, 2, {0x05}));
  slave()
      .expect(withCrc({0x07, 0x04, 0x00, 0x05, 0x00, 0x05}))
      .reply(readReply(7, 4, registerData(5, 1)));
  slave().start();

  std::uint8_t data[255] = {};
  std::uint8_t count = 0;
  ASSERT_TRUE(master.ReadHoldingRegisters(1, 0, 5, data, count));
  EXPECT_EQ(Bytes(data, data + count), holding);
  ASSERT_TRUE(master.ReadCoils(7, 0x10, 10, data, count));
  EXPECT_EQ(Bytes(data, data + count), (Bytes{0x55, 0x02}));
  ASSERT_TRUE(master.ReadDiscreteInputs(7, 0x100, 3, nullptr, count));  // no destination
  EXPECT_EQ(count, 1);
  ASSERT_TRUE(master.ReadInputRegisters(7, 5, 5, data, count));
  EXPECT_EQ(Bytes(data, data + count), registerData(5, 1));
  finishScript();
  ASSERT_FALSE(slave().requests().empty());
  EXPECT_EQ(hex(slave().requests()[0]), "01 03 00 00 00 05 85 C9");
}

TEST_F(MasterOnLine, ExceptionAndOtherBadReadRepliesAllFailAlikeAndLeaveTheOutputsAlone) {
  const Bytes request = withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x02});
  Bytes badCrc = readReply(1, 4, {1, 2, 3, 4});
  badCrc.back() ^= 0x01;
  const Bytes replies[] = {
      withCrc({0x01, 0x84, 0x02}),           // exception
      withCrc({0x01, 0x04, 0x04, 1, 2, 3}),  // good CRC, byte count 4 but 3 data bytes
      readReply(2, 4, {1, 2, 3, 4}),         // another slave
      readReply(1, 3, {1, 2, 3, 4}),         // another function
      badCrc,                                //
      {0x01},                                // 1 and 2 bytes
      {0x01, 0x04},                          //
  };
  for (const Bytes& reply : replies) slave().expect(request).reply(reply);
  slave().expect(request);  // silence
  slave().start();

  for (std::size_t i = 0; i <= std::size(replies); ++i) {
    std::uint8_t data[255] = {0xEE};
    std::uint8_t count = 0xEE;
    EXPECT_FALSE(master.ReadInputRegisters(1, 0, 2, data, count)) << i;
    EXPECT_EQ(count, 0xEE) << i;
    EXPECT_EQ(data[0], 0xEE) << i;
  }
  finishScript();
}

TEST_F(MasterOnLine, SingleWritesSendTheirFramesAndNeedAnExactEcho) {
  const Bytes coilOn = withCrc({0x01, 0x05, 0x00, 0x03, 0xFF, 0x00});
  const Bytes coilOff = withCrc({0x01, 0x05, 0x00, 0x03, 0x00, 0x00});
  const Bytes query = withCrc({0x01, 0x08, 0x00, 0x00, 0xA5, 0x5A});
  slave().expect(coilOn).reply(coilOn);
  slave().expect(coilOn).reply(coilOn);  // any non-zero value is "on"
  slave().expect(coilOff).reply(coilOff);
  slave().expect(query).reply(query);
  Bytes nine = query;
  nine.push_back(0x00);
  slave().expect(query).reply(nine);
  slave().expect(coilOn).reply(withCrc({0x01, 0x05, 0x00, 0x04, 0xFF, 0x00}));  // other coil
  slave().start();

  EXPECT_TRUE(master.WriteSingleCoil(1, 3, 1));
  EXPECT_TRUE(master.WriteSingleCoil(1, 3, 0x1234));
  EXPECT_TRUE(master.WriteSingleCoil(1, 3, 0));
  EXPECT_TRUE(master.ReturnQueryData(1, 0xA55A));
  EXPECT_FALSE(master.ReturnQueryData(1, 0xA55A));
  EXPECT_FALSE(master.WriteSingleCoil(1, 3, 1));
  finishScript();
}

TEST_F(MasterOnLine, WriteSingleRegisterLeavesTheReplyCodeWhateverTheOutcome) {
  const Bytes write12 = withCrc({0x01, 0x06, 0x00, 0x0C, 0x34, 0x12});
  slave().expect(write12).reply(withCrc({0x01, 0x86, 0x03}));  // access code refused
  slave().expect(write12);                                     // silence
  slave().expect(write12).reply(write12);                      // accepted
  slave().start();

  EXPECT_FALSE(master.WriteSingleRegister(1, 12, 0x3412));
  EXPECT_EQ(master.WriteRegisterReplyCode(), 902);
  EXPECT_FALSE(master.WriteSingleRegister(1, 12, 0x3412));
  EXPECT_EQ(master.WriteRegisterReplyCode(), 0);
  EXPECT_TRUE(master.WriteSingleRegister(1, 12, 0x3412));
  EXPECT_EQ(master.WriteRegisterReplyCode(), 6);
  finishScript();
}

TEST_F(MasterOnLine, WriteMultipleCoilsSendsAnEvenByteCountOrNothing) {
  const Bytes frame = withCrc({0x01, 0x0F, 0x00, 0x13, 0x00, 0x09, 0x02, 0xCD, 0x01});
  const Bytes echo = withCrc({0x01, 0x0F, 0x00, 0x13, 0x00, 0x09});
  slave().expect(frame).reply(echo);
  slave().expect(frame).reply(withCrc({0x01, 0x0F, 0x00, 0x13, 0x00, 0x08}));  // count differs
  slave().start();

  const std::uint8_t coils[246] = {0xCD, 0x01};
  EXPECT_TRUE(master.WriteMultipleCoils(1, 0x13, 9, coils));
  EXPECT_FALSE(master.WriteMultipleCoils(1, 0x13, 9, coils));
  finishScript();

  for (std::uint16_t refused : {0, 1969, 2047}) {
    EXPECT_FALSE(master.WriteMultipleCoils(1, 0, refused, coils)) << refused;
  }
  EXPECT_FALSE(master.WriteMultipleCoils(1, 0, 8, nullptr));
  expectNothingSent();
}

TEST_F(MasterOnLine, WriteMultipleRegistersSendsAtMost123) {
  const Bytes data = registerData(123, 0);
  Bytes frame = {0x01, 0x10, 0x00, 0x0C, 0x00, 123, 246};
  frame.insert(frame.end(), data.begin(), data.end());
  frame = withCrc(frame);
  ASSERT_EQ(frame.size(), 255u);
  slave().expect(frame).reply(withCrc({0x01, 0x10, 0x00, 0x0C, 0x00, 123}));
  slave().start();
  EXPECT_TRUE(master.WriteMultipleRegisters(1, 12, 123, data.data()));
  finishScript();

  const Bytes big = registerData(127, 0);
  for (std::uint16_t refused : {0, 124, 127}) {
    EXPECT_FALSE(master.WriteMultipleRegisters(1, 12, refused, big.data())) << refused;
  }
  expectNothingSent();
}

TEST_F(MasterOnLine, FrameLength20CarriesSevenRegistersAndLeavesTheRestOfEightInTheDriver) {
  const Bytes seven = readReply(1, 4, registerData(7, 0x30));
  const Bytes eight = readReply(1, 4, registerData(8, 0x40));
  ASSERT_EQ(eight.size(), 21u);
  slave().expect(withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x07})).reply(seven);
  slave().expect(withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x08})).reply(eight);
  slave().start();

  std::uint8_t data[255];
  std::uint8_t count = 0;
  EXPECT_TRUE(master.ReadInputRegisters(1, 0, 7, data, count));
  EXPECT_EQ(count, 14);
  EXPECT_FALSE(master.ReadInputRegisters(1, 0, 8, data, count));
  finishScript();
  // The read stopped at 20 bytes; the 21st is still waiting in the driver.
  std::uint8_t rest[256];
  std::uint32_t received = 0;
  EXPECT_TRUE(master.Read(rest, received));
  EXPECT_EQ(Bytes(rest, rest + received), Bytes{eight.back()});
}

TEST_F(MasterOnLine, OpenRefusesFrameLengthAbove256AndClosesThePort) {
  EXPECT_FALSE(master.Open(setup(257, 500)));
  EXPECT_FALSE(master.isOpen());
  SerialPort other(portMap());
  EXPECT_TRUE(other.Open(setup(20, 500))) << "the refused open must release the port";
  other.Close();
  EXPECT_TRUE(master.Open(setup(256, 500)));
}

TEST_F(MasterOnLine, ALateReplyIsNotTakenForTheNextRequest) {
  // The poll cycle's two halves have the same shape: a reply to the first that
  // arrives after the master gave up would pass every check of the second.
  const Bytes first = withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x05});
  const Bytes second = withCrc({0x01, 0x04, 0x00, 0x05, 0x00, 0x05});
  slave().expect(first).reply(readReply(1, 4, registerData(5, 0x10)), 450ms);  // total is 300
  // Later than the inter-character time-out, so that stale bytes would be read alone.
  slave().expect(second).reply(readReply(1, 4, registerData(5, 0x50)), 60ms);
  slave().expect(first).reply(readReply(1, 4, registerData(5, 0x20)));
  slave().start();

  std::uint8_t data[255];
  std::uint8_t count = 0;
  EXPECT_FALSE(master.ReadInputRegisters(1, 0, 5, data, count));
  std::this_thread::sleep_for(400ms);  // the late reply is now in the driver
  ASSERT_TRUE(master.ReadInputRegisters(1, 5, 5, data, count));
  EXPECT_EQ(Bytes(data, data + count), registerData(5, 0x50));
  ASSERT_TRUE(master.ReadInputRegisters(1, 0, 5, data, count));
  EXPECT_EQ(Bytes(data, data + count), registerData(5, 0x20));
  finishScript();
}

TEST_F(MasterOnLine, TransactionOnAClosedPortFailsAfterAbout40Ms) {
  master.Close();
  std::uint8_t count = 0;
  const Stopwatch watch;
  EXPECT_FALSE(master.ReadInputRegisters(1, 0, 5, nullptr, count));
  EXPECT_GE(watch.ms(), 38);
  EXPECT_LT(watch.ms(), 1000);
}

}  // namespace
}  // namespace km8::test
