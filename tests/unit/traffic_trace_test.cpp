#include "link/traffic_trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/modbus_bytes.h"

namespace km8 {
namespace {

using test::Bytes;
using test::withCrc;

const Bytes kRead = withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x05});

TEST(TrafficTrace, EachOutcomeIsNamedFromTheBytes) {
  const Bytes good = withCrc({0x01, 0x04, 4, 1, 2, 3, 4});
  Bytes badCrc = good;
  badCrc.back() ^= 0xFF;
  struct Case {
    Bytes reply;
    const char* outcome;
  };
  const Case cases[] = {
      {good, " ok attempt 2"},
      {{}, " time-out attempt 2"},
      {Bytes(good.begin(), good.begin() + 6), " short attempt 2"},
      {{0x01, 0x04}, " short attempt 2"},
      {badCrc, " CRC attempt 2"},
      {withCrc({0x01, 0x84, 0x02}), " exception 2 attempt 2"},
      {withCrc({0x02, 0x04, 4, 1, 2, 3, 4}), " mismatch attempt 2"},  // another slave
      {withCrc({0x01, 0x03, 4, 1, 2, 3, 4}), " mismatch attempt 2"},  // another function
  };
  for (const Case& c : cases) {
    const std::string line = FormatTraceLine({}, kRead, c.reply, 2);
    EXPECT_TRUE(line.ends_with(c.outcome)) << line;
  }
}

TEST(TrafficTrace, ALineHasTheTimeAndBothFramesInHex) {
  const Bytes reply = withCrc({0x01, 0x04, 2, 0xEA, 0x00});
  const std::string line = FormatTraceLine(std::chrono::microseconds(12'345'678), kRead, reply, 1);
  EXPECT_EQ(line, "          12.345678 TX " + test::hex(kRead) + " RX " + test::hex(reply) +
                      " ok attempt 1");
  EXPECT_TRUE(FormatTraceLine({}, kRead, {}, 3).ends_with(" RX - time-out attempt 3"));
}

TEST(TrafficTrace, TheAccessCodeAndTheCrcThatWouldGiveItAwayAreMasked) {
  // Code 0x1234 travels low byte first.
  const Bytes write = withCrc({0x01, 0x06, 0x00, 0x0C, 0x34, 0x12});
  const std::string echoed = FormatTraceLine({}, write, write, 1);
  EXPECT_NE(echoed.find("TX 01 06 00 0C ** ** ** ** RX 01 06 00 0C ** ** ** ** ok"),
            std::string::npos)
      << echoed;
  // A refused code: the exception reply carries no code and is shown whole.
  const Bytes refused = withCrc({0x01, 0x86, 0x03});
  EXPECT_TRUE(FormatTraceLine({}, write, refused, 1)
                  .ends_with("RX " + test::hex(refused) + " exception 3 attempt 1"));
  // Another register is not masked.
  const Bytes other = withCrc({0x01, 0x06, 0x00, 0x0D, 0x34, 0x12});
  EXPECT_NE(FormatTraceLine({}, other, other, 1).find("TX " + test::hex(other)), std::string::npos);
}

TEST(TrafficTrace, AFileTraceAppendsWholeLines) {
  const auto path = std::filesystem::temp_directory_path() / "km8-trace-test.txt";
  std::filesystem::remove(path);
  {
    StreamTrafficTrace trace(path.string());
    ASSERT_TRUE(trace.ok());
    trace.write("first");
    trace.write("second");
  }
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }  // closed first: Windows does not remove an open file
  EXPECT_EQ(text, "first\nsecond\n");
  std::filesystem::remove(path);
  EXPECT_FALSE(StreamTrafficTrace("/nonexistent-folder/km8/trace.txt").ok());
}

}  // namespace
}  // namespace km8
