#include "link/modbus_frame.h"

#include <algorithm>
#include <cstring>

#include "crc16.h"

namespace km8 {
namespace {

constexpr std::size_t kShortFrame = 8;
constexpr std::size_t kMultipleOverhead = 9;  // header 7 + CRC 2
constexpr std::uint16_t kMaxCoils = 2047;
constexpr std::uint16_t kMaxRegisters = 127;

void putU16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

void appendCrc(std::uint8_t* frame, std::size_t length) {
  const std::uint16_t crc = Crc16(frame, length);
  frame[length] = static_cast<std::uint8_t>(crc & 0xFF);
  frame[length + 1] = static_cast<std::uint8_t>(crc >> 8);
}

bool hasValidCrc(const std::uint8_t* frame, std::size_t n) {
  return Crc16(frame, n - 2) == frame[n - 2] + 256u * frame[n - 1];
}

std::uint8_t checkedByteCount(std::size_t n) {
  return n + kMultipleOverhead > kModbusFrameSize ? 0 : static_cast<std::uint8_t>(n);
}

}  // namespace

std::size_t buildShortRequest(std::uint8_t* frame, std::uint8_t address, std::uint8_t function,
                              std::uint16_t first, std::uint16_t second) {
  frame[0] = address;
  frame[1] = function;
  putU16(frame + 2, first);
  putU16(frame + 4, second);
  appendCrc(frame, 6);
  return kShortFrame;
}

std::size_t buildWriteMultipleRequest(std::uint8_t* frame, std::uint8_t address,
                                      std::uint8_t function, std::uint16_t start,
                                      std::uint16_t count, std::uint8_t byteCount,
                                      const std::uint8_t* data) {
  frame[0] = address;
  frame[1] = function;
  putU16(frame + 2, start);
  putU16(frame + 4, count);
  frame[6] = byteCount;
  if (byteCount != 0) std::memcpy(frame + 7, data, byteCount);
  appendCrc(frame, 7u + byteCount);
  return kMultipleOverhead + byteCount;
}

std::uint8_t coilByteCount(std::uint16_t count) {
  if (count == 0 || count > kMaxCoils) return 0;
  std::size_t n = (count + 7u) / 8u;
  n += n % 2;
  return checkedByteCount(n);
}

std::uint8_t registerByteCount(std::uint16_t count) {
  if (count == 0 || count > kMaxRegisters) return 0;
  return checkedByteCount(2u * count);
}

bool isValidReadReply(const std::uint8_t* reply, std::size_t n, std::uint8_t address,
                      std::uint8_t function) {
  if (n < 3) return false;
  if (reply[0] != address) return false;
  if (reply[1] != function) return false;
  if (!hasValidCrc(reply, n)) return false;
  return n >= 5 && n - 5 == reply[2];
}

bool isValidEchoReply(const std::uint8_t* reply, std::size_t n, const std::uint8_t* request) {
  return n == kShortFrame && hasValidCrc(reply, n) && std::memcmp(reply, request, 6) == 0;
}

std::size_t expectedReplyLength(std::uint8_t function, const std::uint8_t* reply, std::size_t n) {
  if (n < 2 || function == 0 || function >= 0x80) return 0;
  if (reply[1] == (function | 0x80)) return 5;  // address, function, code, CRC
  if (reply[1] != function) return 0;
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
      return n < 3 ? 0 : 5u + reply[2];
    case 5:
    case 6:
    case 8:
    case 15:
    case 16:
      return kShortFrame;
    default:
      return 0;
  }
}

std::uint32_t characterHalfBits(std::uint8_t dataBits, std::uint8_t parity, std::uint8_t stopBits) {
  const bool parityBit = parity >= 1 && parity <= 4;
  return 2u * (1u + dataBits + (parityBit ? 1u : 0u)) + 2u + std::min<std::uint32_t>(stopBits, 2);
}

std::chrono::nanoseconds characterTime(std::uint32_t baud, std::uint8_t dataBits,
                                       std::uint8_t parity, std::uint8_t stopBits) {
  if (baud == 0) return {};
  const std::uint64_t halfBits = characterHalfBits(dataBits, parity, stopBits);
  return std::chrono::nanoseconds((halfBits * 500'000'000ull + baud - 1) / baud);
}

std::chrono::microseconds frameSilence(std::uint32_t baud, std::uint8_t dataBits,
                                       std::uint8_t parity, std::uint8_t stopBits) {
  if (baud == 0) return {};
  // 3.5 characters of halfBits / 2 bits each.
  const std::uint64_t halfBits = characterHalfBits(dataBits, parity, stopBits);
  const std::chrono::microseconds silence((halfBits * 1'750'000ull + baud - 1) / baud);
  if (baud > 19200) return std::max(silence, std::chrono::microseconds(1750));
  return silence;
}

std::uint16_t replyCode(const std::uint8_t* reply, std::size_t n) {
  const std::uint8_t low = n > 1 ? reply[1] : 0;
  const std::uint8_t high = n > 2 ? reply[2] : 0;
  return static_cast<std::uint16_t>(low | high << 8);
}

}  // namespace km8
