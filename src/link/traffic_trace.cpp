#include "link/traffic_trace.h"

#include "crc16.h"
#include "link/modbus_frame.h"

namespace km8 {
namespace {

constexpr std::uint16_t kAccessCodeRegister = 12;

bool hasGoodCrc(std::span<const std::uint8_t> f) {
  return f.size() >= 3 && Crc16(f.data(), f.size() - 2) == f[f.size() - 2] + 256u * f.back();
}

// The value and CRC bytes (4 to 7) of a function-6 write to the access-code register:
// with the CRC shown, the code could be found by trying all 65536 values.
bool isAccessCodeWrite(std::span<const std::uint8_t> f) {
  return f.size() >= 4 && f[1] == 6 && (f[2] << 8 | f[3]) == kAccessCodeRegister;
}

void appendHex(std::string& out, std::span<const std::uint8_t> bytes, bool maskCode) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  if (bytes.empty()) {
    out += " -";
    return;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out += ' ';
    if (maskCode && i >= 4 && i <= 7) {
      out += "**";
    } else {
      out += kDigits[bytes[i] >> 4];
      out += kDigits[bytes[i] & 0x0F];
    }
  }
}

}  // namespace

ReplyVerdict JudgeReply(std::span<const std::uint8_t> request,
                        std::span<const std::uint8_t> reply) {
  const std::size_t n = reply.size();
  if (n == 0) return {ReplyVerdict::Timeout};
  if (request.size() < 2) return {ReplyVerdict::Mismatch};
  const std::uint8_t function = request[1];
  const std::size_t expected = expectedReplyLength(function, reply.data(), n);
  if (n < 3 || (expected != 0 && n < expected)) return {ReplyVerdict::Short};
  if (!hasGoodCrc(reply)) return {ReplyVerdict::Crc};
  if (reply[1] == (function | 0x80) && n == 5 && reply[0] == request[0])
    return {ReplyVerdict::Exception, reply[2]};
  const bool good = function >= 1 && function <= 4
                        ? isValidReadReply(reply.data(), n, request[0], function)
                        : isValidEchoReply(reply.data(), n, request.data());
  return {good ? ReplyVerdict::Ok : ReplyVerdict::Mismatch};
}

std::string FormatTraceLine(std::chrono::steady_clock::duration monotonic,
                            std::span<const std::uint8_t> request,
                            std::span<const std::uint8_t> reply, unsigned attempt) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(monotonic).count();
  char head[40];
  std::snprintf(head, sizeof head, "%12lld.%06lld TX", static_cast<long long>(us / 1'000'000),
                static_cast<long long>(us % 1'000'000));
  std::string line = head;
  line.reserve(64 + 3 * (request.size() + reply.size()));
  const bool masked = isAccessCodeWrite(request);
  appendHex(line, request, masked);
  line += " RX";
  appendHex(line, reply, masked && reply.size() >= 2 && reply[1] == 6);

  const ReplyVerdict verdict = JudgeReply(request, reply);
  switch (verdict.kind) {
    case ReplyVerdict::Ok:
      line += " ok";
      break;
    case ReplyVerdict::Timeout:
      line += " time-out";
      break;
    case ReplyVerdict::Short:
      line += " short";
      break;
    case ReplyVerdict::Crc:
      line += " CRC";
      break;
    case ReplyVerdict::Exception:
      line += " exception " + std::to_string(verdict.exceptionCode);
      break;
    case ReplyVerdict::Mismatch:
      line += " mismatch";
      break;
  }
  line += " attempt " + std::to_string(attempt);
  return line;
}

StreamTrafficTrace::StreamTrafficTrace(const std::string& path) {
  if (path == "-") {
    stream_ = stderr;
  } else {
    stream_ = std::fopen(path.c_str(), "ab");
    owned_ = stream_ != nullptr;
  }
}

StreamTrafficTrace::~StreamTrafficTrace() {
  if (owned_) std::fclose(stream_);
}

void StreamTrafficTrace::write(std::string_view line) {
  if (!stream_) return;
  std::fwrite(line.data(), 1, line.size(), stream_);
  std::fputc('\n', stream_);
  std::fflush(stream_);
}

}  // namespace km8
