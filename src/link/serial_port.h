// One serial port owned by the link worker: opened from the serial line settings,
// a whole-frame write, and a reply collected by one read ended by its time-outs.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "config/port_map.h"
#include "config/serial_setup.h"

namespace km8 {

// Operations return non-zero for success and zero for failure. Used by one thread.
class SerialPort {
 public:
  explicit SerialPort(const PortMap& ports);
  virtual ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Closes any open port first, then opens the device of setup.PortIndex exclusively
  // with the block's line settings; setup.FrameLength becomes the read length. A
  // BaudRate of 0 or a PortIndex above 8 is refused. On failure the port is closed; a
  // device that is not there or is held by another program (an adapter not plugged in
  // yet) is looked for again by later writes, as one that went away.
  int Open(const SerialSetup& setup);

  // Writes the whole buffer within the total time-out. On a closed port waits 20 ms,
  // sets written to 0 and fails. A port whose device went away while it was open
  // (POSIX: hang-up, I/O error, no such device; Windows: DeviceGoneError) or could not
  // be opened is first opened again with the same setup, at most once a second,
  // silently.
  int Write(const std::uint8_t* data, std::uint32_t length, std::uint32_t& written);

  // One read of at most the read length into buffer (which must hold that many
  // bytes), ended by the read length, the inter-character time-out after the first
  // byte or the total time-out. Fails on a line error, keeping the bytes received; on
  // a closed port waits 20 ms, sets received to 0 and fails.
  int Read(std::uint8_t* buffer, std::uint32_t& received);

  void Close();

  // The function of the request the next reads answer, so that a read ends as soon as
  // the whole reply frame is in; 0 (the default) leaves the time-outs and the read
  // length alone to end it.
  void setReplyFunction(std::uint8_t function) { replyFunction_ = function; }

  // Drops whatever has been received but not read yet, with its line errors.
  void discardInput();

  bool isOpen() const;
  std::uint32_t readLength() const { return readLength_; }

 private:
  struct Backend;  // the platform's handle and read state

  // Closes the port and looks for its device again (setup_) on later writes.
  void lose();
  // On a write to a closed port: opens it again when its device is being looked for
  // and the last look is a second old.
  void lookForDevice();

  const PortMap& ports_;
  std::uint32_t readLength_ = 0;
  std::uint8_t replyFunction_ = 0;
  std::unique_ptr<Backend> backend_;
  // The setup of the last Open, and whether and since when its device is looked for.
  SerialSetup setup_;
  bool lookingForDevice_ = false;
  std::chrono::steady_clock::time_point lastLook_{};
};

}  // namespace km8
