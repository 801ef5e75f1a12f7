// The master's reply checks for every request kind: whatever comes back on the line, a
// reply passes only when it is whole and consistent, and nothing reads past it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "crc16.h"
#include "link/modbus_frame.h"

namespace {

void require(bool ok) {
  if (!ok) __builtin_trap();
}

bool goodCrc(const std::uint8_t* frame, std::size_t n) {
  if (n < 2) return false;
  const std::uint16_t crc = km8::Crc16(frame, n - 2);
  return frame[n - 2] == (crc & 0xFF) && frame[n - 1] == (crc >> 8);
}

}  // namespace

// Input: kind, address, start (2), count or value (2), then the reply as received.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* in, std::size_t size) {
  if (size < 6) return 0;
  constexpr std::uint8_t kFunctions[] = {1, 2, 3, 4, 5, 6, 15, 16, 8};
  const std::uint8_t function = kFunctions[in[0] % sizeof kFunctions];
  const std::uint8_t address = in[1];
  const auto start = static_cast<std::uint16_t>(in[2] | in[3] << 8);
  const auto count = static_cast<std::uint16_t>(in[4] | in[5] << 8);
  // Exactly the bytes received, in a buffer of their own size, so that a read past
  // them is caught.
  const std::vector<std::uint8_t> reply(in + 6, in + size);
  const std::size_t n = reply.size();
  const std::uint8_t* r = reply.empty() ? nullptr : reply.data();

  std::uint8_t request[km8::kModbusFrameSize] = {};
  if (function <= 4) {
    if (!km8::isValidReadReply(r, n, address, function)) return 0;
    require(n >= 5 && r[0] == address && r[1] == function && n == r[2] + 5u && goodCrc(r, n));
    std::uint8_t data[256];
    std::memcpy(data, r + 3, r[2]);  // what the master copies out
    return 0;
  }
  std::size_t length = 0;
  if (function == 15 || function == 16) {
    const std::uint8_t bytes =
        function == 15 ? km8::coilByteCount(count) : km8::registerByteCount(count);
    if (bytes == 0) return 0;
    std::uint8_t data[256] = {};
    length = km8::buildWriteMultipleRequest(request, address, function, start, count, bytes, data);
    require(length == bytes + 9u && goodCrc(request, length));
  } else {
    length = km8::buildShortRequest(request, address, function, start, count);
    require(length == 8 && goodCrc(request, length));
  }
  (void)km8::replyCode(r, n);
  if (!km8::isValidEchoReply(r, n, request)) return 0;
  require(n == 8 && goodCrc(r, n) && std::memcmp(r, request, 6) == 0);
  return 0;
}
