// The two ends of a reply on a real port: with FastFraming the read ends at the
// frame's own length, and the master leaves the line quiet before the next request.
#include <gtest/gtest.h>

#include <thread>

#include "link/modbus_master.h"
#include "pty/pty_fixture.h"
#include "support/scripted_responder.h"

namespace km8::test {
namespace {

using std::chrono::milliseconds;

const Bytes kRead = withCrc({0x01, 0x04, 0x00, 0x00, 0x00, 0x02});
const Bytes kReply = withCrc({0x01, 0x04, 4, 1, 2, 3, 4});

// A reply followed by a stray byte well within the 20 ms inter-character time-out:
// the time-out rule takes it as part of the reply (which then fails its length
// check); the frame-aware rule has ended the read before it came. Either way the
// stray byte is dropped before the next request (after a pause, as with PollDelay),
// which then succeeds.
TEST(FastFraming, AByteAfterTheWholeFrameIsNotPartOfTheReply) {
  for (const bool fast : {true, false}) {
    SCOPED_TRACE(fast ? "frame-aware" : "time-outs");
    TwoPtys line;
    ModbusMaster master{line.ports};
    master.setFastFraming(fast);
    ASSERT_TRUE(master.Open(lineSetup(0, 20, 300)));
    ScriptedResponder slave{line.com1.masterFd()};
    slave.expect(kRead).reply(kReply).reply({0x00}, milliseconds(12));
    slave.expect(kRead).reply(kReply);
    slave.start();

    std::uint8_t count = 0;
    EXPECT_EQ(master.ReadInputRegisters(1, 0, 2, nullptr, count) != 0, fast);
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_TRUE(master.ReadInputRegisters(1, 0, 2, nullptr, count));
    EXPECT_EQ(count, 4);
    EXPECT_TRUE(slave.finish());
    for (const auto& problem : slave.problems()) ADD_FAILURE() << problem;
  }
}

// What arrives together with the frame still belongs to it: an over-long echo fails
// under either rule; a reply cut short, or broken by a pause longer than the
// inter-character time-out, ends by the time-outs.
TEST(FastFraming, ShortAndOverlongRepliesFailAsUnderTheTimeouts) {
  const Bytes echo = withCrc({0x01, 0x06, 0x00, 0x0D, 0x00, 0x07});
  Bytes nine = echo;
  nine.push_back(0x55);
  TwoPtys line;
  ModbusMaster master{line.ports};
  master.setFastFraming(true);
  ASSERT_TRUE(master.Open(lineSetup(0, 20, 300)));
  ScriptedResponder slave{line.com1.masterFd()};
  slave.expect(echo).reply(nine);
  slave.expect(kRead).reply(Bytes(kReply.begin(), kReply.end() - 1));
  // The rest of a frame of known length after more than the inter-character time-out.
  slave.expect(kRead)
      .reply(Bytes(kReply.begin(), kReply.begin() + 4))
      .reply(Bytes(kReply.begin() + 4, kReply.end()), milliseconds(40));
  slave.expect(kRead).reply(kReply);
  slave.start();

  EXPECT_FALSE(master.WriteSingleRegister(1, 13, 7));
  std::uint8_t count = 0;
  EXPECT_FALSE(master.ReadInputRegisters(1, 0, 2, nullptr, count));
  EXPECT_FALSE(master.ReadInputRegisters(1, 0, 2, nullptr, count));
  std::this_thread::sleep_for(milliseconds(60));  // the late rest is dropped before the next
  EXPECT_TRUE(master.ReadInputRegisters(1, 0, 2, nullptr, count));
  EXPECT_TRUE(slave.finish());
  for (const auto& problem : slave.problems()) ADD_FAILURE() << problem;
}

}  // namespace
}  // namespace km8::test
