// How many global allocations the test executable has made so far; differences
// around a piece of code show whether it allocates.
#pragma once

namespace km8::simtest {
long allocationCount();
}  // namespace km8::simtest
