// The station's start-up and end in the face of the system: settings that cannot be
// read, and the signals of a logout, a service stop or Ctrl-C.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/ui/in_process_simulator.h"
#include "app/ui/station_app.h"
#include "config/settings.h"
#include "config/settings_store_posix.h"
#include "monitor/ui/main_window.h"
#include "qt/station_sim_fixture.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct SimulatedStation {
  explicit SimulatedStation(const std::string& settingsPath) {
    StationApp::Setup setup;
    setup.options.simulate = true;
    setup.options.settingsPath = settingsPath;
    setup.store = std::make_unique<FileSettingsStore>(settingsPath);
    setup.messages = &messages;
    setup.startSimulator = [this](std::uint8_t address, std::uint32_t baud, std::string& error) {
      auto started = InProcessSimulator::start(address, baud, error);
      devicePath = started ? started->devicePath() : "";
      return std::unique_ptr<SimulatedInstrument>(std::move(started));
    };
    app = std::make_unique<StationApp>(std::move(setup));
  }

  test::ScriptedMessageHost messages;
  std::string devicePath;
  std::unique_ptr<StationApp> app;
};

TEST(StationReliability, SettingsThatCannotBeReadAreReportedBeforeTheWindowAndNeverReplaced) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("km8.conf").toStdString();
  ASSERT_TRUE(std::filesystem::create_directory(path));  // unreadable as a file, even to root

  SimulatedStation station(path);
  bool windowDuringNotice = true;
  station.messages.whileShown = [&](const Message&) {
    if (station.messages.shown.size() == 1)
      windowDuringNotice = station.app->mainWindow() != nullptr;
  };
  ASSERT_TRUE(station.app->start());
  ASSERT_EQ(station.messages.shown.size(), 1u);
  const Message& notice = station.messages.shown[0];
  EXPECT_EQ(notice.caption, "KM410-8");
  EXPECT_NE(notice.text.find(path + ": not a regular file"), std::string::npos) << notice.text;
  EXPECT_FALSE(windowDuringNotice);

  // The confirmed exit saves, and that must fail rather than replace what is there.
  MainWindow& window = *station.app->mainWindow();
  window.show();
  station.messages.answers = {MessageResult::Ok};
  window.close();
  ASSERT_EQ(station.messages.shown.size(), 3u);  // the notice, the exit question, the failure
  EXPECT_EQ(station.messages.shown[2].text, kSaveFailedText);
  EXPECT_TRUE(station.app->shutdown());
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(StationReliability, ASignalDuringTheStartUpNoticeEndsTheStartWithExitCodeZero) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("km8.conf").toStdString();
  ASSERT_TRUE(std::filesystem::create_directory(path));
  SimulatedStation station(path);
  station.messages.whileShown = [](const Message&) {
    // The box's own loop would see the signal: a logout while the notice is up.
    ::raise(SIGTERM);
    QEventLoop().processEvents(QEventLoop::AllEvents, 1000);
  };
  EXPECT_FALSE(station.app->start());
  EXPECT_EQ(station.app->exitCode(), 0);
  EXPECT_EQ(station.app->mainWindow(), nullptr);
  EXPECT_EQ(station.messages.shown.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(StationReliability, TermIntAndHupEndTheStationInOrderWithoutSaving) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    QTemporaryDir dir;
    const std::string path = dir.filePath("km8.conf").toStdString();
    {
      AppSettings s;
      s.DeviceID = 3;
      FileSettingsStore store(path);
      test::ScriptedMessageHost quiet;
      ASSERT_NE(SaveSettings(s, store, quiet), 0);
    }
    const std::string before = readFile(path);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const auto inode = st.st_ino;

    SimulatedStation station(path);
    ASSERT_TRUE(station.app->start());
    MainWindow& window = *station.app->mainWindow();
    window.show();
    ASSERT_TRUE(test::runEventsUntil([&] { return window.showsLiveValues(); }, 20000));

    ASSERT_EQ(::raise(signal), 0);
    ASSERT_TRUE(test::runEventsUntil([&] { return !window.isVisible(); }, 5000));
    EXPECT_TRUE(station.messages.shown.empty()) << "no exit question";

    // The port is released: no descriptor of this process refers to its device.
    const auto device = std::filesystem::canonical(station.devicePath);
    EXPECT_TRUE(station.app->shutdown());
    EXPECT_EQ(station.app->exitCode(), 0);
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      EXPECT_NE(std::filesystem::read_symlink(fd.path(), ec), device) << fd.path();
    }
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, inode) << "the settings file was not replaced";
    EXPECT_EQ(readFile(path), before);
  }
}

}  // namespace
}  // namespace km8
