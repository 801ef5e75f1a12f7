// Changing the instrument's block: writes are staged, the access code (packed two
// bits per digit, low byte first on the wire) applies them, wrong codes use up the
// attempts, and at none left everything is refused until reset on the instrument.
#include "access_code.h"

#include <gtest/gtest.h>

#include "instrument.h"
#include "sim_master.h"

namespace km8::sim {
namespace {

using simtest::ask;
using simtest::Bytes;
using simtest::readData;
using simtest::withCrc;
using simtest::writeMultipleRequest;
using simtest::writeSingleRequest;

TEST(AccessCode, PacksTwoBitsPerDigitFirstDigitHighest) {
  EXPECT_EQ(packAccessCode(""), 0);
  EXPECT_EQ(packAccessCode("4"), 3);
  EXPECT_EQ(packAccessCode("1234"), 0x1B);
  EXPECT_EQ(packAccessCode("432143"), 0xE4E);
  EXPECT_EQ(packAccessCode("444444"), 0xFFF);
  // Digits other than 1..4 count as 00, like '1'.
  EXPECT_EQ(packAccessCode("1509"), packAccessCode("1111"));
  EXPECT_EQ(packAccessCode("2905"), packAccessCode("2111"));
}

class BlockProgramming : public ::testing::Test {
 protected:
  static InstrumentConfig config() {
    InstrumentConfig c;
    c.accessCode = "432143";  // 0x0E4E: travels as 0x4E, 0x0E
    c.thermal.noiseC = 0.0;
    for (std::size_t i = 143; i < kBlockBytes; ++i) c.block.bytes()[i] = 0xC0 + (i & 0x0F);
    c.block.bytes()[0] = 0x5A;
    return c;
  }

  Bytes readBlock() {
    Bytes block;
    for (std::uint16_t offset = 0; offset <= 70; offset += 5) {
      const Bytes step = readData(instrument, 4, static_cast<std::uint16_t>(12 + offset), 5);
      EXPECT_EQ(step.size(), 10u);
      block.insert(block.end(), step.begin(), step.end());
    }
    return block;
  }

  void writeBlock(const Bytes& block, std::uint8_t address = 1) {
    for (std::uint16_t offset = 0; offset <= 70; offset += 5) {
      const Bytes part(block.begin() + 2 * offset, block.begin() + 2 * offset + 10);
      const Bytes request =
          writeMultipleRequest(address, static_cast<std::uint16_t>(12 + offset), part);
      const Bytes reply = ask(instrument, request);
      ASSERT_EQ(reply, withCrc(Bytes(request.begin(), request.begin() + 6)));
    }
  }

  Bytes sendCode(std::uint8_t first, std::uint8_t second, std::uint8_t address = 1) {
    return ask(instrument, writeSingleRequest(address, 12, first, second));
  }

  const Bytes kRefused = withCrc({1, 0x86, 0x03});
  Instrument instrument{config()};
};

TEST_F(BlockProgramming, CorrectCodeAppliesTheStagedBlockAndEchoes) {
  const Bytes original = readBlock();
  Bytes edited = original;
  edited[6] = 253;  // channel 1 setpoint 25.3
  edited[7] = 0;
  writeBlock(edited);
  EXPECT_EQ(readBlock(), original) << "nothing applies before the code";

  const Bytes request = writeSingleRequest(1, 12, 0x4E, 0x0E);
  EXPECT_EQ(ask(instrument, request), request);
  EXPECT_EQ(readBlock(), edited);
  EXPECT_EQ(instrument.block().channel(0).setpoint, 253);
  EXPECT_EQ(instrument.counters().codesAccepted, 1u);
}

TEST_F(BlockProgramming, UneditedRoundTripKeepsEveryByteIncludingTheUninterpretedOnes) {
  const Bytes original = readBlock();
  writeBlock(original);
  ASSERT_EQ(sendCode(0x4E, 0x0E), writeSingleRequest(1, 12, 0x4E, 0x0E));
  EXPECT_EQ(readBlock(), original);
  EXPECT_EQ(original[0], 0x5A);
  EXPECT_EQ(original[149], 0xC5);
}

TEST_F(BlockProgramming, CodeWithItsBytesInTheOtherOrderIsWrongAndDiscardsTheStagedBlock) {
  const Bytes original = readBlock();
  Bytes edited = original;
  edited[8] = 0x10;  // channel 1 switch point
  writeBlock(edited);
  EXPECT_EQ(sendCode(0x0E, 0x4E), kRefused);
  EXPECT_EQ(instrument.block().attemptsLeft(), 4);
  EXPECT_EQ(readData(instrument, 4, 12, 1), (Bytes{original[0], 4}));

  // The refused block is gone: the right code alone changes nothing, and it gives
  // the attempts back.
  EXPECT_EQ(sendCode(0x4E, 0x0E), writeSingleRequest(1, 12, 0x4E, 0x0E));
  Bytes expected = original;
  expected[1] = kMaxAttempts;
  EXPECT_EQ(readBlock(), expected);
}

TEST_F(BlockProgramming, AtNoAttemptsLeftEveryCodeIsRefusedUntilResetOnTheInstrument) {
  const Bytes original = readBlock();
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    EXPECT_EQ(sendCode(0x00, 0x00), kRefused);
    EXPECT_EQ(instrument.block().attemptsLeft(), kMaxAttempts - 1 - attempt);
  }
  Bytes edited = original;
  edited[1] = 0;
  edited[6] = 0x77;
  writeBlock(edited);
  EXPECT_EQ(sendCode(0x4E, 0x0E), kRefused) << "blocked: even the right code";
  EXPECT_EQ(instrument.block().attemptsLeft(), 0);
  EXPECT_EQ(instrument.block().channel(0).setpoint, original[6] | original[7] << 8);

  instrument.resetAccessCode();
  EXPECT_EQ(instrument.block().attemptsLeft(), kMaxAttempts);
  writeBlock(edited);
  EXPECT_EQ(sendCode(0x4E, 0x0E), writeSingleRequest(1, 12, 0x4E, 0x0E));
  EXPECT_EQ(instrument.block().channel(0).setpoint & 0xFF, 0x77);
  // The attempts counter is the instrument's own, not what the master wrote.
  EXPECT_EQ(instrument.block().attemptsLeft(), kMaxAttempts);
}

TEST_F(BlockProgramming, NewNumberAndRateTakeEffectAfterTheReplyToTheCode) {
  Bytes edited = readBlock();
  edited[3] = 7;  // instrument number
  edited[4] = 3;  // 9600 baud
  writeBlock(edited);
  EXPECT_EQ(instrument.baud(), 19200u);

  const Bytes request = writeSingleRequest(1, 12, 0x4E, 0x0E);
  Reply reply;
  const auto result = instrument.handle(request.data(), request.size(), reply);
  EXPECT_TRUE(result.replied);
  EXPECT_TRUE(result.lineChanged);
  EXPECT_EQ(Bytes(reply.bytes.begin(), reply.bytes.begin() + 8), request) << "old address";

  EXPECT_EQ(instrument.baud(), 9600u);
  EXPECT_TRUE(ask(instrument, simtest::readRequest(1, 4, 0, 5)).empty());
  EXPECT_EQ(readData(instrument, 4, 12, 5).size(), 10u);  // readData asks address 7
  EXPECT_EQ(instrument.address(), 7);
}

TEST_F(BlockProgramming, EmptyCodePacksToZero) {
  instrument.setAccessCode("");
  EXPECT_EQ(sendCode(0x01, 0x00), kRefused);
  EXPECT_EQ(sendCode(0x00, 0x00), writeSingleRequest(1, 12, 0, 0));
}

}  // namespace
}  // namespace km8::sim
