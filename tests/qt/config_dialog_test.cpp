// The configuration dialog offscreen: template 132 control by control, and the prompt for
// a bad field.
#include "configuration/ui/config_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "qt/widget_text.h"
#include "res/config_dialog_template.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using test::textOf;

QStringList itemsOf(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

void click(const BuiltDialog& ui, int id) { ui.controlAs<QPushButton>(id)->click(); }
void type(const BuiltDialog& ui, int id, const char* text) {
  ui.controlAs<QLineEdit>(id)->setText(QString::fromUtf8(text));
}

TEST(ConfigDialogView, EveryControlOfTemplate132WithItsTextPlaceAndList) {
  struct Expected {
    int id;
    const char* text;
    QRect dialogUnits;
  };
  // clang-format off
  const Expected expected[] = {
      {kStaticId, "", {6, 2, 212, 70}},
      {kStaticId, "Часова вiсь:", {12, 14, 44, 8}},
      {1045, "0", {62, 11, 18, 12}},
      {kStaticId, "годин", {83, 14, 20, 8}},
      {1046, "5", {111, 11, 18, 12}},
      {kStaticId, "хвилин", {133, 14, 24, 8}},
      {1047, "0", {165, 11, 18, 12}},
      {kStaticId, "секунд", {187, 14, 24, 8}},
      {kStaticId, "Прилад №", {79, 31, 36, 8}},
      {1044, "1", {118, 28, 21, 12}},
      {1116, "Вiдображати на графiку границi регулювання", {27, 44, 169, 10}},
      {1117, "Вiдображати на графiку границi сигналiзацiї", {27, 57, 169, 10}},
      {kStaticId, "COM порт", {6, 75, 212, 49}},
      {kStaticId, "Порт:", {31, 88, 20, 8}},
      {1048, "", {54, 86, 43, 93}},
      {kStaticId, "Кiлькiсть таймаутiв:", {130, 84, 36, 16}},
      {1051, "1", {168, 86, 43, 12}},
      {kStaticId, "Швидкiсть:", {13, 107, 38, 8}},
      {1050, "", {54, 104, 43, 83}},
      {kStaticId, "Затримка мiж запитами, мс:", {116, 102, 50, 18}},
      {1052, "60000", {168, 104, 43, 12}},
      {1, "OK", {52, 133, 50, 14}},
      {2, "Cancel", {120, 133, 50, 14}},
  };
  // clang-format on
  AppSettings s;
  s.Timeouts = 0;
  s.PollDelay = 65535;
  s.SerialSetup.BaudRate = 1000;
  s.SerialSetup.PortIndex = 12;
  s.DisplayRegLines = 0;
  test::ScriptedMessageHost messages;
  ConfigDialog dialog(PrepareConfigDialog(s), messages, {});
  const BuiltDialog& ui = dialog.controls();
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Конфігурація"));
  EXPECT_EQ(dialog.size(), QSize(ui.units.toPixelsX(223), ui.units.toPixelsY(154)));
  ASSERT_EQ(ui.controls.size(), std::size(expected));  // no device button on Windows' terms
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const Expected& e = expected[i];
    QWidget* w = ui.controls[i];
    EXPECT_EQ(w->property(kControlIdProperty).toInt(), e.id) << i;
    EXPECT_EQ(textOf(w), QString::fromUtf8(e.text)) << i;
    const QRect px = ui.units.toPixels(e.dialogUnits.x(), e.dialogUnits.y(), e.dialogUnits.width(),
                                       e.dialogUnits.height());
    if (qobject_cast<QComboBox*>(w)) {  // closed, a list is one line high
      EXPECT_EQ(w->geometry().topLeft(), px.topLeft()) << i;
      EXPECT_EQ(w->width(), px.width()) << i;
      EXPECT_LT(w->height(), px.height()) << i;
    } else {
      EXPECT_EQ(w->geometry(), px) << i;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {  // digits only
      QString typed = QStringLiteral("1a");
      int at = 0;
      EXPECT_EQ(edit->validator()->validate(typed, at), QValidator::Invalid) << i;
    }
  }
  EXPECT_TRUE(ui.controlAs<QPushButton>(1)->isDefault());
  EXPECT_TRUE(ui.controlAs<QCheckBox>(1117)->isChecked());
  EXPECT_FALSE(ui.controlAs<QCheckBox>(1116)->isChecked());

  auto* ports = ui.controlAs<QComboBox>(1048);
  auto* rates = ui.controlAs<QComboBox>(1050);
  EXPECT_EQ(itemsOf(ports),
            QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"}));
  EXPECT_EQ(itemsOf(rates),
            QStringList({"110", "150", "300", "600", "1200", "2400", "4800", "9600", "14400",
                         "19200", "28800", "38400", "56000", "57600", "115200", "128000"}));
  EXPECT_EQ(ports->currentText(), "COM2");
  EXPECT_EQ(rates->currentText(), "9600");
}

TEST(ConfigDialogView, ABadFieldIsNamedWithItsBoundsAndKeepsTheDialogOpenOnIt) {
  test::ScriptedMessageHost messages;
  ConfigDialog dialog(PrepareConfigDialog(AppSettings{}), messages, {});
  const BuiltDialog& ui = dialog.controls();
  dialog.show();
  type(ui, 1045, "200");
  type(ui, 1046, "60");
  click(ui, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Введіть ціле число від 0 до 59.");
  EXPECT_EQ(dialog.focusWidget(), ui.control(1046));
  EXPECT_TRUE(dialog.isVisible());

  type(ui, 1046, "59");
  ui.controlAs<QComboBox>(1050)->setCurrentIndex(14);
  ui.controlAs<QCheckBox>(1117)->setChecked(false);
  click(ui, 1);
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.values().hours, 200);
  EXPECT_EQ(dialog.values().minutes, 59);
  EXPECT_EQ(dialog.values().baudIndex, 14);
  EXPECT_FALSE(dialog.values().alarmLimits);
}

}  // namespace
}  // namespace km8
