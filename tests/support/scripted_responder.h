// Plays the instrument on the far end of a pseudo-terminal from a script: wait for
// the expected request, then answer (whole, in timed pieces, or late) or stay silent.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/modbus_bytes.h"

namespace km8::test {

class ScriptedResponder {
 public:
  // Serves the master end masterFd; the script is built before start().
  explicit ScriptedResponder(int masterFd);
  ~ScriptedResponder();
  ScriptedResponder(const ScriptedResponder&) = delete;
  ScriptedResponder& operator=(const ScriptedResponder&) = delete;

  // Starts a step that waits for exactly these request bytes. An empty request does
  // not wait: the step's reply is sent unasked.
  ScriptedResponder& expect(Bytes request);
  // Adds a piece to the current step's answer, sent `after` the previous piece (or
  // the request). A step without pieces stays silent.
  ScriptedResponder& reply(Bytes bytes,
                           std::chrono::milliseconds after = std::chrono::milliseconds(0));

  void start();
  // Waits for the whole script to be served; false when a request did not come in
  // time (see problems()) or the wait ran out.
  bool finish(std::chrono::milliseconds timeout = std::chrono::seconds(5));

  // Mismatched or missing requests, in order.
  std::vector<std::string> problems() const;
  // The requests as received, one per step served.
  std::vector<Bytes> requests() const;

 private:
  struct Piece {
    Bytes bytes;
    std::chrono::milliseconds after;
  };
  struct Step {
    Bytes request;
    std::vector<Piece> pieces;
  };

  void run();
  bool collect(std::size_t count, Bytes& out);
  bool pause(std::chrono::milliseconds length);
  void note(std::string problem);

  int master_;
  int wake_[2] = {-1, -1};  // a self-pipe that interrupts poll() on stop
  std::vector<Step> script_;
  std::thread thread_;
  std::atomic<bool> stop_{false};

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  std::vector<std::string> problems_;
  std::vector<Bytes> requests_;
};

}  // namespace km8::test
