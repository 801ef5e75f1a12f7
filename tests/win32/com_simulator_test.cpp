// The master against the instrument simulator, km8-sim running natively on the far end
// of a COM port of the wine prefix: the station's real serial path end to end.
#include <gtest/gtest.h>

#include "link/modbus_master.h"
#include "monitor/register_map.h"
#include "win32/served_ports.h"

namespace km8::test {
namespace {

class ComSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KM8_REQUIRE_SERVED_PORTS(served);
    ASSERT_TRUE(master.Open(lineSetup(served->simulator, 20, 300)));
  }

  std::optional<ServedPorts> served;
  PortMap ports;
  ModbusMaster master{ports};
};

TEST_F(ComSimulatorTest, BothHalvesOfTheCurrentValuesArrive) {
  std::uint8_t data[255] = {};
  std::uint8_t count = 0;
  ASSERT_TRUE(master.ReadInputRegisters(1, 0, 5, data, count));
  ASSERT_EQ(count, 10);
  for (int channel = 0; channel < 5; ++channel) {
    // Fresh from start-up the simulated plant is near room temperature, far from the
    // markers and from what a byte-order mistake would give.
    const double degrees = DecodeTemperature(data[2 * channel], data[2 * channel + 1]);
    EXPECT_GT(degrees, -50.0) << "channel " << channel + 1;
    EXPECT_LT(degrees, 500.0) << "channel " << channel + 1;
  }
  ASSERT_TRUE(master.ReadInputRegisters(1, 5, 5, data, count));
  EXPECT_EQ(count, 10);
}

TEST_F(ComSimulatorTest, ExceptionRepliesAndSilenceFail) {
  std::uint8_t count = 0;
  EXPECT_FALSE(master.ReadInputRegisters(1, 0, 8, nullptr, count))
      << "21 bytes do not fit a read of 20";
  EXPECT_FALSE(master.ReadInputRegisters(2, 0, 5, nullptr, count)) << "no instrument 2";
  EXPECT_FALSE(master.ReadInputRegisters(1, 0xFFF0, 5, nullptr, count)) << "illegal address";

  // A wrong access code is answered with exception code 3.
  EXPECT_FALSE(master.WriteSingleRegister(1, 12, 0xFFFF));
  EXPECT_EQ(master.WriteRegisterReplyCode(), 902);

  // And the line is clean again for the next request.
  EXPECT_TRUE(master.ReadInputRegisters(1, 0, 5, nullptr, count));
}

}  // namespace
}  // namespace km8::test
