// The station end to end through "Конфігурація": an instrument at another rate stays
// silent until the user picks its rate, then the port reopens and values show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

#include "configuration/ui/config_dialog.h"
#include "qt/station_sim_fixture.h"

namespace km8 {
namespace {

TEST(StationReconfigure, ChoosingTheInstrumentsRateReconnectsAndValuesShowAgain) {
  test::StationSim station;
  ASSERT_TRUE(station.saveSettings(AppSettings{}));  // COM2 at 19200, instrument 1
  // The instrument runs at 9600 whatever the station is set to, and hears nothing sent
  // at another rate.
  ASSERT_TRUE(station.start([](std::uint8_t address, std::uint32_t, std::string& error) {
    sim::SimConfig config;
    config.instrument.block.setInstrumentNumber(address);
    config.instrument.block.setBaudIndex(static_cast<std::uint8_t>(sim::baudIndexOfRate(9600)));
    config.deafToOtherRates = true;
    auto started = std::make_unique<InProcessSimulator>(config);
    if (!started->simulator().startOnNewPty(&error)) started.reset();
    return started;
  }));
  ASSERT_NE(station.instrument, nullptr);
  StationApp& app = *station.app;
  MainWindow& window = station.window();
  window.show();

  // A few failed cycles at 19200: nothing answers, nothing shows, nobody is prompted.
  EXPECT_FALSE(test::runEventsUntil([&] { return window.showsLiveValues(); }, 2500));
  EXPECT_EQ(station.simulator().status().repliesSent, 0u);

  bool confirmed = false;
  test::whenModal<ConfigDialog>([&](ConfigDialog& dialog) {
    auto* rates = dialog.controls().controlAs<QComboBox>(1050);
    EXPECT_EQ(rates->currentText(), "19200");
    rates->setCurrentIndex(rates->findText("9600"));
    dialog.controls().controlAs<QPushButton>(1)->click();
    confirmed = true;
  });
  window.controls().controlAs<QPushButton>(1042)->click();
  ASSERT_TRUE(confirmed);

  // Saved at once, before any exit.
  AppSettings saved;
  ASSERT_TRUE(station.loadSaved(saved));
  EXPECT_EQ(saved.SerialSetup.BaudRate, 9600u);
  EXPECT_EQ(app.settings().get(&AppSettings::SerialSetup).BaudRate, 9600u);

  ASSERT_TRUE(test::runEventsUntil([&] { return window.showsLiveValues(); }, 20000));
  EXPECT_GT(station.simulator().status().repliesSent, 0u);
  EXPECT_TRUE(station.messages.shown.empty());

  EXPECT_TRUE(station.quit());
}

}  // namespace
}  // namespace km8
