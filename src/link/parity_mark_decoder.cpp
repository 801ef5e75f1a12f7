#include "link/parity_mark_decoder.h"

namespace km8 {

ParityMarkDecoder::Result ParityMarkDecoder::decode(const std::uint8_t* raw, std::size_t rawLength,
                                                    std::uint8_t* out) {
  Result result;
  for (std::size_t i = 0; i < rawLength; ++i) {
    const std::uint8_t b = raw[i];
    switch (state_) {
      case State::Plain:
        if (b == 0xFF) {
          state_ = State::AfterFF;
        } else {
          out[result.produced++] = b;
        }
        break;
      case State::AfterFF:
        if (b == 0x00) {
          state_ = State::AfterFF00;
        } else if (b == 0xFF) {
          out[result.produced++] = 0xFF;
          state_ = State::Plain;
        } else {
          // A lone FF is never produced by the line discipline: the stream cannot be
          // trusted, so report it as a line error (keeping b keeps one byte per raw byte).
          out[result.produced++] = b;
          result.lineError = true;
          state_ = State::Plain;
        }
        break;
      case State::AfterFF00:
        out[result.produced++] = b;
        result.lineError = true;
        state_ = State::Plain;
        break;
    }
  }
  return result;
}

}  // namespace km8
