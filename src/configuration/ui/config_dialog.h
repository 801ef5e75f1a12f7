// The configuration dialog on screen (template 132), with the serial device chooser that
// maps a COM port to a device where the ports are device paths, and the view the
// configuration command runs.
#pragma once

#include <QDialog>
#include <string>

#include "configuration/config_dialog_model.h"
#include "configuration/serial_devices.h"
#include "res/message_box.h"
#include "res/ui/dialog_builder.h"

class QComboBox;
class QLineEdit;
class QTableView;

namespace km8 {

// Lists the serial devices present and lets the user pick one.
class SerialDeviceChooser : public QDialog {
  Q_OBJECT

 public:
  // `current` is selected when it is listed.
  SerialDeviceChooser(const QString& portName, const std::vector<SerialDevice>& devices,
                      const std::string& current, QWidget* parent = nullptr);

  const BuiltDialog& controls() const { return ui_; }
  QTableView* list() const;
  // The path of the selected device; empty when none is.
  std::string selectedPath() const;

 private:
  BuiltDialog ui_;
};

class ConfigDialog : public QDialog {
  Q_OBJECT

 public:
  struct Options {
    bool devicePaths = false;  // COM ports stand for device paths: show and choose them
    SerialDeviceScan scan;     // where the chooser looks
  };

  ConfigDialog(const ConfigDialogValues& values, MessageBoxHost& messages, Options options,
               QWidget* parent = nullptr);

  const BuiltDialog& controls() const { return ui_; }
  // The confirmed values once accepted.
  const ConfigDialogValues& values() const { return values_; }

  // OK: takes the controls' values in the dialog's order, or prompts for the first bad
  // field and keeps the dialog open with that field focused.
  void accept() override;
  // The device button: a device chosen for the selected port replaces its mapping.
  void chooseDevice();

 private:
  QComboBox* combo(int id) const;
  QLineEdit* edit(int id) const;
  void showValues();
  QString portText(int index) const;
  void refreshPortList();

  BuiltDialog ui_;
  ConfigDialogValues values_;
  MessageBoxHost& messages_;
  Options options_;
};

// The command's view: a new ConfigDialog for each showing, modal over `parent`.
class QtConfigDialogView final : public ConfigDialogView {
 public:
  QtConfigDialogView(MessageBoxHost& messages, ConfigDialog::Options options, QWidget* parent)
      : messages_(messages), options_(std::move(options)), parent_(parent) {}

  bool runModal(ConfigDialogValues& values) override;

 private:
  MessageBoxHost& messages_;
  ConfigDialog::Options options_;
  QWidget* parent_;
};

}  // namespace km8
