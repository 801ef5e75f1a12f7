// Runs the event loop until a condition holds, for the tests that drive the whole station.
#pragma once

#include <functional>

namespace km8::test {

// Runs the event loop until done() holds or `timeoutMs` has passed; says which.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace km8::test
