// Serves a request handler on a serial line: the master end of a new pseudo-terminal
// or a real device, split into frames, replies paced and faulted as planned.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "faults.h"

namespace km8::sim {

struct LineSettings {
  std::uint32_t baud = 19200;
  bool paced = false;              // requests and replies take their time on the line
  std::uint32_t turnaroundMs = 0;  // silence between request and reply
  // On a pseudo-terminal, drop requests the master sends at another rate, as an
  // instrument would not make sense of them (a pty carries the rate but not its effect).
  bool deafToOtherRates = false;

  bool operator==(const LineSettings&) const = default;
};

// What the serving thread calls; implementations lock their own state.
class RequestService {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~RequestService() = default;
  // Lets simulated time catch up with real time.
  virtual void advance(Clock::time_point now) = 0;
  // Handles one request frame; true when `plan` is to be sent.
  virtual bool serve(const std::uint8_t* frame, std::size_t length, Clock::time_point now,
                     TransmitPlan& plan) = 0;
  virtual LineSettings lineSettings() const = 0;
};

class PtyServer {
 public:
  explicit PtyServer(RequestService& service);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens a new pseudo-terminal pair; devicePath() is then its slave side, the path
  // a master opens.
  bool openNewPty(std::string& error);
  // Opens a real serial device (raw, 8N1, at the service's baud rate).
  bool openDevice(const std::string& path, std::string& error);
  const std::string& devicePath() const;

  bool start(std::string& error);
  // Joins the serving thread and closes every descriptor; safe to call twice.
  void stop();
  bool running() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace km8::sim
