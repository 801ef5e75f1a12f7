#include <gtest/gtest.h>

#include "support/main_window_fixture.h"

namespace km8::test {
namespace {

using Events = std::vector<std::string>;

class LiveDisplayTest : public MainWindowFixture {
 protected:
  // Start-up: the empty request fails, then the high half is outstanding.
  void SetUp() override {
    ASSERT_TRUE(logic.initialise());
    replyFailed();
    ASSERT_EQ(logic.pollCycle().state(), PollState::CurrentValuesHigh);
    log.clear();
  }
  // Events of the channel rows and status lamps only.
  Events displayEvents() const {
    Events out;
    for (const auto& e : log.events) {
      if (e.rfind("value", 0) == 0 || e.rfind("label", 0) == 0 ||
          (e.rfind("led", 0) == 0 && e != "led 1069 on" && e != "led 1069 off") ||
          e.rfind("show", 0) == 0 || e.rfind("hide", 0) == 0) {
        out.push_back(e);
      }
    }
    return out;
  }
};

TEST_F(LiveDisplayTest, OnlyTheEnabledChannelsShowTheirReadings) {
  reply(highHalf({236, 237, 238}, 0xFF, 0xFF, 0x81, 0x00));
  reply(lowHalf({231, 232, 233, 234, 235}));

  for (int i : {0, 7}) {
    EXPECT_EQ(controls.values[i]->color, 255u);
    EXPECT_TRUE(controls.regulation[i]->lit);
    EXPECT_TRUE(controls.alarm[i]->lit);
    EXPECT_EQ(controls.labels[i]->caption, std::to_string(i + 1));
  }
  EXPECT_DOUBLE_EQ(controls.values[0]->value, 23.1);
  EXPECT_DOUBLE_EQ(controls.values[7]->value, 23.8);
  for (int i = 1; i <= 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(controls.values[i]->color, 0u);
    EXPECT_EQ(controls.values[i]->valueWrites, 0);  // the reading is not written
    EXPECT_FALSE(controls.regulation[i]->lit);
    EXPECT_FALSE(controls.alarm[i]->lit);
    EXPECT_EQ(controls.labels[i]->caption, " ");
  }
  // An enabled channel is set colour first and label last; a disabled one likewise.
  const Events e = displayEvents();
  EXPECT_EQ(Events(e.begin(), e.begin() + 8),
            (Events{"value 1021 color 0", "led 1029 off", "led 1079 off", "label 1012 ' '",
                    "value 1022 color 0", "led 1030 off", "led 1080 off", "label 1014 ' '"}));
  EXPECT_EQ(Events(e.begin() + 8, e.begin() + 13),
            (Events{"value 1023 color 255", "value 1023 = 23.8", "led 1031 on", "led 1081 on",
                    "label 1015 '8'"}));
}

TEST_F(LiveDisplayTest, AllChannelsCountAsEnabledUntilTheFirstHighHalf) {
  replyFailed();  // no high half yet
  reply(lowHalf({231, 232, 233, 234, 235}));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(controls.values[i]->color, 255u);
    EXPECT_EQ(controls.labels[i]->caption, std::to_string(i + 1));
  }
}

TEST_F(LiveDisplayTest, AReEnabledChannelShowsItsNumberAndRedValueAtTheNextReplyOfItsHalf) {
  reply(highHalf({0, 0, 0}, 0x00, 0x00, 0xFD, 0x00));  // channel 2 off
  reply(lowHalf({231, 232, 233, 234, 235}));
  ASSERT_EQ(controls.labels[1]->caption, " ");
  reply(highHalf({0, 0, 0}, 0x02, 0x00, 0xFF, 0x00));  // limits read comes first
  reply(highHalf({0, 0, 0}, 0x02, 0x00, 0xFF, 0x00));
  EXPECT_EQ(controls.labels[1]->caption, " ");  // not before its own half is read
  reply(lowHalf({231, 245, 233, 234, 235}));
  EXPECT_EQ(controls.labels[1]->caption, "2");
  EXPECT_EQ(controls.values[1]->color, 255u);
  EXPECT_DOUBLE_EQ(controls.values[1]->value, 24.5);
  EXPECT_TRUE(controls.regulation[1]->lit);
}

TEST_F(LiveDisplayTest, OutOfRangeReadingsAreShownAsTheMarkersNotBlanked) {
  reply(highHalf({32000, 0, 0}, 0x00, 0x00, 0xFF, 0x00));
  reply(lowHalf({-32000, -32768, 0, 0, 0}));
  EXPECT_EQ(controls.values[0]->value, -10000.0);
  EXPECT_EQ(controls.values[0]->color, 255u);
  EXPECT_EQ(controls.values[1]->value, -10000.0);
  EXPECT_EQ(controls.values[5]->value, 10000.0);
  EXPECT_EQ(controls.values[5]->color, 255u);
}

TEST_F(LiveDisplayTest, StatusLampsAndTheErrorGroupFollowTheStatusByte) {
  reply(highHalf({0, 0, 0}, 0, 0, 0xFF, 0x01));
  EXPECT_TRUE(controls.generalAlarm.lit);
  EXPECT_FALSE(controls.adcFailure.lit);
  for (int id : kErrorGroupControls) EXPECT_FALSE(controls.visibility.visible(id));
  const Events lamps = log.matching("led 106");
  EXPECT_EQ(Events(lamps.end() - 4, lamps.end()),
            (Events{"led 1063 on", "led 1066 off", "led 1068 off", "led 1067 off"}));

  reply(lowHalf({0, 0, 0, 0, 0}));
  reply(lowHalf({0, 0, 0, 0, 0}));  // limits
  log.clear();
  reply(highHalf({0, 0, 0}, 0, 0, 0xFF, 0x04));
  EXPECT_TRUE(controls.adcFailure.lit);
  EXPECT_FALSE(controls.generalAlarm.lit);
  EXPECT_EQ(log.matching("show"),
            (Events{"show 1066", "show 1071", "show 1067", "show 1072", "show 1068", "show 1073"}));

  reply(lowHalf({0, 0, 0, 0, 0}));
  log.clear();
  reply(highHalf({0, 0, 0}, 0, 0, 0xFF, 0x08));  // still an error: no change of visibility
  EXPECT_TRUE(controls.archiveError.lit);
  EXPECT_TRUE(log.matching("show").empty());

  reply(lowHalf({0, 0, 0, 0, 0}));
  log.clear();
  reply(highHalf({0, 0, 0}, 0, 0, 0xFF, 0x00));
  EXPECT_EQ(log.matching("hide"),
            (Events{"hide 1066", "hide 1071", "hide 1067", "hide 1072", "hide 1068", "hide 1073"}));
  EXPECT_FALSE(controls.archiveError.lit);
}

TEST_F(LiveDisplayTest, AFailedHighHalfPutsTheStatusLampsOutButKeepsTheGroupsVisibility) {
  reply(highHalf({0, 0, 0}, 0, 0, 0xFF, 0x03));
  ASSERT_TRUE(controls.visibility.visible(1066));
  reply(lowHalf({0, 0, 0, 0, 0}));
  reply(lowHalf({0, 0, 0, 0, 0}));  // limits
  log.clear();
  replyFailed();
  EXPECT_FALSE(controls.generalAlarm.lit);
  EXPECT_FALSE(controls.setpointError.lit);
  EXPECT_FALSE(controls.archiveError.lit);
  EXPECT_FALSE(controls.adcFailure.lit);
  EXPECT_TRUE(log.matching("hide").empty());
  EXPECT_TRUE(controls.visibility.visible(1066));
  // Channels 6..8 went dark, kind by kind; their labels stay.
  EXPECT_EQ(
      displayEvents(),
      (Events{"value 1021 color 0", "value 1022 color 0", "value 1023 color 0", "led 1029 off",
              "led 1030 off", "led 1031 off", "led 1079 off", "led 1080 off", "led 1081 off",
              "led 1063 off", "led 1066 off", "led 1068 off", "led 1067 off"}));
}

TEST_F(LiveDisplayTest, AFailedLowHalfBlanksChannels1To5AndLeavesTheRestAlone) {
  reply(highHalf({236, 237, 238}, 0xFF, 0xFF, 0xFF, 0x00));
  reply(lowHalf({231, 232, 233, 234, 235}));
  reply(lowHalf({0, 0, 0, 0, 0}));  // limits
  reply(highHalf({236, 237, 238}, 0xFF, 0xFF, 0xFF, 0x00));
  log.clear();
  replyFailed();
  EXPECT_EQ(displayEvents(),
            (Events{"value 1000 color 0", "value 1016 color 0", "value 1017 color 0",
                    "value 1019 color 0", "value 1020 color 0", "led 1024 off", "led 1025 off",
                    "led 1026 off", "led 1027 off", "led 1028 off", "led 1074 off", "led 1075 off",
                    "led 1076 off", "led 1077 off", "led 1078 off"}));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(controls.labels[i]->caption, std::to_string(i + 1));
    EXPECT_NEAR(controls.values[i]->value, 23.1 + 0.1 * i, 1e-9);  // the value stays
  }
  EXPECT_EQ(controls.values[5]->color, 255u);
  EXPECT_TRUE(controls.regulation[5]->lit);
}

// One reply per tick, the lamp looked at between the reply and the tick.
TEST_F(LiveDisplayTest, TheTransferLampIsOnFor13TicksOutOf27WhileRepliesKeepComing) {
  std::string pattern;
  for (int i = 0; i < 81; ++i) {
    reply(lowHalf({0, 0, 0, 0, 0}));
    pattern += controls.transfer.lit ? '#' : '.';
    tick();
  }
  const std::string period = std::string(13, '#') + std::string(14, '.');
  EXPECT_EQ(pattern, period + period + period);
}

TEST_F(LiveDisplayTest, AFailureDarkensTheTransferLampAndTheNextSuccessRelightsIt) {
  reply(lowHalf({0, 0, 0, 0, 0}));
  tick(3);
  ASSERT_TRUE(controls.transfer.lit);
  replyFailed();
  EXPECT_FALSE(controls.transfer.lit);
  tick(40);
  EXPECT_FALSE(controls.transfer.lit);
  reply(lowHalf({0, 0, 0, 0, 0}));
  EXPECT_TRUE(controls.transfer.lit);  // at once, without waiting out the period
  tick(13);
  EXPECT_FALSE(controls.transfer.lit);

  // A long silence after a lit period: the lamp stays dark and the next reply relights.
  log.clear();
  tick(10000);
  EXPECT_TRUE(log.matching("led 1069").empty());
  reply(lowHalf({0, 0, 0, 0, 0}));
  EXPECT_TRUE(controls.transfer.lit);
}

}  // namespace
}  // namespace km8::test
