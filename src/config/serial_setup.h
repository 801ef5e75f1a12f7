// The serial line settings block, persisted as the 16-byte little-endian value
// "RS232Setup" whatever the host's byte order.
#pragma once

#include <array>
#include <cstdint>

namespace km8 {

struct SerialSetup {
  std::uint8_t PortIndex = 1;  // 0 is COM1 ... 8 is COM9
  std::uint8_t Parity = 0;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t DataBits = 8;
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  std::uint32_t BaudRate = 19200;
  std::uint32_t TotalTimeoutMs = 1000;
  std::uint32_t FrameLength = 20;  // bytes one read asks for; at most 256

  static constexpr std::size_t kBytes = 16;
  using Bytes = std::array<std::uint8_t, kBytes>;

  Bytes toBytes() const;
  static SerialSetup fromBytes(const Bytes& bytes);

  bool operator==(const SerialSetup&) const = default;
};

// Read and write total time-out the link worker sets before every opening:
// (FrameLength + 4) * (DataBits + 3) * 1000 / BaudRate + 200 in unsigned 32-bit
// arithmetic (213 with the defaults). A BaudRate of 0 gives 200; such a block
// never opens a port anyway.
std::uint32_t ComputeTotalTimeoutMs(const SerialSetup& setup);

}  // namespace km8
