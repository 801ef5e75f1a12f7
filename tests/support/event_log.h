// A shared, ordered record of what the fakes were asked to do, so a test can check the
// order of calls across several collaborators.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace km8::test {

struct EventLog {
  std::vector<std::string> events;

  void add(std::string event) { events.push_back(std::move(event)); }
  void clear() { events.clear(); }
  bool contains(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }
  // Events that start with prefix, in order.
  std::vector<std::string> matching(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    }
    return out;
  }
};

// Adds to a log that may be absent.
inline void note(EventLog* log, std::string event) {
  if (log) log->add(std::move(event));
}

}  // namespace km8::test
