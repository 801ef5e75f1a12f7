#include "link/modbus_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "crc16.h"

namespace km8 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes withCrc(Bytes frame) {
  const std::uint16_t crc = Crc16(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

Bytes shortRequest(std::uint8_t address, std::uint8_t function, std::uint16_t a, std::uint16_t b) {
  std::array<std::uint8_t, kModbusFrameSize> frame{};
  const std::size_t n = buildShortRequest(frame.data(), address, function, a, b);
  return Bytes(frame.begin(), frame.begin() + n);
}

TEST(ModbusFrame, ShortRequestsPutFieldsHighByteFirstAndCrcLowByteFirst) {
  EXPECT_EQ(shortRequest(1, 3, 0, 5), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x05, 0x85, 0xC9}));
  EXPECT_EQ(shortRequest(0x11, 4, 0x1234, 0xABCD), withCrc({0x11, 0x04, 0x12, 0x34, 0xAB, 0xCD}));
}

TEST(ModbusFrame, WriteMultipleRequestCarriesByteCountAndDataVerbatim) {
  std::array<std::uint8_t, kModbusFrameSize> frame{};
  const std::uint8_t data[] = {0xAA, 0x55, 0x00, 0xFF};
  const std::size_t n = buildWriteMultipleRequest(frame.data(), 7, 16, 0x000C, 2, 4, data);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + n),
            withCrc({0x07, 0x10, 0x00, 0x0C, 0x00, 0x02, 0x04, 0xAA, 0x55, 0x00, 0xFF}));
}

TEST(ModbusFrame, CoilByteCountRoundsUpToEvenAndRefusesOutOfRange) {
  EXPECT_EQ(coilByteCount(1), 2);
  EXPECT_EQ(coilByteCount(8), 2);
  EXPECT_EQ(coilByteCount(9), 2);
  EXPECT_EQ(coilByteCount(16), 2);
  EXPECT_EQ(coilByteCount(17), 4);
  EXPECT_EQ(coilByteCount(1968), 246);  // frame of 255 bytes
  EXPECT_EQ(coilByteCount(0), 0);
  EXPECT_EQ(coilByteCount(1969), 0);  // 248 + 9 > 256
  EXPECT_EQ(coilByteCount(2047), 0);
  EXPECT_EQ(coilByteCount(2048), 0);
}

TEST(ModbusFrame, RegisterByteCountIsTwicePerRegisterUpTo123) {
  EXPECT_EQ(registerByteCount(1), 2);
  EXPECT_EQ(registerByteCount(123), 246);
  EXPECT_EQ(registerByteCount(124), 0);
  EXPECT_EQ(registerByteCount(127), 0);
  EXPECT_EQ(registerByteCount(128), 0);
  EXPECT_EQ(registerByteCount(0), 0);
}

bool readOk(const Bytes& reply, std::uint8_t address = 1, std::uint8_t function = 3) {
  return isValidReadReply(reply.data(), reply.size(), address, function);
}

TEST(ModbusFrame, ReadReplyChecks) {
  const Bytes good = withCrc({0x01, 0x03, 0x04, 0x11, 0x22, 0x33, 0x44});
  EXPECT_TRUE(readOk(good));
  EXPECT_TRUE(readOk(withCrc({0x01, 0x03, 0x00})));  // no data is still a reply

  EXPECT_FALSE(readOk({}));
  EXPECT_FALSE(readOk({0x01}));
  EXPECT_FALSE(readOk({0x01, 0x03}));
  EXPECT_FALSE(readOk(good, 2));                      // another slave
  EXPECT_FALSE(readOk(good, 1, 4));                   // another function
  EXPECT_FALSE(readOk(withCrc({0x01, 0x83, 0x02})));  // exception reply
  Bytes corrupt = good;
  corrupt[4] ^= 0x01;
  EXPECT_FALSE(readOk(corrupt));                                        // bad CRC
  EXPECT_FALSE(readOk(withCrc({0x01, 0x03, 0x04, 0x11, 0x22})));        // short of its byte count
  EXPECT_FALSE(readOk(withCrc({0x01, 0x03, 0x02, 0x11, 0x22, 0x33})));  // longer than it
}

TEST(ModbusFrame, EchoReplyMustRepeatTheFirstSixRequestBytesWithAGoodCrc) {
  const Bytes request = shortRequest(1, 6, 12, 0x3412);
  EXPECT_TRUE(isValidEchoReply(request.data(), request.size(), request.data()));

  Bytes nine = request;
  nine.push_back(0);
  EXPECT_FALSE(isValidEchoReply(nine.data(), nine.size(), request.data()));
  EXPECT_FALSE(isValidEchoReply(request.data(), 7, request.data()));
  const Bytes otherStart = withCrc({0x01, 0x06, 0x00, 0x0D, 0x34, 0x12});
  EXPECT_FALSE(isValidEchoReply(otherStart.data(), otherStart.size(), request.data()));
  Bytes badCrc = request;
  badCrc[7] ^= 0x80;
  EXPECT_FALSE(isValidEchoReply(badCrc.data(), badCrc.size(), request.data()));
  const Bytes exception = withCrc({0x01, 0x86, 0x03});
  EXPECT_FALSE(isValidEchoReply(exception.data(), exception.size(), request.data()));
}

TEST(ModbusFrame, ReplyCodeIsBytesOneAndTwoLowFirstWithMissingBytesZero) {
  const Bytes exception = withCrc({0x01, 0x86, 0x03});
  EXPECT_EQ(replyCode(exception.data(), exception.size()), 902);
  const Bytes echo = withCrc({0x01, 0x06, 0x00, 0x0C, 0x12, 0x34});
  EXPECT_EQ(replyCode(echo.data(), echo.size()), 6);
  const std::uint8_t stale[] = {0x01, 0x86, 0x77};
  EXPECT_EQ(replyCode(stale, 2), 0x86);
  EXPECT_EQ(replyCode(stale, 1), 0);
  EXPECT_EQ(replyCode(stale, 0), 0);
}

TEST(ModbusFrame, ExpectedReplyLengthFollowsTheFunctionByteAndTheByteCount) {
  struct Case {
    std::uint8_t function;
    Bytes received;
    std::size_t length;  // 0: not known (yet)
  };
  const Case cases[] = {
      {4, {}, 0},
      {4, {0x01}, 0},
      {4, {0x01, 0x04}, 0},         // the byte count is still to come
      {4, {0x01, 0x04, 10}, 15},    // five registers
      {3, {0x01, 0x03, 0}, 5},      // an empty read reply
      {1, {0x01, 0x01, 250}, 255},  // the longest
      {4, {0x01, 0x84}, 5},         // exception, known from two bytes
      {6, {0x01, 0x86, 0x03}, 5},
      {5, {0x01, 0x05}, 8},
      {6, {0x01, 0x06}, 8},
      {8, {0x01, 0x08}, 8},
      {15, {0x01, 0x0F}, 8},
      {16, {0x01, 0x10}, 8},
      {4, {0x01, 0x03, 10}, 0},  // another function answers: only the time-outs
      {4, {0x01, 0x83, 2}, 0},   // another function's exception
      {7, {0x01, 0x07}, 0},      // a function whose reply the master never asks for
      {0, {0x01, 0x00}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(expectedReplyLength(c.function, c.received.data(), c.received.size()), c.length)
        << "function " << int(c.function) << ", " << c.received.size() << " bytes";
  }
}

// The drain after a write, the sleep through a reply and the silence before a request
// are built from these: a character miscounted by one bit (11 for 8N1, 9 for 8O1) or
// rounded down would make them shorter than the line.
TEST(ModbusFrame, CharacterTimeAndSilenceCountTheBitsOfTheLinesOwnFrame) {
  using std::chrono::microseconds;
  using std::chrono::nanoseconds;
  struct Case {
    std::uint32_t baud;
    std::uint8_t dataBits, parity, stopBits;
    std::uint32_t halfBits;
    std::int64_t characterNs, silenceUs;
  };
  const Case cases[] = {
      {19200, 8, 0, 0, 20, 520834, 1823},    // 8N1: 10 bits, 520833.3 ns rounded up
      {19200, 7, 2, 0, 20, 520834, 1823},    // 7E1: 10 bits
      {9600, 8, 1, 0, 22, 1145834, 4011},    // 8O1: 11 bits
      {9600, 8, 0, 2, 22, 1145834, 4011},    // 8N2: 11 bits
      {9600, 8, 5, 0, 20, 1041667, 3646},    // parity 5 adds no bit
      {4800, 7, 0, 0, 18, 1875000, 6563},    // 7N1: 9 bits
      {1200, 7, 0, 1, 19, 7916667, 27709},   // 7N1.5: 9.5 bits
      {1200, 8, 2, 2, 24, 10000000, 35000},  // 8E2: 12 bits
      {38400, 8, 0, 0, 20, 260417, 1750},    // 1.75 ms above 19200 (3.5 chars: 912 us)
      {19201, 8, 0, 0, 20, 520807, 1823},    // custom rate: 3.5 chars exceed 1.75 ms
      {20000, 8, 2, 2, 24, 600000, 2100},    // custom rate, long frame
      {0, 8, 0, 0, 20, 0, 0},                // no rate, no port
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.baud << " baud, " << int(c.dataBits) << " data, parity "
                                    << int(c.parity) << ", stop " << int(c.stopBits));
    EXPECT_EQ(characterHalfBits(c.dataBits, c.parity, c.stopBits), c.halfBits);
    const nanoseconds character = characterTime(c.baud, c.dataBits, c.parity, c.stopBits);
    const microseconds silence = frameSilence(c.baud, c.dataBits, c.parity, c.stopBits);
    EXPECT_EQ(character, nanoseconds(c.characterNs));
    EXPECT_EQ(silence, microseconds(c.silenceUs));
    EXPECT_GE(nanoseconds(silence).count() * 2, character.count() * 7);  // never below 3.5
  }
}

}  // namespace
}  // namespace km8
