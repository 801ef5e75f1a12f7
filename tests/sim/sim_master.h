// A deliberately small Modbus RTU master for the simulator's tests: builds request
// frames byte by byte and talks to an Instrument directly or to a pseudo-terminal.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "crc16.h"
#include "instrument.h"
#include "support/modbus_bytes.h"

namespace km8::simtest {

using test::Bytes;
using test::withCrc;

inline bool crcOk(const Bytes& frame) {
  if (frame.size() < 3) return false;
  const std::uint16_t crc = Crc16(frame.data(), frame.size() - 2);
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

// Functions 1..4: address, function, start high/low, count high/low, CRC.
inline Bytes readRequest(std::uint8_t address, std::uint8_t function, std::uint16_t start,
                         std::uint16_t count) {
  return withCrc({address, function, static_cast<std::uint8_t>(start >> 8),
                  static_cast<std::uint8_t>(start & 0xFF), static_cast<std::uint8_t>(count >> 8),
                  static_cast<std::uint8_t>(count & 0xFF)});
}

// Function 6 with the two value bytes exactly as they travel.
inline Bytes writeSingleRequest(std::uint8_t address, std::uint16_t reg, std::uint8_t first,
                                std::uint8_t second) {
  return withCrc({address, 6, static_cast<std::uint8_t>(reg >> 8),
                  static_cast<std::uint8_t>(reg & 0xFF), first, second});
}

inline Bytes writeMultipleRequest(std::uint8_t address, std::uint16_t start, const Bytes& data) {
  const auto count = static_cast<std::uint16_t>(data.size() / 2);
  Bytes frame;
  frame.reserve(data.size() + 9);
  for (const std::uint8_t b :
       {address, std::uint8_t{16}, static_cast<std::uint8_t>(start >> 8),
        static_cast<std::uint8_t>(start & 0xFF), static_cast<std::uint8_t>(count >> 8),
        static_cast<std::uint8_t>(count & 0xFF), static_cast<std::uint8_t>(data.size())}) {
    frame.push_back(b);
  }
  for (const std::uint8_t b : data) frame.push_back(b);
  return withCrc(frame);
}

// The reply an instrument gives to a request, empty when it stays silent.
inline Bytes ask(sim::Instrument& instrument, const Bytes& request) {
  sim::Reply reply;
  const auto result = instrument.handle(request.data(), request.size(), reply);
  if (!result.replied) return {};
  return Bytes(reply.bytes.begin(), reply.bytes.begin() + static_cast<long>(reply.length));
}

// The data bytes of a good read reply (after address, function and byte count).
inline Bytes readData(sim::Instrument& instrument, std::uint8_t function, std::uint16_t start,
                      std::uint16_t count) {
  const Bytes reply = ask(instrument, readRequest(instrument.address(), function, start, count));
  if (reply.size() < 5 || !crcOk(reply) || reply[1] != function) return {};
  return Bytes(reply.begin() + 3, reply.end() - 2);
}

// The master's end of a serial line opened on a path, raw, with a read that ends on
// a silence after the first byte or a total time-out, like a station's port.
class LineMaster {
 public:
  explicit LineMaster(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return;
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd_, TCSANOW, &tio);
  }
  explicit LineMaster(int fd) : fd_(fd) {}
  ~LineMaster() {
    if (fd_ >= 0) ::close(fd_);
  }
  LineMaster(const LineMaster&) = delete;
  LineMaster& operator=(const LineMaster&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool send(const Bytes& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  Bytes receive(int totalMs = 1000, int silenceMs = 20) {
    using Clock = std::chrono::steady_clock;
    Bytes got;
    const auto end = Clock::now() + std::chrono::milliseconds(totalMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      int wait = static_cast<int>(left);
      if (!got.empty()) wait = std::min(wait, silenceMs);
      if (wait <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, wait) <= 0) {
        if (!got.empty()) break;
        continue;
      }
      std::uint8_t buffer[300];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  Bytes transact(const Bytes& request, int totalMs = 1000, int silenceMs = 20) {
    send(request);
    return receive(totalMs, silenceMs);
  }

 private:
  int fd_ = -1;
};

}  // namespace km8::simtest
