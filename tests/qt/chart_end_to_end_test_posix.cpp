// The strip chart of the whole station against the simulator on a pseudo-terminal: live
// traces, then one channel chosen with a real click and its limits read and drawn.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QTest>
#include <cmath>

#include "controls/ui/strip_chart_widget.h"
#include "qt/station_sim_fixture.h"
#include "qt/user_input.h"

namespace km8 {
namespace {

TEST(ChartEndToEnd, TracesOfAllChannelsThenChannelThreeWithTheLimitsItRead) {
  test::StationSim station;
  ASSERT_TRUE(station.saveSettings(AppSettings{}));
  ASSERT_TRUE(station.start());
  ASSERT_NE(station.instrument, nullptr);
  StationApp& app = *station.app;
  // Limits of channel 3 that only a read of its record can bring: PID law, so the
  // setpoint line alone among the regulation lines.
  station.simulator().withInstrument([](sim::Instrument& instrument) {
    sim::SetpointImage block = instrument.block();
    sim::ChannelSettings ch = block.channel(2);
    ch.setpoint = 555;
    ch.alarmHigh = 777;
    ch.alarmLow = 111;
    ch.controlLaw = 3;
    block.setChannel(2, ch);
    instrument.setBlock(block);
  });

  MainWindow& window = station.window();
  window.show();
  const StripChartWidget& chart = *window.chart();
  const auto allEightTraced = [&] {
    const SampleRing& s = chart.samples();
    if (s.size() < 3) return false;
    for (int c = 0; c < 8; ++c) {
      if (std::isnan(s.value(c, s.endSeq() - 1))) return false;
    }
    return true;
  };
  ASSERT_TRUE(QTest::qWaitFor(allEightTraced, 20000));
  EXPECT_TRUE(chart.look().legendVisible);

  // A user's click on the radio button next to channel 3, through the window.
  test::userClick(*window.controls().control(1035));
  EXPECT_EQ(window.chartChannelGroup()->checkedId(), 2);
  EXPECT_EQ(app.settings().get(&AppSettings::GraphChannel), 2);

  const ChartChannel& three = chart.look().channels[2];
  // At once with the limits known so far, then with those it read.
  EXPECT_TRUE(three.visible);
  ASSERT_TRUE(QTest::qWaitFor([&] { return three.alarm[0].value == 77.7; }, 20000));
  EXPECT_TRUE(three.alarm[0].shown);
  EXPECT_DOUBLE_EQ(three.alarm[1].value, 11.1);
  EXPECT_TRUE(three.regulation[0].shown);
  EXPECT_DOUBLE_EQ(three.regulation[0].value, 55.5);
  EXPECT_FALSE(three.regulation[1].shown);
  EXPECT_EQ(chart.look().currentChannel, 2);
  EXPECT_FALSE(chart.look().channels[0].visible);
  EXPECT_GE(chart.look().valueMax, 80.0);
  EXPECT_TRUE(station.messages.shown.empty());

  window.done(0);
  EXPECT_TRUE(app.shutdown());
}

}  // namespace
}  // namespace km8
