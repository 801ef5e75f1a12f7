#include "link/parity_mark_decoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace km8 {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  Bytes data;
  bool lineError = false;
};

// Feeds the raw stream in chunks of the given sizes (the rest in one go).
Decoded decodeInChunks(const Bytes& raw, std::vector<std::size_t> chunks = {}) {
  ParityMarkDecoder decoder;
  Decoded result;
  std::size_t at = 0;
  chunks.push_back(raw.size());
  for (std::size_t size : chunks) {
    size = std::min(size, raw.size() - at);
    Bytes out(size + 1, 0xEE);
    const auto r = decoder.decode(raw.data() + at, size, out.data());
    EXPECT_LE(r.produced, size) << "more data bytes than raw bytes";
    EXPECT_EQ(out[size], 0xEE) << "wrote past the raw length";
    result.data.insert(result.data.end(), out.begin(), out.begin() + r.produced);
    result.lineError = result.lineError || r.lineError;
    at += size;
  }
  return result;
}

TEST(ParityMarkDecoder, PlainBytesAndDoubledFFPassUnmarked) {
  const Decoded d = decodeInChunks({0x01, 0x05, 0xFF, 0xFF, 0x00, 0x11, 0x13, 0x0D, 0xFF, 0xFF});
  EXPECT_EQ(d.data, (Bytes{0x01, 0x05, 0xFF, 0x00, 0x11, 0x13, 0x0D, 0xFF}));
  EXPECT_FALSE(d.lineError);
}

TEST(ParityMarkDecoder, MarkedByteIsKeptAndReportedAsLineError) {
  const Decoded parity = decodeInChunks({0x01, 0xFF, 0x00, 0x83, 0x02});
  EXPECT_EQ(parity.data, (Bytes{0x01, 0x83, 0x02}));
  EXPECT_TRUE(parity.lineError);
  const Decoded brk = decodeInChunks({0xFF, 0x00, 0x00});
  EXPECT_EQ(brk.data, (Bytes{0x00}));
  EXPECT_TRUE(brk.lineError);
}

TEST(ParityMarkDecoder, MarksCutBetweenReadsAreFinishedByTheNextRead) {
  EXPECT_EQ(decodeInChunks({0x10, 0xFF, 0xFF, 0x20}, {2}).data, (Bytes{0x10, 0xFF, 0x20}));
  const Decoded cutMark = decodeInChunks({0x10, 0xFF, 0x00, 0x41}, {2, 1});
  EXPECT_EQ(cutMark.data, (Bytes{0x10, 0x41}));
  EXPECT_TRUE(cutMark.lineError);
  // One raw byte at a time never yields more than one data byte per call.
  EXPECT_EQ(decodeInChunks({0xFF, 0xFF, 0xFF, 0xFF}, {1, 1, 1}).data, (Bytes{0xFF, 0xFF}));
}

TEST(ParityMarkDecoder, LoneFFIsDistrustedNotSwallowedSilently) {
  const Decoded d = decodeInChunks({0xFF, 0x41}, {1});
  EXPECT_TRUE(d.lineError);
  EXPECT_EQ(d.data, (Bytes{0x41}));
}

}  // namespace
}  // namespace km8
