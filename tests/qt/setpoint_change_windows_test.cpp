#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "res/access_code_template.h"
#include "res/setpoint_editor_template.h"
#include "setpoints/ui/access_code_dialog.h"
#include "setpoints/ui/progress_window.h"
#include "setpoints/ui/setpoint_editor.h"
#include "support/scripted_message_host.h"

namespace km8 {
namespace {

using namespace editor_ids;

// A block as the instrument might hold it: every channel at 25.3 °C, heating, band 3.
SetpointBlock sampleBlock() {
  SetpointBlock block;
  block.setAttemptsLeft(5);
  block.setArchivePeriod(10);
  block.setInstrumentNumber(1);
  block.setBaudIndex(5);
  block.setEnabledChannels(0x81);
  for (int c = 0; c < kSetpointChannels; ++c) {
    ChannelSetpoints r;
    r.setpoint = 253;
    r.switchPoint = 223;
    r.alarmHigh = 600;
    r.alarmLow = -25;
    r.sensorType = 4;
    r.controlLaw = 0;
    r.pulsePeriod = 5;
    r.band = 3;
    r.derivativeTime = 10;
    r.integralTime = 50;
    r.maxPower = 100;
    block.setChannel(c, r);
  }
  return block;
}

class SetpointEditorTest : public ::testing::Test {
 protected:
  QLineEdit* edit(int id) { return editor.controls().controlAs<QLineEdit>(id); }
  QComboBox* list(int id) { return editor.controls().controlAs<QComboBox>(id); }
  void click(int id) { editor.controls().controlAs<QPushButton>(id)->click(); }
  void type(int id, const char* text) { edit(id)->setText(QString::fromUtf8(text)); }
  QString heading() { return editor.controls().controlAs<QGroupBox>(kChannelHeading)->title(); }

  SetpointBlock block = sampleBlock();
  test::ScriptedMessageHost messages;
  SetpointEditor editor{block, messages};
};

TEST_F(SetpointEditorTest, ShowsTheFirstChannelAndTheCommonFieldsInTheTemplatesControls) {
  EXPECT_EQ(editor.windowTitle(), QString::fromUtf8(SetpointEditorTemplate().caption));
  EXPECT_EQ(heading(), QString::fromUtf8("Канал № 1"));
  EXPECT_EQ(edit(kSetpoint)->text(), "25.3");
  EXPECT_EQ(edit(kAlarmLow)->text(), "-2.5");
  EXPECT_EQ(edit(kSensorOffset)->text(), "0");
  EXPECT_EQ(edit(kIntegralTime)->text(), "5");
  EXPECT_EQ(list(kSensorType)->currentText(), "Pt100");
  EXPECT_EQ(list(kControlLaw)->itemText(5), "ALLS");
  EXPECT_EQ(list(kBaudRate)->currentText(), "19200");
  EXPECT_FALSE(editor.controls().controlAs<QCheckBox>(1104)->isChecked());
  EXPECT_TRUE(editor.controls().controlAs<QCheckBox>(1111)->isChecked());  // channel 8
  EXPECT_EQ(editor.controls().control(1110), nullptr);
  EXPECT_TRUE(editor.controls().controlAs<QPushButton>(kOk)->isDefault());

  // Digits-only fields take digit keys alone; the temperature fields take signs and points.
  for (int id :
       {kPulsePeriod, kBand, kDerivativeTime, kMaxPower, kArchivePeriod, kInstrumentNumber}) {
    edit(id)->clear();
    QTest::keyClicks(edit(id), "1a-2.");
    EXPECT_EQ(edit(id)->text(), "12") << id;
  }
  edit(kSetpoint)->clear();
  QTest::keyClicks(edit(kSetpoint), "-2.5");
  EXPECT_EQ(edit(kSetpoint)->text(), "-2.5");
}

TEST_F(SetpointEditorTest, ARefusedFieldGetsItsPromptAndTheFocusAndNothingIsStored) {
  const SetpointBlock before = block;
  const struct {
    int id;
    const char* text;
    const char* prompt;
  } cases[] = {
      {kSetpoint, "30001", "Введіть число від -300 до 30000."},
      {kSetpoint, "3300", "Введіть число від -300 до 3276.7."},  // beyond the field
      {kAlarmHigh, "-300.1", "Введіть число від -300 до 30000."},
      {kAlarmLow, "abc", "Введіть число."},
      {kIntegralTime, "0", "Введіть число від 0.1 до 99.9."},
      {kBand, "0", "Введіть ціле число від 1 до 255."},
      {kMaxPower, "101", "Введіть ціле число від 0 до 100."},
      {kInstrumentNumber, "256", "Введіть ціле число від 0 до 255."},
      {kSensorOffset, "-25.6", "Введіть число від -25.5 до 25.5."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const QString kept = edit(c.id)->text();
    type(c.id, c.text);
    messages.shown.clear();
    click(kNextChannel);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, c.prompt);
    EXPECT_EQ(editor.focusWidget(), edit(c.id));
    EXPECT_EQ(editor.channel(), 0);
    EXPECT_EQ(block, before);
    type(c.id, kept.toUtf8().constData());
  }

  // The first failure in the dialog's order is the one reported: the instrument number
  // comes before the setpoint.
  type(kSetpoint, "x");
  type(kInstrumentNumber, "");
  messages.shown.clear();
  click(kOk);
  EXPECT_EQ(editor.focusWidget(), edit(kInstrumentNumber));
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(editor.result(), QDialog::Rejected);  // still open
}

TEST_F(SetpointEditorTest, StoresTenthsTruncatedAndShowsThemBack) {
  type(kIntegralTime, "0.1");
  type(kSensorOffset, "-0.7");
  type(kSetpoint, "25.37");
  click(kNextChannel);
  ASSERT_TRUE(messages.shown.empty());
  EXPECT_EQ(block.channel(0).integralTime, 1);
  EXPECT_EQ(block.offsetMagnitude(0), 7);
  EXPECT_EQ(block.offsetSignMask() & 1, 1);
  EXPECT_EQ(block.channel(0).setpoint, 253);

  click(kPreviousChannel);
  EXPECT_EQ(heading(), QString::fromUtf8("Канал № 1"));
  EXPECT_EQ(edit(kSensorOffset)->text(), "-0.7");
  EXPECT_EQ(edit(kIntegralTime)->text(), "0.1");
}

TEST_F(SetpointEditorTest, NextEightTimesVisitsEveryChannelOnceAndWraps) {
  QStringList headings;
  for (int i = 0; i < 8; ++i) {
    type(kSetpoint, std::to_string(10 * (i + 1)).c_str());
    click(kNextChannel);
    headings << heading();
  }
  EXPECT_EQ(headings.join(','), QString::fromUtf8("Канал № 2,Канал № 3,Канал № 4,Канал № 5,"
                                                  "Канал № 6,Канал № 7,Канал № 8,Канал № 1"));
  for (int c = 0; c < 8; ++c) EXPECT_EQ(block.channel(c).setpoint, 100 * (c + 1)) << c;
  click(kPreviousChannel);
  EXPECT_EQ(heading(), QString::fromUtf8("Канал № 8"));
  EXPECT_EQ(edit(kSetpoint)->text(), "80");
}

TEST_F(SetpointEditorTest, OkStoresTheChannelWithItsSwitchPointAndTheCommonFields) {
  list(kControlLaw)->setCurrentIndex(1);  // two-position cooling
  type(kArchivePeriod, "30");
  type(kInstrumentNumber, "7");
  list(kBaudRate)->setCurrentIndex(3);
  editor.controls().controlAs<QCheckBox>(1104)->setChecked(true);
  click(kOk);
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  EXPECT_EQ(block.channel(0).controlLaw, 1);
  EXPECT_EQ(block.channel(0).switchPoint, 253 + 30);  // was 253 - 30
  EXPECT_EQ(block.archivePeriod(), 30);
  EXPECT_EQ(block.instrumentNumber(), 7);
  EXPECT_EQ(block.baudIndex(), 3);
  EXPECT_EQ(block.enabledChannels(), 0x83);
}

TEST(SetpointEditor, ListsWithoutASelectionKeepTheCodesThatWereRead) {
  SetpointBlock block = sampleBlock();
  ChannelSetpoints r = block.channel(0);
  r.sensorType = 9;
  r.controlLaw = 6;
  block.setChannel(0, r);
  block.setBaudIndex(8);
  test::ScriptedMessageHost messages;
  SetpointEditor editor(block, messages);
  EXPECT_EQ(editor.controls().controlAs<QComboBox>(kSensorType)->currentIndex(), -1);
  EXPECT_EQ(editor.controls().controlAs<QComboBox>(kBaudRate)->currentIndex(), -1);

  editor.controls().controlAs<QPushButton>(kOk)->click();
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  EXPECT_EQ(block.channel(0).sensorType, 9);
  EXPECT_EQ(block.channel(0).controlLaw, 6);
  EXPECT_EQ(block.baudIndex(), 8);
}

TEST_F(SetpointEditorTest, ACoolingSwitchPointBeyondItsFieldIsRefusedAtTheSetpoint) {
  list(kControlLaw)->setCurrentIndex(4);  // PID cooling: setpoint + band
  type(kBand, "100");
  type(kSetpoint, "3200");
  click(kOk);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Введіть число від -300 до 3176.7.");
  EXPECT_EQ(editor.focusWidget(), edit(kSetpoint));
  EXPECT_EQ(block.channel(0).setpoint, 253);
}

// Only 1 to 4 have a packing of their own: 0 and 5 to 9 would send another code.
TEST(AccessCodeDialog, TakesAtMostSixDigitsOneToFourMaskedAndHandsThemOverOnce) {
  AccessCodeDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(AccessCodeTemplate().caption));
  QLineEdit* code = dialog.codeField();
  EXPECT_EQ(code->echoMode(), QLineEdit::Password);
  QTest::keyClicks(code, "1205a3-49678 4123");
  EXPECT_EQ(code->text(), "123441");
  dialog.controls().controlAs<QPushButton>(access_code_ids::kOk)->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(code->text().isEmpty());
  EXPECT_EQ(dialog.takeEntry(), "123441");
  EXPECT_EQ(dialog.takeEntry(), "");
}

TEST(ProgressWindow, CancelEscAndCloseGoToTheWorkflowAndEnterDoesNothing) {
  ProgressWindow window(nullptr);
  int cancels = 0;
  window.setCancelHandler([&] { ++cancels; });
  window.show();
  window.controls().controlAs<QPushButton>(2)->click();
  QTest::keyClick(&window, Qt::Key_Escape);
  window.close();
  EXPECT_EQ(cancels, 3);
  EXPECT_TRUE(window.isVisible());  // hiding is the workflow's decision

  window.focusBar();
  QTest::keyClick(&window, Qt::Key_Return);
  EXPECT_EQ(cancels, 3);
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace km8
