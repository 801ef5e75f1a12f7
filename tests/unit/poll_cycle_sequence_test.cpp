#include <gtest/gtest.h>

#include "support/poll_cycle_fixture.h"

namespace km8::test {
namespace {

using Sequence = std::vector<int>;

class PollSequence : public PollCycleFixture {};

TEST_F(PollSequence, IdlePollingStartsWithTheHighHalfThenReadsTheLimitsOnce) {
  settings.set(&AppSettings::DeviceID, std::uint8_t{7});
  EXPECT_EQ(state(), 0);
  start();
  Sequence states = {state()};
  const Sequence more = okTimes(6);
  states.insert(states.end(), more.begin(), more.end());
  EXPECT_EQ(states, (Sequence{2, 1, 4, 2, 1, 2, 1}));

  const auto& sent = mailbox.submitted();
  ASSERT_EQ(sent.size(), 7u);
  for (const LinkRequest& r : sent) {
    EXPECT_EQ(r.unitAddress, 7);
    EXPECT_EQ(r.kind, 4);
  }
  EXPECT_EQ(sent[0].start, 5);
  EXPECT_EQ(sent[1].start, 0);
  EXPECT_EQ(sent[2].start, 79);  // GraphChannel 8 by default: read and discarded
  EXPECT_EQ(mailbox.contractViolations(), 0);
}

TEST_F(PollSequence, LimitsAreReadAgainAfterEvery101stLowHalfWhetherItSucceededOrNot) {
  start();
  std::vector<int> lowHalvesBeforeLimits;
  int lowHalves = 0;
  for (int i = 0; i < 700; ++i) {
    const PollState s = poll.state();
    // Every third low half fails; failures still count.
    const PollState next = (s == PollState::CurrentValuesLow && lowHalves % 3 == 2) ? fail() : ok();
    if (s == PollState::CurrentValuesLow) {
      ++lowHalves;
      if (next == PollState::ChartLimits) lowHalvesBeforeLimits.push_back(lowHalves);
    }
  }
  ASSERT_GE(lowHalvesBeforeLimits.size(), 3u);
  EXPECT_EQ(lowHalvesBeforeLimits[0], 1);
  EXPECT_EQ(lowHalvesBeforeLimits[1], 101);  // counting starts at construction
  EXPECT_EQ(lowHalvesBeforeLimits[2], 202);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PollSequence, ASingleChannelChoiceReadsItsLimitsAtTheNextTurnAllChannelsDoesNot) {
  start();
  okUntil(PollState::ChartLimits);
  ok();  // the start-up read, for all channels
  EXPECT_FALSE(items.limitsReloadDue);
  EXPECT_EQ(okTimes(4), (Sequence{1, 2, 1, 2}));

  poll.selectGraphChannel(kAllChannels);
  EXPECT_EQ(okTimes(4), (Sequence{1, 2, 1, 2}));

  poll.selectGraphChannel(6);
  EXPECT_EQ(okTimes(2), (Sequence{1, 4}));
  EXPECT_EQ(mailbox.last().start, 15 + 8 * 6);
  chart.updates.clear();
  // setpoint 25.3, switch 24.8, alarms 30.0 / 10.0, sensor 2, law 1
  EXPECT_EQ(okWith({0xFD, 0x00, 0xF8, 0x00, 0x2C, 0x01, 0x64, 0x00, 0x02, 0x01}),
            PollState::CurrentValuesHigh);
  EXPECT_FALSE(items.limitsReloadDue);
  EXPECT_DOUBLE_EQ(items.limits[6].setpoint, 25.3);
  EXPECT_DOUBLE_EQ(items.limits[6].alarmLow, 10.0);
  EXPECT_EQ(items.limits[6].controlLaw, 1);
  EXPECT_EQ(chart.updates, (std::vector<int>{6}));
  EXPECT_EQ(items.limits[5], ChannelLimits{});  // the others keep their defaults
}

TEST_F(PollSequence, ALimitsReplyForAllChannelsIsDiscarded) {
  start();
  okUntil(PollState::ChartLimits);
  EXPECT_EQ(mailbox.last().start, 79);
  EXPECT_EQ(ok(), PollState::CurrentValuesHigh);
  EXPECT_FALSE(items.limitsReloadDue);
  for (const ChannelLimits& l : items.limits) EXPECT_EQ(l, ChannelLimits{});
  EXPECT_TRUE(chart.updates.empty());
}

TEST_F(PollSequence, ChoosingAnotherChannelWhileItsPredecessorsLimitsAreOutKeepsTheReadDue) {
  poll.selectGraphChannel(1);
  start();
  okUntil(PollState::ChartLimits);
  EXPECT_EQ(mailbox.last().start, 23);
  poll.selectGraphChannel(4);  // clicked while channel 2's limits are on the way
  ok();
  EXPECT_NE(items.limits[1], ChannelLimits{});  // channel 2's reply is still kept
  EXPECT_TRUE(items.limitsReloadDue);
  EXPECT_EQ(okTimes(2), (Sequence{1, 4}));
  EXPECT_EQ(mailbox.last().start, 15 + 8 * 4);
  ok();
  EXPECT_FALSE(items.limitsReloadDue);
}

TEST_F(PollSequence, PendingFeaturesInterleaveInTheirOrderOfPriority) {
  start();
  okUntil(PollState::ChartLimits);
  ok();
  okUntil(PollState::CurrentValuesLow);
  report.start();
  archive.start(5);
  archive.age = false;  // age already read
  programming.startRead();
  EXPECT_EQ(okTimes(6), (Sequence{3, 6, 7, 8, 2, 1}));
  EXPECT_EQ(report.steps.size(), 1u);
  EXPECT_EQ(archive.secondHalves.size(), 1u);
  EXPECT_EQ(programming.offset, 5);
}

TEST_F(PollSequence, OneReportStepPerPassAndAnArchiveRecordPerPass) {
  start();
  okUntil(PollState::ChartLimits);
  ok();
  okUntil(PollState::CurrentValuesLow);
  report.start();
  EXPECT_EQ(okTimes(6), (Sequence{3, 2, 1, 3, 2, 1}));
  EXPECT_EQ(mailbox.submitted()[mailbox.submitted().size() - 3].start, 12 + 5);

  report.pending = false;
  archive.start(2);
  EXPECT_EQ(okTimes(12), (Sequence{5, 2, 1, 6, 7, 2, 1, 6, 7, 2, 1, 2}));
  ASSERT_EQ(archive.ages.size(), 1u);
  EXPECT_EQ(archive.ages[0], (ArchiveAge{0, 0, 11, 10}));  // bytes 10 10 11 11
  EXPECT_FALSE(archive.age);
  EXPECT_FALSE(archive.active);  // two records read
  // Each handler gets the bytes of its own reply (register number twice per register).
  EXPECT_EQ(report.steps[0], (std::vector<std::uint8_t>{12, 12, 13, 13, 14, 14, 15, 15, 16, 16}));
  EXPECT_EQ(archive.firstHalves[1], (std::vector<std::uint8_t>{2, 2, 3, 3, 4, 4, 5, 5, 6, 6}));
  EXPECT_EQ(archive.secondHalves[1], (std::vector<std::uint8_t>{3, 3, 4, 4, 5, 5, 6, 6}));
}

TEST_F(PollSequence, ClosedFeatureWindowsEndTheirFeaturesAtTheTurn) {
  start();
  okUntil(PollState::ChartLimits);
  ok();
  okUntil(PollState::CurrentValuesLow);
  report.start();
  report.windowOpen = false;
  archive.start(3);
  archive.open = false;
  programming.startRead();
  programming.active = false;
  EXPECT_EQ(ok(), PollState::CurrentValuesHigh);
  EXPECT_FALSE(report.pending);
  EXPECT_FALSE(archive.active);
  EXPECT_FALSE(programming.pending);
}

TEST_F(PollSequence, ACompletedBlockWaitsForTheTimersHandOff) {
  start();
  okUntil(PollState::ChartLimits);
  ok();
  okUntil(PollState::CurrentValuesLow);
  programming.startWrite();
  programming.offset = 70;
  EXPECT_EQ(okTimes(2), (Sequence{9, 2}));
  EXPECT_EQ(programming.offset, 75);
  EXPECT_EQ(okTimes(4), (Sequence{1, 2, 1, 2}));  // no step beyond the block
  EXPECT_TRUE(programming.pending);
}

TEST_F(PollSequence, ABlockWriteSendsTheStepBytesOfItsOffset) {
  start();
  okUntil(PollState::ChartLimits);
  ok();
  okUntil(PollState::CurrentValuesLow);
  programming.startWrite();
  programming.offset = 20;
  ASSERT_EQ(ok(), PollState::BlockWrite);
  const LinkRequest& r = mailbox.last();
  EXPECT_EQ(r.kind, 8);
  EXPECT_EQ(r.start, 32);
  EXPECT_EQ(r.countOrValue, 5);
  EXPECT_EQ(mailbox.dataAtSubmit().back(),
            (std::vector<std::uint8_t>{40, 41, 42, 43, 44, 45, 46, 47, 48, 49}));
  ok();
  EXPECT_EQ(programming.offset, 25);
  EXPECT_EQ(mailbox.contractViolations(), 0);
}

TEST_F(PollSequence, AccessCodeDueReplacesWhateverNextStateWasChosen) {
  start();
  okUntil(PollState::CurrentValuesLow);
  programming.code = 0x0E1B;
  programming.codeDue = true;
  EXPECT_EQ(ok(), PollState::AccessCode);  // instead of 4
  EXPECT_FALSE(programming.codeDue);
  const LinkRequest& r = mailbox.last();
  EXPECT_EQ(r.kind, 6);
  EXPECT_EQ(r.start, 12);
  EXPECT_EQ(r.countOrValue, 0x1B0E);
  EXPECT_EQ(ok(), PollState::ChartLimits);  // limits still due
  EXPECT_TRUE(log.contains("code accepted"));
}

TEST_F(PollSequence, ARestartCommandMakesTheOutstandingReplyOfItsFeatureIgnored) {
  start();
  okUntil(PollState::ChartLimits);
  ok();
  okUntil(PollState::CurrentValuesLow);

  report.start();
  ASSERT_EQ(ok(), PollState::ReportStep);
  EXPECT_FALSE(poll.discardOutstandingReply(PollCycle::Feature::ArchiveReading));
  EXPECT_TRUE(poll.discardOutstandingReply(PollCycle::Feature::SetpointReport));
  report.start();
  EXPECT_EQ(state(), 0);
  EXPECT_EQ(ok(), PollState::CurrentValuesHigh);
  EXPECT_TRUE(report.steps.empty());
  EXPECT_EQ(okTimes(2), (Sequence{1, 3}));
  EXPECT_EQ(mailbox.last().start, 12);  // from offset 0 again
  report.pending = false;
  ok();
  okUntil(PollState::CurrentValuesLow);

  archive.start(3);
  archive.age = false;
  ASSERT_EQ(ok(), PollState::ArchiveFirstHalf);
  EXPECT_TRUE(poll.discardOutstandingReply(PollCycle::Feature::ArchiveReading));
  EXPECT_EQ(ok(), PollState::CurrentValuesHigh);
  EXPECT_TRUE(archive.firstHalves.empty());
  EXPECT_EQ(okTimes(2), (Sequence{1, 6}));
  ASSERT_EQ(ok(), PollState::ArchiveSecondHalf);
  EXPECT_TRUE(poll.discardOutstandingReply(PollCycle::Feature::ArchiveReading));
  ok();
  EXPECT_TRUE(archive.secondHalves.empty());
  archive.active = false;
  okUntil(PollState::CurrentValuesLow);

  programming.startWrite();
  programming.offset = 30;
  ASSERT_EQ(ok(), PollState::BlockWrite);
  programming.startRead();  // restarted while a write step is out
  EXPECT_TRUE(poll.discardOutstandingReply(PollCycle::Feature::SetpointProgramming));
  ok();
  EXPECT_EQ(programming.offset, 0);  // the write's completion does not skip the first read
  EXPECT_EQ(okTimes(2), (Sequence{1, 8}));
  EXPECT_EQ(mailbox.last().start, 12);
  EXPECT_FALSE(poll.discardOutstandingReply(PollCycle::Feature::SetpointReport));
  EXPECT_EQ(state(), 8);
}

}  // namespace
}  // namespace km8::test
