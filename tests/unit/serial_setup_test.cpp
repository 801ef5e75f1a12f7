#include "config/serial_setup.h"

#include <gtest/gtest.h>

#include "crc16.h"

namespace km8 {
namespace {

TEST(SerialSetup, DefaultsSerialiseAsLittleEndian16Bytes) {
  const SerialSetup::Bytes expected = {1,    0,    8, 0, 0x00, 0x4B, 0, 0,  // 19200
                                       0xE8, 0x03, 0, 0,                    // 1000
                                       20,   0,    0, 0};
  EXPECT_EQ(SerialSetup{}.toBytes(), expected);
  EXPECT_EQ(SerialSetup::fromBytes(expected), SerialSetup{});
}

TEST(SerialSetup, TotalTimeoutFollowsFrameBitsAndRate) {
  SerialSetup s;
  EXPECT_EQ(ComputeTotalTimeoutMs(s), 213u);  // 24 * 11 * 1000 / 19200 + 200
  s.BaudRate = 110;
  EXPECT_EQ(ComputeTotalTimeoutMs(s), 24u * 11u * 1000u / 110u + 200u);
  s.BaudRate = 0;  // never divides by zero
  EXPECT_EQ(ComputeTotalTimeoutMs(s), 200u);
}

TEST(Crc16, KnownValues) {
  const std::uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(text, 0), 0xFFFF);
  EXPECT_EQ(Crc16(text, sizeof text), 0x4B37);
  const std::uint8_t read5[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x05};
  EXPECT_EQ(Crc16(read5, sizeof read5), 0xC985);  // sent as 85 C9
}

}  // namespace
}  // namespace km8
