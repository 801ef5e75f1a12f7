// The setpoint report end to end: the station with its real link worker reads the block
// from the simulator over a pseudo-terminal, and the report window shows the simulator's
// own setpoints.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "app/ui/station_features.h"
#include "qt/station_sim_fixture.h"
#include "setpoints/ui/setpoint_report_feature.h"

namespace km8 {
namespace {

// The instrument's own settings, changed from the factory ones where a byte-order or
// offset mistake would show.
sim::SetpointImage instrumentSettings(const sim::SetpointImage& factory) {
  sim::SetpointImage block = factory;
  block.setArchivePeriod(15);
  block.setEnabledChannels(0xEF);  // channel 5 off
  sim::ChannelSettings c3 = block.channel(2);
  c3.setpoint = 253;         // 25.3 °C: register 31 carries 253 in its high-order byte
  c3.integralTime = 0x0123;  // 29.1 minutes, split across two registers
  block.setChannel(2, c3);
  block.setOffsetTenths(1, -25);
  block.bytes()[0] = 0xA5;  // bytes the station does not interpret
  block.bytes()[149] = 0x5A;
  return block;
}

TEST(SetpointReportEndToEnd, TheReportShowsTheSimulatorsOwnSetpoints) {
  test::StationSim station;
  AppSettings s;
  s.DeviceID = 3;
  ASSERT_TRUE(station.saveSettings(s));
  ASSERT_TRUE(station.start());
  sim::Simulator& sim = station.simulator();
  const sim::SetpointImage block = sim.withInstrument([](sim::Instrument& i) {
    i.setBlock(instrumentSettings(i.block()));
    return i.block();
  });

  MainWindow& window = station.window();
  window.show();
  ASSERT_TRUE(test::runEventsUntil([&] { return window.showsLiveValues(); }, 20000));

  SetpointReportWindow* report = StationFeatures::of(window).setpointReport().window();
  ASSERT_NE(report, nullptr);
  EXPECT_FALSE(report->isVisible());
  QElapsedTimer clock;
  clock.start();
  window.controls().controlAs<QPushButton>(1053)->click();
  EXPECT_TRUE(report->isVisible());
  ASSERT_TRUE(
      test::runEventsUntil([&] { return !report->textEdit()->toPlainText().isEmpty(); }, 30000))
      << "caption: " << report->windowTitle().toStdString();
  std::printf("[ MEASURED ] report read in %lld ms\n", static_cast<long long>(clock.elapsed()));

  EXPECT_EQ(report->windowTitle(), QString::fromUtf8("Уставки приладу №3"));
  // Every byte arrived where the instrument keeps it.
  const SetpointBlock& copy = StationFeatures::of(window).setpointReport().report().reportCopy();
  EXPECT_TRUE(std::equal(copy.bytes().begin(), copy.bytes().end(), block.bytes().begin()));

  // What the instrument says, in the words of the report.
  const QString text = report->textEdit()->toPlainText();
  const QStringList lines = text.split('\n');
  ASSERT_EQ(lines.size(), 2 + 8 * 13 + 1) << text.toStdString();  // the last line ends too
  EXPECT_EQ(lines[0], QString::fromUtf8("Час архівування: 15 хв"));
  EXPECT_EQ(lines[1], QString::fromUtf8("Швидкiсть обмiну, бод: 19200"));
  for (int ch = 0; ch < 8; ++ch) {
    const sim::ChannelSettings c = block.channel(ch);
    const int at = 2 + 13 * ch;
    const QString heading = QString::fromUtf8("Канал №%1%2")
                                .arg(ch + 1)
                                .arg(ch == 4 ? QString::fromUtf8(" (виключений)") : QString());
    EXPECT_EQ(lines[at + 1], heading);
    EXPECT_EQ(lines[at + 2], QString::fromUtf8("Уставка температури регулювання: %1 °C")
                                 .arg(c.setpoint / 10.0, 0, 'f', 1));
    EXPECT_EQ(lines[at + 10],
              QString::fromUtf8("Стала інтегрування: %1 хв").arg(c.integralTime / 10.0, 0, 'f', 1));
    EXPECT_EQ(
        lines[at + 12],
        QString::fromUtf8("Змiщення датчика: %1 °C").arg(block.offsetTenths(ch) / 10.0, 0, 'f', 1));
  }
  EXPECT_TRUE(text.contains(QString::fromUtf8("Уставка температури регулювання: 25.3 °C")));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Стала інтегрування: 29.1 хв")));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Змiщення датчика: -2.5 °C")));
  EXPECT_TRUE(station.messages.shown.empty());

  // Enter does nothing; Esc hides the window and the next command shows it again.
  QTest::keyClick(report, Qt::Key_Return);
  EXPECT_TRUE(report->isVisible());
  QTest::keyClick(report, Qt::Key_Escape);
  EXPECT_FALSE(report->isVisible());
  EXPECT_FALSE(StationFeatures::of(window).setpointReport().report().reportWindowOpen());

  EXPECT_TRUE(station.quit());
}

}  // namespace
}  // namespace km8
