// The serial devices present on this machine, for choosing which one a COM port opens:
// stable adapter names first, then the device nodes, each marked when the user may not
// open it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace km8 {

struct SerialDevice {
  std::string path;     // what the COM port opens
  std::string adapter;  // the adapter's name, for a /dev/serial/by-id entry
  std::string target;   // the node a /dev/serial/by-id entry stands for
  bool accessible = true;

  bool operator==(const SerialDevice&) const = default;
};

// Where to look; tests point it at a folder of their own.
struct SerialDeviceScan {
  std::string byIdFolder = "/dev/serial/by-id";
  std::string deviceFolder = "/dev";
  // Whether the user may open a device for reading and writing; by default the
  // system's access check (which says yes to root for any node).
  std::function<bool(const std::string& path)> canOpen;
};

// On POSIX: the entries of byIdFolder by name, then ttyUSB*, ttyACM* and ttyS* of
// deviceFolder in numeric order. Empty on Windows, where the port names are the devices.
std::vector<SerialDevice> ListSerialDevices(const SerialDeviceScan& scan = {});

// "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" -> "FTDI FT232R USB UART A50285BI".
std::string AdapterNameOf(std::string_view byIdName);

// Shown beside a device the user may not open.
inline constexpr char kNoAccessMark[] = "немає доступу";
inline constexpr char kDialoutHint[] =
    "Немає доступу до порту: додайте себе до групи dialout "
    "(sudo usermod -aG dialout $USER) і увійдіть у систему знову.";

}  // namespace km8
