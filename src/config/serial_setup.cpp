#include "config/serial_setup.h"

namespace km8 {
namespace {

void putU32(SerialSetup::Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getU32(const SerialSetup::Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | b[at + i];
  return v;
}

}  // namespace

SerialSetup::Bytes SerialSetup::toBytes() const {
  Bytes b{};
  b[0] = PortIndex;
  b[1] = Parity;
  b[2] = DataBits;
  b[3] = StopBits;
  putU32(b, 4, BaudRate);
  putU32(b, 8, TotalTimeoutMs);
  putU32(b, 12, FrameLength);
  return b;
}

SerialSetup SerialSetup::fromBytes(const Bytes& b) {
  SerialSetup s;
  s.PortIndex = b[0];
  s.Parity = b[1];
  s.DataBits = b[2];
  s.StopBits = b[3];
  s.BaudRate = getU32(b, 4);
  s.TotalTimeoutMs = getU32(b, 8);
  s.FrameLength = getU32(b, 12);
  return s;
}

std::uint32_t ComputeTotalTimeoutMs(const SerialSetup& s) {
  if (s.BaudRate == 0) return 200;
  const std::uint32_t bits = (s.FrameLength + 4u) * (s.DataBits + 3u) * 1000u;
  return bits / s.BaudRate + 200u;
}

}  // namespace km8
