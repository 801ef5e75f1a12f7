#include "monitor/strip_chart_logic.h"

#include <gtest/gtest.h>

#include "support/poll_cycle_fixture.h"
#include "support/recording_strip_chart.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using test::RecordingStripChart;
constexpr double M = LowMarker;

TEST(ChartRounding, StepsOfTenFromTheTruncatedValue) {
  struct Case {
    double x;
    int below, above;
  };
  for (const Case& c :
       {Case{23.7, 20, 30}, Case{23.4, 20, 30}, Case{20.0, 10, 30}, Case{0.4, -10, 10},
        Case{-15.2, -20, -10}, Case{-10.0, -20, 0}, Case{-0.5, -10, 10}, Case{-19.9, -20, -10}}) {
    EXPECT_EQ(StepBelow(c.x), c.below) << c.x;
    EXPECT_EQ(StepAbove(c.x), c.above) << c.x;
  }
  EXPECT_EQ(RoundHalfAway(2.5), 3);
  EXPECT_EQ(RoundHalfAway(-2.5), -3);
  EXPECT_EQ(RoundHalfAway(-2.4), -2);
}

class StripChartLogicTest : public ::testing::Test {
 protected:
  void append(std::array<double, 8> temperatures) {
    items.temperatures = temperatures;
    logic.AppendChartSample();
    now += 1000;
  }
  void showChannelWithData(int channel, const ChannelLimits& limits) {
    items.chartChannel = channel;
    items.limits[channel] = limits;
    std::array<double, 8> t;
    t.fill(M);
    t[channel] = 23.4;
    append(t);
    logic.UpdateChart(channel);
  }

  std::uint32_t now = 50000;
  PollItems items;
  SharedSettings settings;
  test::ScriptedMessageHost messages;
  RecordingStripChart chart;
  StripChartLogic logic{chart, items, settings, messages, [this] { return now; }};
};

TEST_F(StripChartLogicTest, AFirstReadingGivesBoundsAroundItAndAllChannelsAddAMargin) {
  append({23.4, M, M, M, M, M, M, 10000.0});
  EXPECT_EQ(logic.rangeLow(0), 20);
  EXPECT_EQ(logic.rangeHigh(0), 30);
  EXPECT_GT(logic.rangeLow(7), logic.rangeHigh(7));  // markers never move the bounds
  ASSERT_EQ(chart.samples.size(), 1u);
  EXPECT_EQ(chart.samples[0][0], 23.4);
  for (int i = 1; i < 8; ++i) EXPECT_FALSE(chart.samples[0][i].has_value()) << i;
  EXPECT_EQ(chart.valueMin, 20);  // all channels: the bounds themselves while sampling
  EXPECT_EQ(chart.valueMax, 30);
  EXPECT_EQ(chart.calls.front(), "new sample");
  EXPECT_EQ(chart.calls.back(), "end");

  logic.UpdateChart(kAllChannels);
  EXPECT_EQ(chart.valueMin, 10);
  EXPECT_EQ(chart.valueMax, 40);
}

TEST_F(StripChartLogicTest, AllChannelsWithoutDataShowZeroToHundredAndEveryTrace) {
  chart.mode = 2;
  logic.UpdateChart(kAllChannels);
  EXPECT_EQ(chart.valueMin, 0);
  EXPECT_EQ(chart.valueMax, 100);
  EXPECT_EQ(chart.mode, 0);
  EXPECT_TRUE(chart.legendVisible);
  EXPECT_EQ(chart.currentChannel, 0);
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(chart.channels[i].visible);
    EXPECT_EQ(chart.channels[i].color, ChannelColours[i]);
    EXPECT_FALSE(chart.channels[i].regulation[0].shown || chart.channels[i].alarm[1].shown);
  }
  EXPECT_EQ(chart.calls.front(), "begin");
  EXPECT_EQ(chart.calls.back(), "end");

  // One channel without a value yet: only that trace, range and lines left as they were;
  // the user's own view (mode 4) is left alone.
  chart.mode = 4;
  logic.UpdateChart(3);
  EXPECT_EQ(chart.mode, 4);
  EXPECT_EQ(chart.valueMax, 100);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(chart.channels[i].visible, i == 3) << i;
  EXPECT_FALSE(chart.channels[3].alarm[0].shown);
  EXPECT_FALSE(chart.legendVisible);
  EXPECT_EQ(chart.currentChannel, 3);
}

TEST_F(StripChartLogicTest, EachControlLawDrawsItsRegulationLinesAndTheRangeTakesTheLimits) {
  struct Case {
    std::uint8_t law;
    std::uint32_t regLines;
    bool setpointLine, switchLine;
    int lo, hi;
  };
  // The threshold -25 widens the range for the two-position laws only, the setpoint 85
  // whenever regulation lines are on, even for the laws that draw none.
  for (const Case& c : {Case{0, 1, true, true, -30, 90}, Case{1, 1, true, true, -30, 90},
                        Case{2, 1, false, false, -10, 90}, Case{3, 1, true, false, -10, 90},
                        Case{4, 1, true, false, -10, 90}, Case{5, 1, false, false, -10, 90},
                        Case{0, 0, false, false, -10, 80}}) {
    SCOPED_TRACE(testing::Message() << "law " << int{c.law} << " lines " << c.regLines);
    settings.set(&AppSettings::DisplayRegLines, c.regLines);
    showChannelWithData(2, {.setpoint = 85.0,
                            .switchPoint = -25.0,
                            .alarmHigh = 70.0,
                            .alarmLow = -5.0,
                            .controlLaw = c.law});
    const auto& ch = chart.channels[2];
    EXPECT_EQ(ch.regulation[0].shown, c.setpointLine);
    EXPECT_EQ(ch.regulation[1].shown, c.switchLine);
    EXPECT_EQ(ch.regulation[0].value, 85.0);
    EXPECT_EQ(ch.regulation[0].code, 3);
    if (c.regLines) {
      EXPECT_EQ(ch.regulation[1].color, kRegulationLineColour);
    }
    EXPECT_TRUE(ch.alarm[0].shown && ch.alarm[1].shown);
    EXPECT_EQ(ch.alarm[0].value, 70.0);
    EXPECT_EQ(ch.alarm[1].value, -5.0);
    EXPECT_EQ(ch.alarm[1].code, 4);
    EXPECT_EQ(ch.alarm[0].color, kAlarmLineColour);
    EXPECT_EQ(chart.valueMin, c.lo);
    EXPECT_EQ(chart.valueMax, c.hi);
    EXPECT_EQ(chart.currentChannel, 2);
  }
}

TEST_F(StripChartLogicTest, OneSampleASecondWhateverThePollRateAcrossTheTickWrap) {
  now = 0xFFFFFE00u;  // the first sample goes through at once, even here
  logic.AppendChartSample();
  now += 500;
  logic.AppendChartSample();
  EXPECT_EQ(chart.samples.size(), 1u);
  now = 0xFFFFFE00u + 997;  // past the wrap
  logic.AppendChartSample();
  EXPECT_EQ(chart.samples.size(), 1u);
  now = 0xFFFFFE00u + 998;
  logic.AppendChartSample();
  EXPECT_EQ(chart.samples.size(), 2u);
}

TEST_F(StripChartLogicTest, OneChannelSamplingWidensTheShownEndByItsLimits) {
  items.chartChannel = 1;  // default limits: setpoint 100, threshold 0, alarms 120 and -20
  append({M, 23.4, M, M, M, M, M, M});
  EXPECT_EQ(chart.valueMin, -30);
  EXPECT_EQ(chart.valueMax, 130);
  chart.calls.clear();
  append({M, 25.0, M, M, M, M, M, M});  // inside the bounds: neither end moves
  EXPECT_EQ(chart.calls, (std::vector<std::string>{"new sample", "begin", "sample value", "end"}));
}

TEST_F(StripChartLogicTest, AChartErrorMidBatchSkipsTheRestAndResetsKeepingTheBounds) {
  chart.failOn = "sample value";
  chart.failAt = 3;
  append({21.0, 22.0, 33.0, 44.0, M, M, M, M});
  EXPECT_EQ(chart.calls.back(), "reset");
  EXPECT_EQ(std::count(chart.calls.begin(), chart.calls.end(), "end"), 0);
  EXPECT_EQ(logic.rangeHigh(2), 40);  // moved before its value failed
  EXPECT_GT(logic.rangeLow(3), logic.rangeHigh(3));
  EXPECT_EQ(chart.depth, 0);
  EXPECT_TRUE(messages.shown.empty());

  append({21.0, 22.0, 33.0, 44.0, M, M, M, M});
  EXPECT_EQ(chart.calls.back(), "end");
  EXPECT_EQ(chart.samples[1][3], 44.0);
}

TEST_F(StripChartLogicTest, RebuildAndSpanErrorsAreReportedOnceAndEndTheBatch) {
  chart.failOn = "legend";
  chart.failAt = 1;
  logic.UpdateChart(kAllChannels);
  EXPECT_EQ(chart.calls.back(), "reset");
  chart.failOn = "time axis";
  logic.ApplyChartSpan();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "legend failed");
  EXPECT_EQ(messages.shown[0].caption, "Оновлення графiка");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);

  chart.failOn.clear();
  settings.set(&AppSettings::XAxisHour, std::uint8_t{1});
  settings.set(&AppSettings::XAxisMin, std::uint8_t{30});
  settings.set(&AppSettings::XAxisSec, std::uint8_t{36});
  chart.mode = 4;
  logic.ApplyChartSpan();
  EXPECT_EQ(chart.mode, 0);
  EXPECT_EQ(chart.axisStart, 0.0);
  EXPECT_DOUBLE_EQ(chart.axisSpan, (36.0 / 3600 + 30.0 / 60 + 1) / 24);
}

// The poll cycle's readings reach the chart: a failed first half leaves gaps in
// channels 1..5 while 6..8 keep their last values.
class ChartPollCycleTest : public test::PollCycleFixture {
 protected:
  ChartPollCycleTest() { poll.attachChart(logic); }
  std::uint32_t now = 0;
  RecordingStripChart strip;
  StripChartLogic logic{strip, items, settings, messages, [this] { return now; }};
};

TEST_F(ChartPollCycleTest, AFailedFirstHalfLeavesChannelsOneToFiveWithoutAValue) {
  items.limitsReloadDue = false;
  start();
  okUntil(PollState::CurrentValuesLow);
  ASSERT_EQ(ok(), PollState::CurrentValuesHigh);
  okUntil(PollState::CurrentValuesLow);
  now += 1000;
  fail();
  ASSERT_EQ(strip.samples.size(), 2u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(strip.samples[0][i], 23.1) << i;
    EXPECT_EQ(strip.samples[1][i].has_value(), i >= 5) << i;
  }
}

}  // namespace
}  // namespace km8
