// The master on a pseudo-terminal (the POSIX serial port) with the instrument played
// on the far end by a scripted responder.
#include "link/modbus_master.h"

#include <gtest/gtest.h>

#include "pty/pty_fixture.h"
#include "support/framing_under_test.h"
#include "support/scripted_responder.h"

namespace km8::test {
namespace {

class MasterOnLine : public ::testing::Test {
 protected:
  void SetUp() override {
    master.setFastFraming(FastFramingUnderTest() != 0);
    ASSERT_TRUE(master.Open(setup(20, 300)));
  }

  ScriptedResponder& slave() { return slave_; }
  SerialSetup setup(std::uint32_t frameLength, std::uint32_t totalMs) const {
    return lineSetup(0, frameLength, totalMs);
  }
  const PortMap& portMap() const { return line.ports; }
  void finishScript() {
    EXPECT_TRUE(slave_.finish());
    for (const auto& problem : slave_.problems()) ADD_FAILURE() << problem;
  }
  void expectNothingSent() {
    EXPECT_TRUE(line.com1.receive(std::chrono::milliseconds(50)).empty());
  }

  TwoPtys line;
  ModbusMaster master{line.ports};
  ScriptedResponder slave_{line.com1.masterFd()};
};

}  // namespace
}  // namespace km8::test

#include "support/modbus_master_cases.h"
