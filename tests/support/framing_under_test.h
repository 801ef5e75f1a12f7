// Which end-of-reply rule the link, pty and end-to-end suites run under: the
// frame-aware rule unless KM8_TEST_FAST_FRAMING=0, which ctest sets for the second
// run of those suites, so that both rules pass the same tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace km8::test {

inline std::uint32_t FastFramingUnderTest() {
  const char* value = std::getenv("KM8_TEST_FAST_FRAMING");
  return value != nullptr && std::string_view(value) == "0" ? 0u : 1u;
}

}  // namespace km8::test
