#include <gtest/gtest.h>

#include "support/poll_cycle_fixture.h"

namespace km8::test {
namespace {

using Sequence = std::vector<int>;

class PollFailure : public PollCycleFixture {
 protected:
  // Past the start-up limits read, with state 1 outstanding.
  void settle() {
    start();
    okUntil(PollState::ChartLimits);
    ok();
    okUntil(PollState::CurrentValuesLow);
    log.clear();
  }
};

TEST_F(PollFailure, CurrentValuesAndLimitsFailSilently) {
  start();
  okUntil(PollState::CurrentValuesLow);
  ok();  // state 1 fills channels 1..5
  ASSERT_EQ(state(), 4);
  log.clear();
  EXPECT_EQ(fail(), PollState::CurrentValuesHigh);  // limits
  EXPECT_TRUE(items.limitsReloadDue);
  EXPECT_EQ(fail(), PollState::CurrentValuesLow);
  EXPECT_EQ(fail(), PollState::ChartLimits);  // read again after the next state 1
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(log.events, (std::vector<std::string>{"transfer failed", "transfer failed", "blank 5+3",
                                                  "status failed", "transfer failed", "blank 0+5",
                                                  "chart sample"}));
  for (double t : items.temperatures) EXPECT_EQ(t, LowMarker);
}

TEST_F(PollFailure, AFailedHalfClearsItsReadingsButKeepsTheEnabledChannels) {
  start();
  enabled = 0x81;
  status = 0x05;
  ok();  // state 2
  ok();  // state 1
  ASSERT_EQ(items.regulationOutputs, 0x05);
  ASSERT_DOUBLE_EQ(items.temperatures[0], 23.1);
  ok();    // limits
  fail();  // state 2
  EXPECT_EQ(items.regulationOutputs, 0);
  EXPECT_EQ(items.alarmOutputs, 0);
  EXPECT_EQ(items.statusFlags, 0);
  EXPECT_EQ(items.enabledChannels, 0x81);
  EXPECT_DOUBLE_EQ(items.temperatures[0], 23.1);  // the other half is untouched
  EXPECT_EQ(items.temperatures[5], LowMarker);

  ok();  // state 1 again
  ok();  // state 2: outputs back
  EXPECT_EQ(items.regulationOutputs, 0x05);
  fail();                                 // state 1
  EXPECT_EQ(items.regulationOutputs, 0);  // a failed low half clears the outputs too
  EXPECT_EQ(items.temperatures[4], LowMarker);
  EXPECT_DOUBLE_EQ(items.temperatures[5], 23.1);
}

TEST_F(PollFailure, AReplyShorterThanItsLayoutCountsAsAFailure) {
  start();
  okUntil(PollState::CurrentValuesLow);
  log.clear();
  okWith({0xE7, 0x00, 0xE7, 0x00});  // two registers of five
  EXPECT_EQ(log.events[0], "transfer failed");
  EXPECT_TRUE(log.contains("blank 0+5"));
  EXPECT_EQ(items.temperatures[2], LowMarker);
}

TEST_F(PollFailure, ArchiveRecordFailuresPromptOnlyAtTheThirdInARow) {
  settle();
  archive.start(10);
  archive.age = false;
  ASSERT_EQ(ok(), PollState::ArchiveFirstHalf);
  const std::uint16_t start6 = mailbox.last().start;

  EXPECT_EQ(fail(), PollState::ArchiveFirstHalf);
  EXPECT_EQ(fail(), PollState::ArchiveFirstHalf);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(mailbox.last().start, start6);  // the same record again

  messages.answers = {MessageResult::Retry};
  EXPECT_EQ(fail(), PollState::ArchiveFirstHalf);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, linkFailurePrompt().text);

  // Retry starts the count again; a success in between resets it as well.
  EXPECT_EQ(fail(), PollState::ArchiveFirstHalf);
  EXPECT_EQ(fail(), PollState::ArchiveFirstHalf);
  EXPECT_EQ(ok(), PollState::ArchiveSecondHalf);
  EXPECT_EQ(fail(), PollState::ArchiveSecondHalf);
  EXPECT_EQ(fail(), PollState::ArchiveSecondHalf);
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(mailbox.last().start, start6 + 1);
  EXPECT_EQ(ok(), PollState::CurrentValuesHigh);
  EXPECT_EQ(archive.failures, 0);
}

TEST_F(PollFailure, TheLinkFailurePromptAsksRetryOrCancelOverTheMainWindow) {
  settle();
  report.start();
  ASSERT_EQ(ok(), PollState::ReportStep);
  log.clear();
  fail();
  ASSERT_EQ(messages.shown.size(), 1u);
  const Message& m = messages.shown[0];
  EXPECT_EQ(m.text, "   Вiдсутнiй зв'язок !");
  EXPECT_EQ(m.caption, "Увага");
  EXPECT_EQ(m.buttons, MessageButtons::RetryCancel);
  EXPECT_EQ(m.icon, MessageIcon::Warning);
  EXPECT_TRUE(m.topmost);
  EXPECT_TRUE(m.ownedByMainWindow);
  EXPECT_EQ(log.events[1], "bring to front");  // after the transfer lamp, before the box
  EXPECT_EQ(log.events[2], "message " + m.text);
}

TEST_F(PollFailure, RetryResendsTheSameStepAndMinimisesAgainWhenItWasMinimised) {
  settle();
  report.start();
  ok();
  ok();  // state 3 at offset 0
  ok();
  ASSERT_EQ(ok(), PollState::ReportStep);  // offset 5
  const LinkRequest before = mailbox.last();

  window.minimised = true;
  messages.answers = {MessageResult::Retry};
  EXPECT_EQ(fail(), PollState::ReportStep);
  EXPECT_EQ(mailbox.last().start, before.start);
  EXPECT_EQ(mailbox.last().start, 12 + 5);
  EXPECT_TRUE(window.minimised);
  EXPECT_TRUE(log.contains("minimise"));
  EXPECT_TRUE(report.pending);

  log.clear();
  window.minimised = false;
  messages.answers = {MessageResult::Retry};
  fail();  // not minimised this time: it stays up
  EXPECT_FALSE(log.contains("minimise"));
  EXPECT_FALSE(window.minimised);
}

TEST_F(PollFailure, CancelAfterTheAgeReadEndsTheReadingAndPollingGoesOn) {
  struct Case {
    bool limitsDue;
    bool programming;
    PollState next;
  };
  settle();
  for (const Case c :
       {Case{true, true, PollState::ChartLimits}, Case{false, true, PollState::BlockRead},
        Case{false, false, PollState::CurrentValuesHigh}}) {
    SCOPED_TRACE(asInt(c.next));
    archive.start(5);
    ASSERT_EQ(ok(), PollState::ArchiveAge);
    items.limitsReloadDue = c.limitsDue;
    if (c.programming) programming.startRead();
    messages.answers = {MessageResult::Cancel};
    EXPECT_EQ(fail(), c.next);
    EXPECT_FALSE(archive.active);
    EXPECT_FALSE(archive.age);
    EXPECT_EQ(archive.failures, 1);
    programming.pending = false;
    items.limitsReloadDue = false;
    archive.failures = 0;
    okUntil(PollState::CurrentValuesLow);
  }
}

TEST_F(PollFailure, CancelInARecordReadGivesNoProgrammingTurnAfterTheFirstHalf) {
  settle();
  archive.start(5);
  archive.age = false;
  programming.startRead();
  ASSERT_EQ(ok(), PollState::ArchiveFirstHalf);
  messages.fallback = MessageResult::Cancel;
  fail();
  fail();
  EXPECT_EQ(fail(), PollState::CurrentValuesHigh);
  EXPECT_EQ(archive.failures, 1);
  EXPECT_TRUE(programming.pending);

  archive.start(5);
  archive.age = false;
  ok();
  ASSERT_EQ(ok(), PollState::ArchiveFirstHalf);
  ASSERT_EQ(ok(), PollState::ArchiveSecondHalf);
  fail();
  fail();
  EXPECT_EQ(fail(), PollState::BlockRead);  // the second half goes on like a finished record
}

TEST_F(PollFailure, CancelledBlockStepsEndTheProgramming) {
  settle();
  programming.startRead();
  ASSERT_EQ(ok(), PollState::BlockRead);
  EXPECT_EQ(fail(), PollState::CurrentValuesHigh);
  EXPECT_FALSE(programming.pending);
  EXPECT_EQ(programming.hides, 1);
  EXPECT_EQ(messages.shown.size(), 1u);

  okUntil(PollState::CurrentValuesLow);
  programming.startWrite();
  items.limitsReloadDue = true;
  ASSERT_EQ(ok(), PollState::BlockWrite);
  EXPECT_EQ(fail(), PollState::ChartLimits);
  EXPECT_FALSE(programming.pending);
  EXPECT_EQ(programming.hides, 2);
}

TEST_F(PollFailure, ARefusedAccessCodeRaisesTheNoticeInsteadOfThePrompt) {
  settle();
  programming.codeDue = true;
  ASSERT_EQ(ok(), PollState::AccessCode);
  EXPECT_EQ(fail(902), PollState::CurrentValuesHigh);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(programming.wrongCode);
  EXPECT_EQ(programming.hides, 1);

  okUntil(PollState::CurrentValuesLow);
  programming.codeDue = true;
  programming.wrongCode = false;
  ASSERT_EQ(ok(), PollState::AccessCode);
  messages.answers = {MessageResult::Retry, MessageResult::Cancel};
  EXPECT_EQ(fail(0), PollState::AccessCode);  // silence: the prompt, then the code again
  EXPECT_EQ(mailbox.last().countOrValue, 0);
  EXPECT_EQ(fail(0), PollState::CurrentValuesHigh);
  EXPECT_EQ(messages.shown.size(), 2u);
  EXPECT_FALSE(programming.wrongCode);
  EXPECT_EQ(programming.hides, 2);
}

TEST_F(PollFailure, InsideThePromptTheWatchdogFindsNothingToDo) {
  settle();
  report.start();
  ASSERT_EQ(ok(), PollState::ReportStep);
  const std::size_t before = mailbox.submitted().size();
  int ticksRun = 0;
  messages.whileShown = [&](const Message&) {
    // The modal box's loop keeps the timer running.
    for (int i = 0; i < 2 * PollCycle::kWatchdogTicks; ++i) {
      poll.watchdogTick();
      ++ticksRun;
      EXPECT_EQ(poll.state(), PollState::ReportStep);
    }
    EXPECT_FALSE(mailbox.IsTransactionDone());
    EXPECT_EQ(mailbox.submitted().size(), before);
  };
  messages.answers = {MessageResult::Retry};
  fail();
  EXPECT_EQ(ticksRun, 100);
  EXPECT_EQ(items.watchdogTicks, 0);  // it fired twice, uselessly
  EXPECT_EQ(mailbox.submitted().size(), before + 1);
  EXPECT_EQ(mailbox.takes(), static_cast<int>(before) + 1);
  EXPECT_EQ(mailbox.contractViolations(), 0);
}

TEST_F(PollFailure, ARestartWhileThePromptIsUpDropsTheFailedStep) {
  settle();
  report.start();
  ASSERT_EQ(ok(), PollState::ReportStep);
  messages.whileShown = [&](const Message&) {
    report.start();  // the command, from the nested loop
    poll.discardOutstandingReply(PollCycle::Feature::SetpointReport);
  };
  messages.answers = {MessageResult::Cancel};
  EXPECT_EQ(fail(), PollState::CurrentValuesHigh);
  EXPECT_FALSE(log.contains("report failure"));
  EXPECT_TRUE(report.pending);  // the restarted read goes on
  EXPECT_EQ(okTimes(2), (Sequence{1, 3}));
}

TEST_F(PollFailure, TheWatchdogActsOnlyWhenACompletedTransactionWaits) {
  settle();
  const std::size_t before = mailbox.submitted().size();
  for (int i = 0; i < 3 * PollCycle::kWatchdogTicks; ++i) poll.watchdogTick();
  EXPECT_EQ(mailbox.submitted().size(), before);  // still running: nothing to take

  mailbox.completeWith(standardReply(poll.state()));  // the completion message is lost
  for (int i = 0; i < 20; ++i) poll.watchdogTick();
  EXPECT_EQ(mailbox.submitted().size(), before);
  poll.onLinkDone();  // ...or not: it restarts the count and takes the reply itself
  EXPECT_EQ(mailbox.submitted().size(), before + 1);

  mailbox.completeWith(standardReply(poll.state()));
  for (int i = 0; i < PollCycle::kWatchdogTicks - 1; ++i) poll.watchdogTick();
  EXPECT_EQ(mailbox.submitted().size(), before + 1);
  poll.watchdogTick();
  EXPECT_EQ(mailbox.submitted().size(), before + 2);
  EXPECT_EQ(items.watchdogTicks, 0);
  EXPECT_EQ(mailbox.contractViolations(), 0);
}

}  // namespace
}  // namespace km8::test
