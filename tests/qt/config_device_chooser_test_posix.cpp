// The serial device chooser of the configuration dialog offscreen, on fake devices in a
// folder of the test: what it lists, and the chosen device down to the saved settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <functional>

#include "config/settings.h"
#include "configuration/ui/config_dialog.h"
#include "qt/run_events.h"
#include "res/config_dialog_template.h"
#include "support/fake_features.h"
#include "support/scripted_message_host.h"
#include "support/settings_fakes.h"

namespace km8 {
namespace {

using test::whenModal;

void click(const BuiltDialog& ui, int id) { ui.controlAs<QPushButton>(id)->click(); }

TEST(ConfigDialogView, TheChosenDeviceBecomesThePortsMappingAndIsSaved) {
  QTemporaryDir dir;
  const QString root = dir.path();
  QDir(root).mkpath("serial/by-id");
  for (const char* node : {"ttyUSB0", "ttyS0", "ttyS1"})
    QFile(root + "/" + node).open(QIODevice::WriteOnly);
  const QString adapter = root + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A5-if00-port0";
  ASSERT_TRUE(QFile::link(root + "/ttyUSB0", adapter));

  test::MemorySettingsStore store;
  SharedSettings settings;
  PortMap ports;
  test::ScriptedMessageHost messages;
  test::RecordingChart chart;
  int reconfigures = 0;
  ConfigDialog::Options options{
      true, {(root + "/serial/by-id").toStdString(), root.toStdString(), [&](const std::string& p) {
               return p != root.toStdString() + "/ttyS1";
             }}};
  QtConfigDialogView view(messages, options, nullptr);

  QStringList listed;
  QString hint;
  whenModal<ConfigDialog>([&](ConfigDialog& dialog) {
    const BuiltDialog& ui = dialog.controls();
    auto* portList = ui.controlAs<QComboBox>(1048);
    EXPECT_EQ(portList->itemText(0), "COM1 — /dev/ttyS0");
    portList->setCurrentIndex(2);
    whenModal<SerialDeviceChooser>([&](SerialDeviceChooser& chooser) {
      QTableView* list = chooser.list();
      const QAbstractItemModel* model = list->model();
      for (int i = 0; i < model->rowCount(); ++i) {
        listed << model->index(i, 0).data().toString() + " | " +
                      model->index(i, 1).data().toString();
      }
      hint = chooser.controls().controlAs<QLabel>(kDeviceHintId)->text();
      EXPECT_EQ(chooser.windowTitle(), "Пристрій порту COM3");
      list->setCurrentIndex(model->index(0, 0));
      chooser.controls().controlAs<QPushButton>(1)->click();
    });
    click(ui, kDeviceChooserButtonId);
    EXPECT_EQ(portList->currentText(), "COM3 — " + adapter);
    click(ui, 1);
  });
  ASSERT_TRUE(RunConfigurationCommand(
      view, {settings, store, messages, chart, [] { return 8; }, &ports, [&] { ++reconfigures; }}));

  EXPECT_EQ(listed, QStringList({adapter + " | FTDI FT232R USB UART A5 (" + root + "/ttyUSB0)",
                                 root + "/ttyUSB0 | ", root + "/ttyS0 | ",
                                 root + "/ttyS1 | немає доступу"}));
  EXPECT_EQ(hint.toStdString(), kDialoutHint);
  EXPECT_EQ(ports.devicePath(2), adapter.toStdString());
  EXPECT_EQ(reconfigures, 1);
  AppSettings saved;
  ASSERT_NE(LoadSettings(saved, store), 0);
  EXPECT_EQ(saved.SerialSetup.PortIndex, 2);
  EXPECT_EQ(saved.PortPaths[2], adapter.toStdString());
  EXPECT_EQ(saved.PortPaths[1], "/dev/ttyS1");
}

}  // namespace
}  // namespace km8
