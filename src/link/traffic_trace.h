// The traffic trace: one line per transaction on the line, with its time, the request
// and reply bytes, the outcome and the attempt number, for field engineers.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace km8 {

// Why a reply was taken or refused, judged from the bytes alone.
struct ReplyVerdict {
  enum Kind : std::uint8_t { Ok, Timeout, Short, Crc, Exception, Mismatch } kind = Ok;
  std::uint8_t exceptionCode = 0;
};

ReplyVerdict JudgeReply(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply);

// "  12.345678 TX 01 04 00 00 00 05 30 09 RX 01 04 0A ... ok attempt 1". The access
// code written by function 6 to register 12, and the CRC that would give it away, are
// masked in the request and in its echo.
std::string FormatTraceLine(std::chrono::steady_clock::duration monotonic,
                            std::span<const std::uint8_t> request,
                            std::span<const std::uint8_t> reply, unsigned attempt);

// Where trace lines go; written by the link worker thread only.
class TrafficTrace {
 public:
  virtual ~TrafficTrace() = default;
  virtual void write(std::string_view line) = 0;  // one line, without its newline
};

// A trace on a stdio stream, flushed after every line so that nothing is lost when
// the station ends abruptly.
class StreamTrafficTrace final : public TrafficTrace {
 public:
  // Opens `path` for appending, or uses standard error for "-". ok() says whether it
  // could be opened.
  explicit StreamTrafficTrace(const std::string& path);
  ~StreamTrafficTrace() override;
  StreamTrafficTrace(const StreamTrafficTrace&) = delete;
  StreamTrafficTrace& operator=(const StreamTrafficTrace&) = delete;

  bool ok() const { return stream_ != nullptr; }
  void write(std::string_view line) override;

 private:
  std::FILE* stream_ = nullptr;
  bool owned_ = false;
};

}  // namespace km8
