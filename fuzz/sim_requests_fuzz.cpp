// The simulator's request handling on any sequence of frames: no crash, no reply longer
// than a frame, and every reply it sends carries a good CRC.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "crc16.h"
#include "instrument.h"

// Input: frames one after another, each a length byte (1..64) and that many bytes; the
// same instrument handles them all, so that sequences (programming, archive reading)
// are reached.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  km8::sim::InstrumentConfig config;
  config.archiveCapacity = 64;
  km8::sim::Instrument instrument(config);
  std::size_t at = 0;
  std::int64_t now = 0;
  while (at < size) {
    const std::size_t length = data[at] % 64 + 1;
    ++at;
    if (at + length > size) break;
    const std::vector<std::uint8_t> frame(data + at, data + at + length);  // exact size
    at += length;
    km8::sim::Reply reply;
    const auto result = instrument.handle(frame.data(), frame.size(), reply);
    if (result.replied) {
      if (reply.length < 4 || reply.length > reply.bytes.size()) __builtin_trap();
      const std::uint16_t crc = km8::Crc16(reply.bytes.data(), reply.length - 2);
      if (reply.bytes[reply.length - 2] != (crc & 0xFF) ||
          reply.bytes[reply.length - 1] != crc >> 8)
        __builtin_trap();
    }
    now += 700;
    instrument.advanceTo(now);
  }
  return 0;
}
