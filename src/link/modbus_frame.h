// Modbus RTU request frames and reply checks of the master, as pure functions over
// fixed buffers, so that every rule can be tested without a serial line.
#pragma once

#include <chrono>
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

// The length of the reply to a request of `function`, as far as the first n received
// bytes tell it: 5 for an exception reply, byte count + 5 for a read, 8 for the writes
// and the echo. 0 while it is not known yet, or never (a function byte that answers
// neither way, or a function whose reply length the master does not know).
std::size_t expectedReplyLength(std::uint8_t function, const std::uint8_t* reply, std::size_t n);

// One character on the line as its frame really is: a start bit, the data bits, a
// parity bit for parity 1 to 4, and the stop bits (stopBits 0 one, 1 one and a half, 2
// and above two), in half bits so that one and a half stop bits count exactly.
std::uint32_t characterHalfBits(std::uint8_t dataBits, std::uint8_t parity, std::uint8_t stopBits);

// The time one such character takes on the wire, rounded up to the nanosecond, so that
// waits built from it are never shorter than the line. Zero for a baud rate of 0.
std::chrono::nanoseconds characterTime(std::uint32_t baud, std::uint8_t dataBits,
                                       std::uint8_t parity, std::uint8_t stopBits);

// The silence that ends a frame on the line: 3.5 of those characters, rounded up to the
// microsecond; above 19200 baud the usual 1.75 ms, or the 3.5 characters where they take
// longer (custom rates just above 19200, long frames). Zero for a baud rate of 0.
std::chrono::microseconds frameSilence(std::uint32_t baud, std::uint8_t dataBits,
                                       std::uint8_t parity, std::uint8_t stopBits);

// Reply bytes 1 and 2 as a little-endian value, bytes that did not arrive counting as
// 0: 902 for the exception reply 86 03, 6 for the echo of a write to register 12.
std::uint16_t replyCode(const std::uint8_t* reply, std::size_t n);

}  // namespace km8
