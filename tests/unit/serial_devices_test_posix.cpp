// The serial devices the configuration dialog offers, found in folders the test makes:
// adapters by stable name first, then the numbered nodes in numeric order.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "configuration/serial_devices.h"

namespace km8 {
namespace {

namespace fs = std::filesystem;

TEST(SerialDevices, AdapterNamesDropTheBusAndUdevNumbers) {
  EXPECT_EQ(AdapterNameOf("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"),
            "FTDI FT232R USB UART A50285BI");
  EXPECT_EQ(AdapterNameOf("usb-1a86_USB_Serial-if00"), "1a86 USB Serial");
  EXPECT_EQ(AdapterNameOf("pci-Moxa_CP-102-port1"), "Moxa CP-102");
  EXPECT_EQ(AdapterNameOf("plain"), "plain");
}

TEST(SerialDevices, ListsStableNamesThenExistingNodesAndMarksTheOnesRefused) {
  char pattern[] = "/tmp/km8-devices-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const fs::path byId = root / "serial" / "by-id";
  fs::create_directories(byId);
  for (const char* node :
       {"ttyS10", "ttyS2", "ttyACM0", "ttyUSB1", "ttyUSB0", "ttyUSBx", "ttyS", "console", "tty0"}) {
    std::ofstream(root / node) << "";
  }
  fs::create_directory(root / "ttyS3");  // not a device
  fs::create_symlink("../../ttyUSB1", byId / "usb-FTDI_FT232R_USB_UART_A1-if00-port0");
  fs::create_symlink("../../ttyUSB9", byId / "usb-Gone_Adapter-if00-port0");  // unplugged

  SerialDeviceScan scan{byId.string(), root.string(),
                        [&](const std::string& path) { return path != (root / "ttyS2").string(); }};
  const std::vector<SerialDevice> devices = ListSerialDevices(scan);

  const std::string r = root.string();
  const std::string link = (byId / "usb-FTDI_FT232R_USB_UART_A1-if00-port0").string();
  const std::vector<SerialDevice> expected = {
      {link, "FTDI FT232R USB UART A1", fs::canonical(root / "ttyUSB1").string(), true},
      {r + "/ttyUSB0", "", "", true},
      {r + "/ttyUSB1", "", "", true},
      {r + "/ttyACM0", "", "", true},
      {r + "/ttyS2", "", "", false},
      {r + "/ttyS10", "", "", true},
  };
  EXPECT_EQ(devices, expected);

  // No folders at all: nothing to offer, no failure.
  EXPECT_TRUE(ListSerialDevices({(root / "none").string(), (root / "none").string(), {}}).empty());
  fs::remove_all(root);
}

}  // namespace
}  // namespace km8
