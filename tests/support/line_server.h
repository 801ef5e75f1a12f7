// The far end of a pseudo-terminal for link tests: cuts what the station sends into
// 8-byte requests and lets the test answer each one (or not) from a handler.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "support/modbus_bytes.h"

namespace km8::test {

struct LineAnswer {
  Bytes bytes;  // empty: stay silent
  std::chrono::milliseconds delay{0};
};

class LineServer {
 public:
  // Called on the server's thread with the request's number (from 1) and bytes.
  using Handler = std::function<LineAnswer(int number, const Bytes& request)>;

  LineServer(int masterFd, Handler handler);
  ~LineServer();
  LineServer(const LineServer&) = delete;
  LineServer& operator=(const LineServer&) = delete;

  std::vector<Bytes> requests() const;
  int count() const { return count_; }

 private:
  void run();

  int fd_;
  Handler handler_;
  int wake_[2] = {-1, -1};
  std::atomic<int> count_{0};
  mutable std::mutex mutex_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

}  // namespace km8::test
