#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "link/device_gone_win32.h"
#include "link/read_end_rule.h"
#include "link/serial_port.h"

namespace km8 {
namespace {

// Reads and writes on a closed port wait this long, so that a worker polling a
// missing port does not spin.
constexpr DWORD kClosedPortDelayMs = 20;

// Windows refuses a second opening of a COM port by itself, as the port is opened
// without sharing; wine does not enforce sharing on devices. A named object per port,
// held while it is open, refuses a second opener there too (another station, or another
// SerialPort in this process). Null when the port is already claimed.
HANDLE claimPort(const std::string& device) {
  std::string name = "Global\\km8-serial-port-";
  for (const char c : device) {
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    name += upper == '\\' ? '_' : upper;
  }
  const HANDLE claim = ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
  if (claim && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(claim);
    return nullptr;
  }
  return claim;
}

}  // namespace

bool DeviceGoneError(unsigned long error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:        // the device's name is gone
    case ERROR_ACCESS_DENIED:         // some USB serial drivers, after a removal
    case ERROR_INVALID_HANDLE:        // the handle died with the device
    case ERROR_NOT_READY:             // wine: the tty behind the port was hung up (EIO)
    case ERROR_BAD_COMMAND:           // USB serial drivers after a surprise removal
    case ERROR_GEN_FAILURE:           // the device stopped answering its driver
    case ERROR_OPERATION_ABORTED:     // the driver cancelled the I/O as the device went
    case ERROR_DEVICE_NOT_CONNECTED:  // usbser.sys and others, once unplugged
    case ERROR_DEVICE_REMOVED:
      return true;
    default:
      return false;
  }
}

struct SerialPort::Backend {
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE claim = nullptr;
  COMMTIMEOUTS timeouts{};  // as set at opening

  // One ReadFile that returns at once with whatever has arrived (up to maxBytes), or
  // waits up to waitMs (-1: without limit, 0: not at all) for the first byte.
  BOOL readWaiting(std::uint8_t* into, DWORD maxBytes, int waitMs, DWORD& count) {
    COMMTIMEOUTS t = timeouts;
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = waitMs == 0 ? 0 : MAXDWORD;
    t.ReadTotalTimeoutConstant = waitMs < 0 ? MAXDWORD - 1 : static_cast<DWORD>(waitMs);
    (void)::SetCommTimeouts(handle, &t);
    count = 0;
    return ::ReadFile(handle, into, maxBytes, &count, nullptr);
  }
};

SerialPort::SerialPort(const PortMap& ports)
    : ports_(ports), backend_(std::make_unique<Backend>()) {}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::isOpen() const { return backend_->handle != INVALID_HANDLE_VALUE; }

int SerialPort::Open(const SerialSetup& setup) {
  Close();
  setup_ = setup;
  // A block read from the registry may hold a rate of 0 (a divisor below) or a port
  // beyond COM9; neither can be opened.
  if (setup.BaudRate == 0 || setup.PortIndex >= kPortCount) return 0;
  const std::string name = ports_.devicePath(setup.PortIndex);
  if (name.empty()) return 0;

  // A port that is not there (yet: ERROR_FILE_NOT_FOUND) or is held by another program
  // (ERROR_ACCESS_DENIED, or our own claim) is looked for again.
  backend_->claim = claimPort(name);
  if (!backend_->claim) {
    lose();
    return 0;
  }
  const HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    lose();
    return 0;
  }
  backend_->handle = handle;
  // Settings the driver refuses close the port for good, unless the device went away
  // meanwhile.
  const auto fail = [this] {
    if (DeviceGoneError(::GetLastError()))
      lose();
    else
      Close();
    return 0;
  };

  readLength_ = setup.FrameLength;
  (void)::SetupComm(handle, setup.FrameLength, setup.FrameLength);

  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(handle, &dcb)) return fail();
  const bool parity = setup.Parity >= 1 && setup.Parity <= 4;
  dcb.BaudRate = setup.BaudRate;
  dcb.Parity = parity ? setup.Parity : NOPARITY;
  dcb.fParity = parity ? 1 : 0;
  dcb.ByteSize = setup.DataBits;
  dcb.StopBits = setup.StopBits;
  dcb.fBinary = 1;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 1;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = 0;
  if (!::SetCommState(handle, &dcb)) return fail();

  COMMTIMEOUTS& timeouts = backend_->timeouts;
  timeouts.ReadIntervalTimeout = intervalTimeoutMs(setup.BaudRate);
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = setup.TotalTimeoutMs;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = setup.TotalTimeoutMs;
  (void)::SetCommTimeouts(handle, &timeouts);

  (void)::ClearCommBreak(handle);
  return 1;
}

void SerialPort::Close() {
  lookingForDevice_ = false;
  if (backend_->handle != INVALID_HANDLE_VALUE) ::CloseHandle(backend_->handle);
  backend_->handle = INVALID_HANDLE_VALUE;
  if (backend_->claim) ::CloseHandle(backend_->claim);
  backend_->claim = nullptr;
}

void SerialPort::discardInput() {
  if (backend_->handle == INVALID_HANDLE_VALUE) return;
  (void)::PurgeComm(backend_->handle, PURGE_RXCLEAR);
  DWORD errors = 0;
  (void)::ClearCommError(backend_->handle, &errors, nullptr);
}

int SerialPort::Write(const std::uint8_t* data, std::uint32_t length, std::uint32_t& written) {
  written = 0;
  lookForDevice();
  if (backend_->handle == INVALID_HANDLE_VALUE) {
    ::Sleep(kClosedPortDelayMs);
    return 0;
  }
  DWORD count = 0;
  const BOOL ok = ::WriteFile(backend_->handle, data, length, &count, nullptr);
  written = count;
  if (!ok && DeviceGoneError(::GetLastError())) lose();
  return ok ? 1 : 0;
}

int SerialPort::Read(std::uint8_t* buffer, std::uint32_t& received) {
  received = 0;
  if (backend_->handle == INVALID_HANDLE_VALUE) {
    ::Sleep(kClosedPortDelayMs);
    return 0;
  }
  Backend& b = *backend_;
  BOOL ok = TRUE;
  DWORD readError = ERROR_SUCCESS;  // of the failed ReadFile
  if (replyFunction_ == 0) {
    // The driver ends the read by the time-outs set at opening: read length,
    // inter-character time-out after the first byte, or the total time-out.
    DWORD count = 0;
    ok = ::ReadFile(b.handle, buffer, readLength_, &count, nullptr);
    if (!ok) readError = ::GetLastError();
    received = count;
  } else {
    // The frame's end is the rule's to find, so the driver only hands over what has
    // arrived, a call at a time; the time-outs of the opening come back afterwards.
    const ReadEndRule rule(readLength_, b.timeouts.ReadIntervalTimeout,
                           b.timeouts.ReadTotalTimeoutConstant, replyFunction_);
    const auto start = ReadClock::now();
    std::optional<ReadClock::time_point> lastByte;
    for (;;) {
      const auto now = ReadClock::now();
      const ReadStep step =
          rule.next({buffer, received}, now - start,
                    lastByte ? std::optional<ReadClock::duration>(now - *lastByte) : std::nullopt);
      if (step.end == ReadEnd::Length) break;
      DWORD count = 0;
      ok = b.readWaiting(buffer + received, step.maxBytes,
                         step.end == ReadEnd::None ? step.waitMs : 0, count);
      if (!ok) readError = ::GetLastError();
      if (count > 0) {
        received += count;
        lastByte = ReadClock::now();
      }
      if (step.end != ReadEnd::None && count == 0) break;
      if (!ok) break;
    }
    (void)::SetCommTimeouts(b.handle, &b.timeouts);
  }
  if (!ok && DeviceGoneError(readError)) {
    lose();  // the received bytes stay with the caller
    return 0;
  }
  // Under wine a read from a hung-up tty only times out; the line state tells.
  DWORD errors = 0;
  COMSTAT status;
  const BOOL cleared = ::ClearCommError(b.handle, &errors, &status);
  if (!cleared && DeviceGoneError(::GetLastError())) {
    lose();
    return 0;
  }
  return ok && cleared && errors == 0 ? 1 : 0;
}

}  // namespace km8
