// Undoes the line discipline's error marking (PARMRK): a received 0xFF arrives as
// FF FF, a byte with a parity or framing error as FF 00 x, a break as FF 00 00.
#pragma once

#include <cstddef>
#include <cstdint>

namespace km8 {

class ParityMarkDecoder {
 public:
  struct Result {
    std::size_t produced = 0;  // data bytes written to out
    bool lineError = false;    // a marked byte (parity, framing, break) was among them
  };

  // Decodes raw bytes into out, which must hold rawLength bytes: every raw byte yields
  // at most one data byte, so reading n raw bytes never takes more than n data bytes.
  // A mark cut between two calls is finished by the next call.
  Result decode(const std::uint8_t* raw, std::size_t rawLength, std::uint8_t* out);

  void reset() { state_ = State::Plain; }

 private:
  enum class State : std::uint8_t { Plain, AfterFF, AfterFF00 };
  State state_ = State::Plain;
};

}  // namespace km8
