// Modbus transactions of the master through a COM port of the wine prefix, with the
// instrument played by the native line responder, which checks every request byte.
#include <gtest/gtest.h>

#include <memory>

#include "link/modbus_master.h"
#include "support/framing_under_test.h"
#include "win32/remote_responder.h"
#include "win32/served_ports.h"

namespace km8::test {
namespace {

class MasterOnLine : public ::testing::Test {
 protected:
  void SetUp() override {
    KM8_REQUIRE_SERVED_PORTS(served);
    com = served->scripted[0];
    slave_ = std::make_unique<RemoteResponder>(served->responder, com);
    master.setFastFraming(FastFramingUnderTest() != 0);
    ASSERT_TRUE(master.Open(setup(20, 300)));
  }

  RemoteResponder& slave() { return *slave_; }
  SerialSetup setup(std::uint32_t frameLength, std::uint32_t totalMs) const {
    return lineSetup(com, frameLength, totalMs);
  }
  const PortMap& portMap() const { return ports; }

  void finishScript() {
    EXPECT_TRUE(slave_->finish());
    for (const auto& problem : slave_->problems()) ADD_FAILURE() << problem;
  }

  void expectNothingSent() { EXPECT_TRUE(slave_->receive(std::chrono::milliseconds(50)).empty()); }

  std::optional<ServedPorts> served;
  std::string com;
  std::unique_ptr<RemoteResponder> slave_;
  PortMap ports;
  ModbusMaster master{ports};
};

}  // namespace
}  // namespace km8::test

#include "support/modbus_master_cases.h"
