// Milliseconds since construction, for the wide behavioural time checks of line tests.
#pragma once

#include <chrono>

namespace km8::test {

class Stopwatch {
 public:
  long long ms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace km8::test
