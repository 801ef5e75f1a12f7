// Modbus RTU request frames and reply checks of the master, as pure functions over
// fixed buffers, so that every rule can be tested without a serial line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace km8 {

// Request and reply buffers of a transaction; also the largest read length.
inline constexpr std::size_t kModbusFrameSize = 256;

// Writes an 8-byte request (functions 1 to 6 and 8): address, function, the two
// 16-bit fields high byte first, CRC low byte first. Returns 8.
std::size_t buildShortRequest(std::uint8_t* frame, std::uint8_t address, std::uint8_t function,
                              std::uint16_t first, std::uint16_t second);

// Writes a function-15 or -16 request with byteCount data bytes. Returns byteCount + 9.
std::size_t buildWriteMultipleRequest(std::uint8_t* frame, std::uint8_t address,
                                      std::uint8_t function, std::uint16_t start,
                                      std::uint16_t count, std::uint8_t byteCount,
                                      const std::uint8_t* data);

// The byte count N of a request, or 0 when the request is refused. Coils take
// count / 8 bytes rounded up and then to an even number, as the instrument family
// expects (count 1..2047, N + 9 <= 256, so at most 1968 coils); registers take two
// bytes each (count 1..127, N + 9 <= 256, so at most 123).
std::uint8_t coilByteCount(std::uint16_t count);
std::uint8_t registerByteCount(std::uint16_t count);

// A read reply (functions 1 to 4) of n bytes, in this order: at least 3 bytes, the
// address, the function (an exception reply fails here), the CRC, n - 5 equal to the
// byte count in byte 2.
bool isValidReadReply(const std::uint8_t* reply, std::size_t n, std::uint8_t address,
                      std::uint8_t function);

// A write reply (functions 5, 6, 8, 15, 16): exactly 8 bytes, a good CRC, and bytes 0
// to 5 the same as those of the request.
bool isValidEchoReply(const std::uint8_t* reply, std::size_t n, const std::uint8_t* request);

// Reply bytes 1 and 2 as a little-endian value, bytes that did not arrive counting as
// 0: 902 for the exception reply 86 03, 6 for the echo of a write to register 12.
std::uint16_t replyCode(const std::uint8_t* reply, std::size_t n);

}  // namespace km8
