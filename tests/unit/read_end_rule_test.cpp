#include "link/read_end_rule.h"

#include <gtest/gtest.h>

#include <array>

namespace km8 {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

std::array<std::uint8_t, 32> bytes{};  // what has arrived; each test sets its head

std::span<const std::uint8_t> got(std::size_t n) { return {bytes.data(), n}; }

TEST(IntervalTimeout, IsFiftyThousandOverTheRateButAtLeastTwentyMs) {
  EXPECT_EQ(intervalTimeoutMs(110), 454u);
  EXPECT_EQ(intervalTimeoutMs(1200), 41u);
  EXPECT_EQ(intervalTimeoutMs(2400), 20u);
  EXPECT_EQ(intervalTimeoutMs(9600), 20u);
  EXPECT_EQ(intervalTimeoutMs(19200), 20u);
  EXPECT_EQ(intervalTimeoutMs(600), 83u);
  EXPECT_EQ(intervalTimeoutMs(1), 50000u);
}

TEST(ReadEndRule, EndsAtTheReadLengthAndNeverAsksForMore) {
  const ReadEndRule rule(20, 20, 213);
  const ReadStep start = rule.next(got(0), {}, std::nullopt);
  EXPECT_EQ(start.end, ReadEnd::None);
  EXPECT_EQ(start.maxBytes, 20u);
  const ReadStep partial = rule.next(got(15), milliseconds(5), milliseconds(1));
  EXPECT_EQ(partial.end, ReadEnd::None);
  EXPECT_EQ(partial.maxBytes, 5u);
  // Length wins even when both time-outs have run out too.
  EXPECT_EQ(rule.next(got(20), milliseconds(500), milliseconds(500)).end, ReadEnd::Length);
  EXPECT_EQ(ReadEndRule(0, 20, 213).next(got(0), {}, std::nullopt).end, ReadEnd::Length);
}

TEST(ReadEndRule, BeforeTheFirstByteOnlyTheTotalTimeoutCounts) {
  const ReadEndRule rule(20, 20, 213);
  const ReadStep waiting = rule.next(got(0), milliseconds(100), std::nullopt);
  EXPECT_EQ(waiting.end, ReadEnd::None);
  EXPECT_EQ(waiting.waitMs, 113);
  EXPECT_EQ(rule.next(got(0), milliseconds(212), std::nullopt).end, ReadEnd::None);
  EXPECT_EQ(rule.next(got(0), milliseconds(213), std::nullopt).end, ReadEnd::Total);
  // A part of a millisecond left is still waited for, never as a zero-length poll.
  EXPECT_EQ(rule.next(got(0), microseconds(212'600), std::nullopt).waitMs, 1);
}

TEST(ReadEndRule, IntervalEndsOnlyWhenMoreThanItHasPassedSinceTheLastByte) {
  const ReadEndRule rule(20, 20, 2000);
  EXPECT_EQ(rule.next(got(3), milliseconds(50), milliseconds(20)).end, ReadEnd::None);
  EXPECT_EQ(rule.next(got(3), milliseconds(50), microseconds(20'001)).end, ReadEnd::Interval);
  // The wait wakes just past the interval, not on it.
  EXPECT_EQ(rule.next(got(3), milliseconds(50), milliseconds(5)).waitMs, 16);
  EXPECT_EQ(rule.next(got(3), milliseconds(50), milliseconds(20)).waitMs, 1);
  // The nearer of the two time-outs sets the wait; the total one still ends the read.
  EXPECT_EQ(rule.next(got(3), milliseconds(1995), milliseconds(1)).waitMs, 5);
  EXPECT_EQ(rule.next(got(3), milliseconds(2000), milliseconds(1)).end, ReadEnd::Total);
  // A byte that arrived in the same instant counts as a byte, not a gap.
  EXPECT_EQ(rule.next(got(1), milliseconds(0), milliseconds(0)).end, ReadEnd::None);
}

TEST(ReadEndRule, ZeroTotalTimeoutWaitsForTheFirstByteWithoutLimit) {
  const ReadEndRule rule(20, 454, 0);
  const ReadStep idle = rule.next(got(0), std::chrono::hours(1), std::nullopt);
  EXPECT_EQ(idle.end, ReadEnd::None);
  EXPECT_EQ(idle.waitMs, -1);
  EXPECT_EQ(rule.next(got(2), std::chrono::hours(1), milliseconds(455)).end, ReadEnd::Interval);
}

// The frame-aware rule: a five-register reply (15 bytes), an exception (5) and an echo
// (8) end as soon as they are in; what is not a whole frame ends as before.
TEST(ReadEndRule, AReplyToAKnownRequestEndsWithItsLastByte) {
  bytes = {0x01, 0x04, 10};
  const ReadEndRule read(20, 20, 213, 4);
  EXPECT_EQ(read.next(got(14), milliseconds(10), milliseconds(0)).end, ReadEnd::None);
  const ReadStep done = read.next(got(15), milliseconds(10), milliseconds(0));
  EXPECT_EQ(done.end, ReadEnd::Frame);
  EXPECT_EQ(done.maxBytes, 5u);  // bytes already behind the frame are still taken

  bytes = {0x01, 0x84, 0x02};
  EXPECT_EQ(read.next(got(5), milliseconds(10), milliseconds(0)).end, ReadEnd::Frame);
  bytes = {0x01, 0x06};
  EXPECT_EQ(ReadEndRule(20, 20, 213, 6).next(got(8), milliseconds(5), milliseconds(0)).end,
            ReadEnd::Frame);
}

TEST(ReadEndRule, FrameAwareReadsStayBoundedByTheReadLengthAndBothTimeouts) {
  // 8 registers announce 21 bytes: the read length of 20 still ends the read there.
  bytes = {0x01, 0x04, 16};
  const ReadEndRule read(20, 20, 213, 4);
  EXPECT_EQ(read.next(got(20), milliseconds(10), milliseconds(0)).end, ReadEnd::Length);
  // A reply that stops short ends by the inter-character time-out, silence by the total.
  bytes = {0x01, 0x04, 10};
  EXPECT_EQ(read.next(got(9), milliseconds(30), microseconds(20'001)).end, ReadEnd::Interval);
  EXPECT_EQ(read.next(got(0), milliseconds(213), std::nullopt).end, ReadEnd::Total);
  // A reply of the wrong function has no known length: the time-outs end it.
  bytes = {0x01, 0x03, 10};
  EXPECT_EQ(read.next(got(15), milliseconds(10), milliseconds(0)).end, ReadEnd::None);
  EXPECT_EQ(read.next(got(15), milliseconds(40), microseconds(20'001)).end, ReadEnd::Interval);
  // Without a reply function the complete frame does not end the read.
  bytes = {0x01, 0x04, 10};
  EXPECT_EQ(ReadEndRule(20, 20, 213).next(got(15), milliseconds(10), milliseconds(0)).end,
            ReadEnd::None);
}

}  // namespace
}  // namespace km8
