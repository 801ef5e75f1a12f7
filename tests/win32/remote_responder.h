// The far end of one COM port, played by the native km8-line-responder that serves the
// port's pseudo-terminal: the same script calls as ScriptedResponder, sent over TCP.
#pragma once

#include <winsock2.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "support/modbus_bytes.h"

namespace km8::test {

class RemoteResponder {
 public:
  // address is "host:port"; port the COM port's name ("COM1"). Throws
  // std::runtime_error when the responder cannot be reached.
  RemoteResponder(const std::string& address, std::string port);
  ~RemoteResponder();
  RemoteResponder(const RemoteResponder&) = delete;
  RemoteResponder& operator=(const RemoteResponder&) = delete;

  // Starts a step that waits for exactly these request bytes; an empty request does
  // not wait. A step without replies stays silent.
  RemoteResponder& expect(Bytes request);
  // Adds a piece to the current step's answer, sent `after` the previous piece (or
  // the request).
  RemoteResponder& reply(Bytes bytes,
                         std::chrono::milliseconds after = std::chrono::milliseconds(0));
  // Hands the whole script over; the responder serves it from now on.
  void start();
  // Waits for the script to be served; false when a request was missing or wrong
  // (see problems()) or the wait ran out.
  bool finish(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  const std::vector<std::string>& problems() const { return problems_; }
  // The requests as received, one per step served.
  const std::vector<Bytes>& requests() const { return requests_; }

  // Writes bytes towards the station at once.
  void send(const Bytes& bytes);
  // Everything the station sent until the line has been quiet for `quiet`.
  Bytes receive(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
  // The tty settings the station's SetCommState left ("baud", "inpck", "parodd",
  // "cmspar", "cstopb", "crtscts", "ixon", "ixoff", "icanon", "echo").
  std::map<std::string, unsigned> lineSettings();

  // The adapter pulled out: the port's pseudo-terminal hangs up and its COM mapping goes.
  // plug() puts a new one under the same name (and does nothing on a plugged port).
  void unplug();
  void plug();

 private:
  std::string command(const std::string& text);
  void sendText(const std::string& text);
  std::string readLine();

  std::string port_;
  SOCKET socket_ = INVALID_SOCKET;
  std::string input_;
  std::string script_;
  std::vector<std::string> problems_;
  std::vector<Bytes> requests_;
};

// One Read of the station's side: what arrived, and in `result` what Read returned.
Bytes readOnce(SerialPort& port, int* result = nullptr);

}  // namespace km8::test
