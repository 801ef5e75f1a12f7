#include <gtest/gtest.h>

#include "support/main_window_fixture.h"

namespace km8::test {
namespace {

using Events = std::vector<std::string>;

class MainWindowLogicTest : public MainWindowFixture {
 protected:
  // Events from the given one on that are not the mailbox's or the lamps'.
  Events stepsSince(std::size_t from) const {
    Events out;
    for (std::size_t i = from; i < log.events.size(); ++i) {
      const std::string& e = log.events[i];
      if (e.rfind("complete", 0) != 0) out.push_back(e);
    }
    return out;
  }
};

TEST_F(MainWindowLogicTest, InitialisationCreatesTheFeatureWindowsStartsTheTimerThenTheChart) {
  ASSERT_TRUE(logic.initialise());
  EXPECT_EQ(log.events,
            (Events{"create feature windows", "start timer 1 110", "centre feature windows",
                    "chart set-up", "chart span", "chart update 8"}));
  EXPECT_TRUE(exitCodes.empty());
}

TEST_F(MainWindowLogicTest, WithoutFeatureWindowsOrATimerTheProcessEnds) {
  featureWindows.creatable = false;
  EXPECT_FALSE(logic.initialise());
  EXPECT_EQ(exitCodes, (std::vector<int>{0}));
  EXPECT_FALSE(log.contains("start timer 1 110"));
  EXPECT_TRUE(messages.shown.empty());

  featureWindows.creatable = true;
  window.timerAvailable = false;
  exitCodes.clear();
  log.clear();
  EXPECT_FALSE(logic.initialise());
  ASSERT_EQ(messages.shown.size(), 1u);
  const Message& m = messages.shown[0];
  EXPECT_EQ(m.text, "Failed to create timer !");
  EXPECT_EQ(m.caption, "KM410-8");
  EXPECT_EQ(m.icon, MessageIcon::Error);
  EXPECT_FALSE(m.ownedByMainWindow);
  EXPECT_EQ(exitCodes, (std::vector<int>{0}));
  EXPECT_FALSE(log.contains("chart set-up"));
}

TEST_F(MainWindowLogicTest, TheChartChannelStartsFromTheSavedSetting) {
  settings.set(&AppSettings::GraphChannel, std::uint8_t{3});
  MainWindowLogic three(mailbox, settings, controls.wiring(), window, messages, {});
  EXPECT_EQ(three.items().chartChannel, 3);
  three.attachChart(chart);
  log.clear();
  ASSERT_TRUE(three.initialise());
  EXPECT_TRUE(log.contains("chart update 3"));

  settings.set(&AppSettings::GraphChannel, std::uint8_t{44});  // edited by hand
  MainWindowLogic bad(mailbox, settings, controls.wiring(), window, messages, {});
  EXPECT_EQ(bad.items().chartChannel, kAllChannels);
}

TEST_F(MainWindowLogicTest, TheFirstTickPublishesTheWindowHandleOnceBeforeAnythingElse) {
  ASSERT_TRUE(logic.initialise());
  archive.textExport = true;
  const std::size_t from = log.events.size();
  tick();
  EXPECT_EQ(stepsSince(from)[0], "publish handle");
  tick(20);
  EXPECT_EQ(handlePublications, 1);
}

TEST_F(MainWindowLogicTest, TimerStepsRunInTheirOrder) {
  ASSERT_TRUE(logic.initialise());
  replyFailed();                         // start-up: the empty request
  reply(std::vector<std::uint8_t>(10));  // a success lights the transfer lamp
  tick(12);                              // the 13th tick puts it out

  archive.textExport = true;
  archive.databaseExport = true;
  programming.pending = true;
  programming.offset = 75;
  programming.wrongCode = true;
  std::size_t from = log.events.size();
  tick();
  EXPECT_EQ(stepsSince(from),
            (Events{"led 1069 off", "text export", "bring to front", "activate list",
                    "database export", "bring to front", "activate list", "hand-off",
                    "bring to front", "message Невiрний код доступу !"}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "Змiна уставок");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
  EXPECT_FALSE(archive.textExport);
  EXPECT_FALSE(programming.wrongCode);

  // The watchdog comes last: on its 50th tick it takes the waiting reply.
  mailbox.completeWith(std::vector<std::uint8_t>(10));
  tick(PollCycle::kWatchdogTicks - 14);
  programming.pending = true;
  programming.wrongCode = true;
  from = log.events.size();
  tick();
  const Events steps = stepsSince(from);
  ASSERT_GE(steps.size(), 4u);
  EXPECT_EQ(Events(steps.begin(), steps.begin() + 3),
            (Events{"hand-off", "bring to front", "message Невiрний код доступу !"}));
  EXPECT_EQ(log.matching("submit").size(), 3u);
  EXPECT_EQ(log.events.back().rfind("submit", 0), 0u);
}

TEST_F(MainWindowLogicTest, TheHandOffWaitsForTheWholeBlock) {
  ASSERT_TRUE(logic.initialise());
  programming.pending = true;
  programming.offset = 70;
  tick();
  EXPECT_FALSE(log.contains("hand-off"));
  programming.offset = 75;
  programming.pending = false;
  tick();
  EXPECT_FALSE(log.contains("hand-off"));
}

TEST_F(MainWindowLogicTest, TheCompletionMessageRestartsTheWatchdog) {
  ASSERT_TRUE(logic.initialise());
  replyFailed();
  tick(PollCycle::kWatchdogTicks - 1);
  mailbox.completeWith(std::vector<std::uint8_t>(10));
  logic.onTimer(2);  // not our timer
  EXPECT_EQ(log.matching("submit").size(), 1u);
  logic.onLinkDone();
  EXPECT_EQ(log.matching("submit").size(), 2u);
  mailbox.completeWith(std::vector<std::uint8_t>(10));  // its message never arrives
  tick(PollCycle::kWatchdogTicks - 1);
  EXPECT_EQ(log.matching("submit").size(), 2u);
  tick();
  EXPECT_EQ(log.matching("submit").size(), 3u);
}

TEST_F(MainWindowLogicTest, TimerTicksInsideTheLinkFailurePromptFindNothingToDispatch) {
  ASSERT_TRUE(logic.initialise());
  replyFailed();
  reply(std::vector<std::uint8_t>(10));  // 2
  archive.start(1);
  reply(std::vector<std::uint8_t>(10));  // 1, then the archive age
  ASSERT_EQ(logic.pollCycle().state(), PollState::ArchiveAge);
  const std::size_t submits = log.matching("submit").size();
  messages.whileShown = [&](const Message&) {
    tick(2 * PollCycle::kWatchdogTicks + 5);
    EXPECT_EQ(log.matching("submit").size(), submits);
    EXPECT_EQ(logic.pollCycle().state(), PollState::ArchiveAge);
  };
  messages.answers = {MessageResult::Retry};
  replyFailed();
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(log.matching("submit").size(), submits + 1);
  EXPECT_EQ(log.events.back(), "submit 4 10 2");  // the age read again
  EXPECT_EQ(mailbox.contractViolations(), 0);
}

TEST_F(MainWindowLogicTest, EscAsksBeforeLeavingAndSavesOnlyOnOk) {
  ASSERT_TRUE(logic.initialise());
  messages.answers = {MessageResult::Cancel};
  logic.onCancel();
  ASSERT_EQ(messages.shown.size(), 1u);
  const Message& m = messages.shown[0];
  EXPECT_EQ(m.text, "   Вийти з програми ?");
  EXPECT_EQ(m.caption, "Увага");
  EXPECT_EQ(m.buttons, MessageButtons::OkCancel);
  EXPECT_EQ(m.icon, MessageIcon::Question);
  EXPECT_EQ(saves, 0);
  EXPECT_EQ(window.dialogEnds, 0);

  log.clear();
  messages.answers = {MessageResult::Ok};
  logic.onCancel();
  EXPECT_EQ(log.events, (Events{"message " + exitQuestion().text, "save settings", "end dialog"}));
}

TEST_F(MainWindowLogicTest, EnterEndsAtOnceWithoutSavingTheChangedChannel) {
  ASSERT_TRUE(logic.initialise());
  logic.onGraphChannelButton(1035);
  logic.onOk();
  EXPECT_EQ(window.dialogEnds, 1);
  EXPECT_EQ(saves, 0);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowLogicTest, GraphChannelButtonsSelectTheChartChannel) {
  ASSERT_TRUE(logic.initialise());
  replyFailed();
  reply(std::vector<std::uint8_t>(10));  // 2
  reply(std::vector<std::uint8_t>(10));  // 1
  reply(std::vector<std::uint8_t>(10));  // 4: the start-up read
  ASSERT_FALSE(logic.items().limitsReloadDue);

  chart.updates.clear();
  logic.onGraphChannelButton(1124);
  EXPECT_EQ(logic.items().chartChannel, 8);
  EXPECT_FALSE(logic.items().limitsReloadDue);
  logic.onGraphChannelButton(1035);
  EXPECT_EQ(logic.items().chartChannel, 2);
  EXPECT_TRUE(logic.items().limitsReloadDue);
  EXPECT_EQ(settings.get(&AppSettings::GraphChannel), 2);
  logic.onGraphChannelButton(1040);
  EXPECT_EQ(logic.items().chartChannel, 7);
  logic.onGraphChannelButton(1041);  // not a channel button
  EXPECT_EQ(logic.items().chartChannel, 7);
  EXPECT_EQ(chart.updates, (std::vector<int>{8, 2, 7}));
}

TEST_F(MainWindowLogicTest, ShutdownKillsTheTimerThenDestroysTheFeatureWindows) {
  ASSERT_TRUE(logic.initialise());
  replyFailed();
  log.clear();
  logic.shutdown();
  EXPECT_EQ(log.events, (Events{"kill timer 1", "destroy feature windows"}));
  // A completion posted afterwards builds nothing.
  mailbox.completeWith(std::vector<std::uint8_t>(10));
  logic.onLinkDone();
  tick(2 * PollCycle::kWatchdogTicks);
  EXPECT_TRUE(log.matching("submit").empty());
}

}  // namespace
}  // namespace km8::test
