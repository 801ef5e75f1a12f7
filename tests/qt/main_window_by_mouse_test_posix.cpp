// Every control of the main window clicked as a user clicks it, with the whole station
// against the simulator: on an X display the clicks go through the X server, so a widget
// that takes another's clicks there (a native frame above the radio buttons) fails here.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include "app/ui/station_features.h"
#include "archives/ui/archives_dialog.h"
#include "configuration/ui/config_dialog.h"
#include "controls/ui/strip_chart_widget.h"
#include "qt/station_sim_fixture.h"
#include "qt/user_input.h"
#include "setpoints/ui/setpoint_editor.h"
#include "setpoints/ui/setpoint_report_feature.h"

namespace km8 {
namespace {

// Alarm-high limit of channel index c in the instrument, in tenths: one a limits read of
// that channel alone brings to the chart.
int alarmHighTenths(int c) { return 900 + 10 * c; }

TEST(MainWindowByMouse, RadioButtonsCommandButtonsAndTheChartsMenuAnswerClicks) {
  test::StationSim station;
  ASSERT_TRUE(station.saveSettings(AppSettings{}));
  ASSERT_TRUE(station.start());
  station.simulator().withInstrument([](sim::Instrument& instrument) {
    sim::SetpointImage block = instrument.block();
    for (int c = 0; c < 8; ++c) {
      sim::ChannelSettings ch = block.channel(c);
      ch.alarmHigh = static_cast<std::int16_t>(alarmHighTenths(c));
      block.setChannel(c, ch);
    }
    instrument.setBlock(block);
  });
  MainWindow& window = station.window();
  window.show();
  ASSERT_TRUE(test::runEventsUntil([&] { return window.showsLiveValues(); }, 20000));
  const ChartLook& look = window.chart()->look();
  const auto radio = [&](int id) { return window.controls().control(id); };
  const auto graphChannel = [&] { return station.app->settings().get(&AppSettings::GraphChannel); };

  // All channels, then each channel from 1 to 8: selected, saved, its limits read.
  test::userClick(*radio(1124));
  EXPECT_EQ(window.chartChannelGroup()->checkedId(), 8);
  EXPECT_TRUE(look.legendVisible);
  for (int c = 0; c < 8; ++c) {
    SCOPED_TRACE(testing::Message() << "radio button of channel " << c + 1);
    test::userClick(*radio(1033 + c));
    EXPECT_EQ(window.chartChannelGroup()->checkedId(), c);
    EXPECT_EQ(graphChannel(), c);
    EXPECT_EQ(look.currentChannel, c);
    EXPECT_TRUE(test::runEventsUntil(
        [&] { return look.channels[c].alarm[0].value == alarmHighTenths(c) / 10.0; }, 10000));
  }

  // "Перегляд уставок" shows the report of the block it reads.
  SetpointReportWindow* report = StationFeatures::of(window).setpointReport().window();
  test::userClick(*window.controls().control(1053));
  EXPECT_TRUE(test::runEventsUntil(
      [&] { return report->isVisible() && !report->textEdit()->toPlainText().isEmpty(); }, 20000));
  QTest::keyClick(report, Qt::Key_Escape);

  // "Архіви" and "Конфігурація" open their dialogs; cancelled, they change nothing.
  int dialogs = 0;
  test::whenModal<ArchivesDialog>([&](ArchivesDialog& d) { ++dialogs, d.reject(); });
  test::userClick(*window.controls().control(1041));
  test::whenModal<ConfigDialog>([&](ConfigDialog& d) { ++dialogs, d.reject(); });
  test::userClick(*window.controls().control(1042));
  EXPECT_EQ(dialogs, 2);

  // "Змiнити уставки" reads the block behind the progress window, then opens the editor.
  bool editorOpened = false;
  test::whenModal<SetpointEditor>([&](SetpointEditor& d) { editorOpened = true, d.reject(); });
  test::userClick(*window.controls().control(1101));
  EXPECT_TRUE(test::runEventsUntil([&] { return editorOpened; }, 20000));

  // A right click on the chart opens its menu of four commands.
  QStringList commands;
  test::whenModal<QMenu>([&](QMenu& menu) {
    for (const QAction* a : menu.actions()) {
      if (!a->isSeparator()) commands << a->text();
    }
    menu.close();
  });
  test::userClick(*window.chart(), Qt::RightButton, QPoint(150, 100));
  EXPECT_EQ(commands.size(), 4) << commands.join(", ").toStdString();

  EXPECT_TRUE(station.messages.shown.empty());
  EXPECT_TRUE(station.quit());
  AppSettings saved;
  ASSERT_TRUE(station.loadSaved(saved));
  EXPECT_EQ(saved.GraphChannel, 7);
}

}  // namespace
}  // namespace km8
