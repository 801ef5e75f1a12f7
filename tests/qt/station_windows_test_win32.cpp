// What only the Windows station does, under wine against the simulator that
// scripts/windows-tests.sh serves on a COM port: its settings in the registry through the
// configuration dialog and the exit path, and the shell's "open" verb for the exported
// file. (The console's Ctrl-C is sent to the real km8-station.exe by that script.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/ui/station_app.h"
#include "archives/ui/desktop_document_opener.h"
#include "config/settings.h"
#include "config/settings_store_win32.h"
#include "configuration/ui/config_dialog.h"
#include "monitor/ui/main_window.h"
#include "qt/run_events.h"
#include "support/scripted_message_host.h"
#include "win32/served_ports.h"

namespace km8 {
namespace {

// Beside the station's own key, so that a test run never touches real settings.
constexpr char kTestKey[] = "Software\\Kalvetra\\KM410Dlg-station-test";

void deleteTestKeys() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey);
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The station as km8-station.exe starts it, its settings under the test key, talking to
// the simulator's COM port.
class WindowsStation : public ::testing::Test {
 protected:
  void SetUp() override {
    KM8_REQUIRE_SERVED_PORTS(ports);
    deleteTestKeys();
    AppSettings initial;
    initial.SerialSetup.PortIndex = test::portIndexOf(ports->simulator);
    RegistrySettingsStore store(kTestKey);
    test::ScriptedMessageHost quiet;
    ASSERT_NE(SaveSettings(initial, store, quiet), 0);

    StationApp::Setup setup;
    setup.store = std::make_unique<RegistrySettingsStore>(kTestKey);
    setup.messages = &messages;
    app = std::make_unique<StationApp>(std::move(setup));
    ASSERT_TRUE(app->start());
    window().show();
    ASSERT_TRUE(test::runEventsUntil([&] { return window().showsLiveValues(); }, 20000))
        << "no live values from " << ports->simulator;
  }
  void TearDown() override {
    if (app && app->mainWindow() != nullptr) {
      messages.answers = {MessageResult::Ok};
      window().close();
      EXPECT_TRUE(app->shutdown());
    }
    app.reset();
    deleteTestKeys();
  }

  MainWindow& window() { return *app->mainWindow(); }
  AppSettings saved() const {
    AppSettings s;
    RegistrySettingsStore store(kTestKey);
    EXPECT_NE(LoadSettings(s, store), 0);
    return s;
  }

  std::optional<test::ServedPorts> ports;
  test::ScriptedMessageHost messages;
  std::unique_ptr<StationApp> app;
};

TEST_F(WindowsStation, TheConfigurationDialogAndTheExitWriteTheRegistry) {
  bool confirmed = false;
  test::whenModal<ConfigDialog>([&](ConfigDialog& dialog) {
    const BuiltDialog& ui = dialog.controls();
    ui.controlAs<QLineEdit>(1046)->setText("7");   // minutes of the chart
    ui.controlAs<QLineEdit>(1051)->setText("2");   // time-outs
    ui.controlAs<QLineEdit>(1052)->setText("40");  // pause, ms
    ui.controlAs<QCheckBox>(1116)->setChecked(false);
    ui.controlAs<QPushButton>(1)->click();
    confirmed = true;
  });
  window().controls().controlAs<QPushButton>(1042)->click();
  ASSERT_TRUE(confirmed);

  AppSettings s = saved();  // at once, before any exit
  EXPECT_EQ(s.XAxisMin, 7);
  EXPECT_EQ(s.Timeouts, 2);
  EXPECT_EQ(s.PollDelay, 40);
  EXPECT_EQ(s.DisplayRegLines, 0u);
  EXPECT_EQ(s.GraphChannel, 8);
  EXPECT_TRUE(test::runEventsUntil([&] { return window().showsLiveValues(); }, 20000));

  // The channel chosen on the main window is kept by the confirmed exit.
  window().controls().controlAs<QRadioButton>(1035)->click();
  messages.answers = {MessageResult::Ok};
  window().close();
  ASSERT_EQ(messages.shown.size(), 1u) << "the exit question only";
  ASSERT_TRUE(app->shutdown());
  app.reset();
  s = saved();
  EXPECT_EQ(s.GraphChannel, 2);
  EXPECT_EQ(s.XAxisMin, 7);
  EXPECT_EQ(s.SerialSetup.PortIndex, test::portIndexOf(ports->simulator));
}

// The shell's "open" verb with the program registered for the file's type: here a
// stand-in that copies the file it is given beside itself.
TEST(WindowsShellOpen, TheRegisteredProgramGetsTheExportedFileByItsFullName) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::filesystem::path folder =
      std::filesystem::path(dir.path().toStdWString()).make_preferred();
  const std::filesystem::path document = folder / L"Архів за грудень.km8test";
  const std::filesystem::path copy = folder / L"opened.txt";
  std::ofstream(document, std::ios::binary) << "Прилад 1\r\n";

  // The user's classes, which Windows merges into HKEY_CLASSES_ROOT; wine reads the
  // machine's only, which its user may write.
  const std::wstring classes = L"Software\\Classes\\";
  const std::wstring command = L"cmd.exe /c copy /y \"%1\" \"" + copy.wstring() + L"\"";
  const auto setDefault = [](HKEY root, const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(root, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
  };
  int registered = 0;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    registered += setDefault(root, classes + L".km8test", L"km8test.document") &&
                  setDefault(root, classes + L"km8test.document\\shell\\open\\command", command);
  }
  ASSERT_GT(registered, 0);

  QWidget owner;
  DesktopDocumentOpener opener(&owner);
  const std::u8string name = document.u8string();
  opener.openDocument(std::string(name.begin(), name.end()));
  EXPECT_TRUE(test::runEventsUntil([&] { return std::filesystem::exists(copy); }, 20000));
  EXPECT_EQ(readFile(copy), "Прилад 1\r\n");

  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegDeleteTreeW(root, (classes + L".km8test").c_str());
    RegDeleteTreeW(root, (classes + L"km8test.document").c_str());
  }
}

}  // namespace
}  // namespace km8
