// The station end to end through "Конфігурація": an instrument at another rate stays
// silent until the user picks its rate, then the port reopens and values show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/ui/in_process_simulator.h"
#include "app/ui/station_app.h"
#include "config/settings.h"
#include "config/settings_store_posix.h"
#include "config/ui/config_dialog.h"
#include "monitor/ui/main_window.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

bool runUntil(const std::function<bool()>& done, int timeoutMs) {
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer clock;
  clock.start();
  bool result = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    result = done();
    if (result || clock.elapsed() > timeoutMs) loop.quit();
  });
  poll.start(20);
  loop.exec();
  return result;
}

TEST(StationReconfigure, ChoosingTheInstrumentsRateReconnectsAndValuesShowAgain) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("km8.conf").toStdString();
  {
    AppSettings s;  // COM2 at 19200, instrument 1
    FileSettingsStore store(path);
    test::ScriptedMessageHost quiet;
    ASSERT_NE(SaveSettings(s, store, quiet), 0);
  }

  InProcessSimulator* simulator = nullptr;
  test::ScriptedMessageHost messages;
  StationApp::Setup setup;
  setup.options.simulate = true;
  setup.store = std::make_unique<FileSettingsStore>(path);
  setup.messages = &messages;
  // The instrument runs at 9600 whatever the station is set to, and hears nothing sent
  // at another rate.
  setup.startSimulator = [&](std::uint8_t address, std::uint32_t, std::string& error) {
    sim::SimConfig config;
    config.instrument.block.setInstrumentNumber(address);
    config.instrument.block.setBaudIndex(static_cast<std::uint8_t>(sim::baudIndexOfRate(9600)));
    config.deafToOtherRates = true;
    auto started = std::make_unique<InProcessSimulator>(config);
    if (!started->simulator().startOnNewPty(&error)) return std::unique_ptr<SimulatedInstrument>();
    simulator = started.get();
    return std::unique_ptr<SimulatedInstrument>(std::move(started));
  };
  StationApp app(std::move(setup));
  ASSERT_TRUE(app.start());
  ASSERT_NE(simulator, nullptr);
  MainWindow& window = *app.mainWindow();
  window.show();

  // A few failed cycles at 19200: nothing answers, nothing shows, nobody is prompted.
  EXPECT_FALSE(runUntil([&] { return window.showsLiveValues(); }, 2500));
  EXPECT_EQ(simulator->simulator().status().repliesSent, 0u);

  bool confirmed = false;
  auto* waiter = new QTimer(&window);
  QObject::connect(waiter, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    waiter->stop();
    auto* rates = dialog->controls().controlAs<QComboBox>(1050);
    EXPECT_EQ(rates->currentText(), "19200");
    rates->setCurrentIndex(rates->findText("9600"));
    dialog->controls().controlAs<QPushButton>(1)->click();
    confirmed = true;
  });
  waiter->start(10);
  window.controls().controlAs<QPushButton>(1042)->click();
  ASSERT_TRUE(confirmed);

  // Saved at once, before any exit.
  AppSettings saved;
  FileSettingsStore store(path);
  ASSERT_NE(LoadSettings(saved, store), 0);
  EXPECT_EQ(saved.SerialSetup.BaudRate, 9600u);
  EXPECT_EQ(app.settings().get(&AppSettings::SerialSetup).BaudRate, 9600u);

  ASSERT_TRUE(runUntil([&] { return window.showsLiveValues(); }, 20000));
  EXPECT_GT(simulator->simulator().status().repliesSent, 0u);
  EXPECT_TRUE(messages.shown.empty());

  messages.answers = {MessageResult::Ok};
  window.close();
  EXPECT_TRUE(app.shutdown());
}

}  // namespace
}  // namespace km8
