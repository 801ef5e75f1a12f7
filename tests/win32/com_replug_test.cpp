// An adapter not plugged in at opening, then pulled out and plugged in again: a COM
// port of the wine prefix whose pseudo-terminal hangs up and whose mapping goes, then
// comes back as a new one under the same name.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <memory>

#include "link/device_gone_win32.h"
#include "link/serial_port.h"
#include "win32/remote_responder.h"
#include "win32/served_ports.h"

namespace km8::test {
namespace {

using namespace std::chrono_literals;

TEST(DeviceGoneError, OnlyErrorsOfAVanishedDeviceCount) {
  struct Case {
    DWORD error;
    bool gone;
  };
  for (const Case& c : {
           // What wine gives for a hung-up pseudo-terminal (ERROR_NOT_READY) and a
           // mapping that went (ERROR_FILE_NOT_FOUND), and what USB serial drivers give
           // after a surprise removal.
           Case{ERROR_NOT_READY, true},
           Case{ERROR_FILE_NOT_FOUND, true},
           Case{ERROR_INVALID_HANDLE, true},
           Case{ERROR_ACCESS_DENIED, true},
           Case{ERROR_BAD_COMMAND, true},
           Case{ERROR_GEN_FAILURE, true},
           Case{ERROR_OPERATION_ABORTED, true},
           Case{ERROR_DEVICE_NOT_CONNECTED, true},
           Case{ERROR_DEVICE_REMOVED, true},
           // A refused setting, a time-out or a busy driver leave the device where it is.
           Case{ERROR_SUCCESS, false},
           Case{ERROR_INVALID_PARAMETER, false},
           Case{ERROR_INVALID_FUNCTION, false},
           Case{ERROR_NOT_SUPPORTED, false},
           Case{ERROR_SEM_TIMEOUT, false},
           Case{ERROR_COUNTER_TIMEOUT, false},
           Case{ERROR_IO_PENDING, false},
           Case{ERROR_BUSY, false},
       })
    EXPECT_EQ(DeviceGoneError(c.error), c.gone) << "error " << c.error;
}

class ComReplugTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KM8_REQUIRE_SERVED_PORTS(served);
    com = served->scripted[1];
    adapter = std::make_unique<RemoteResponder>(served->responder, com);
  }
  void TearDown() override {
    port.Close();
    if (adapter) adapter->plug();  // for the tests that follow
  }

  // Plugs the adapter in with the instrument answering one ping, and writes the ping
  // until the port has found the device again by itself; true when it was written.
  bool plugInAndWrite() {
    adapter->plug();
    adapter->expect(kPing).reply(kPong);
    adapter->start();
    std::uint32_t written = 0;
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < giveUp)
      if (port.Write(kPing.data(), static_cast<std::uint32_t>(kPing.size()), written)) return true;
    return false;
  }

  Bytes readOnce(int* result = nullptr) { return test::readOnce(port, result); }

  const Bytes kPing = {0x55, 0xAA, 0x01};
  const Bytes kPong = {0xAA, 0x55, 0x02};
  std::optional<ServedPorts> served;
  std::string com;
  std::unique_ptr<RemoteResponder> adapter;  // the instrument behind the adapter
  PortMap ports;
  SerialPort port{ports};
};

TEST_F(ComReplugTest, AMissingOrVanishedAdapterIsFoundAgainByLaterWrites) {
  // Not plugged in when the port is opened.
  adapter->unplug();
  EXPECT_FALSE(port.Open(lineSetup(com, 20, 300)));
  EXPECT_FALSE(port.isOpen());
  ASSERT_TRUE(plugInAndWrite()) << "the port plugged in after opening was never taken";
  EXPECT_EQ(readOnce(), kPong);
  EXPECT_TRUE(adapter->finish()) << (adapter->problems().empty() ? "" : adapter->problems()[0]);

  // Pulled out while open: the next write notices, the handle is given up.
  adapter->unplug();
  std::uint32_t written = 0;
  EXPECT_EQ(port.Write(kPing.data(), 3, written), 0);
  EXPECT_FALSE(port.isOpen()) << "a dead handle is kept";
  ASSERT_TRUE(plugInAndWrite()) << "the adapter plugged in again was never taken";
  EXPECT_EQ(readOnce(), kPong);
  EXPECT_TRUE(adapter->finish());

  // Pulled out during a read: the read fails and notices too.
  adapter->unplug();
  int result = 1;
  readOnce(&result);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace km8::test
