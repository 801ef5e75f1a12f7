#include "setpoints/setpoint_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/poll_cycle_fixture.h"

namespace km8 {
namespace {

SetpointBlock knownBlock() {
  SetpointBlock b;
  b.setArchivePeriod(30);
  b.setBaudIndex(8);          // no such rate
  b.setInstrumentNumber(99);  // not reported: the caption names the station's DeviceID
  b.setEnabledChannels(0xFD);
  ChannelSetpoints c1;
  c1.setpoint = 253;
  c1.alarmHigh = 32000;
  c1.alarmLow = -32000;
  c1.sensorType = 4;
  c1.controlLaw = 1;
  c1.pulsePeriod = 10;
  c1.band = 3;
  c1.derivativeTime = 60;
  c1.integralTime = 0xFFFF;  // read unsigned
  c1.maxPower = 100;
  b.setChannel(0, c1);
  b.setSensorOffsetDegrees(0, -2.5);
  ChannelSetpoints c2;
  c2.setpoint = -5;
  c2.alarmHigh = 31999;
  c2.alarmLow = -31999;
  c2.sensorType = 9;
  c2.controlLaw = 9;
  c2.integralTime = 1;
  b.setChannel(1, c2);
  b.setSensorOffsetDegrees(1, 0.7);
  b.setOffsetSignMask(b.offsetSignMask() | 0x04);  // channel 3: a negative zero offset
  return b;
}

TEST(SetpointReportText, KnownBlockInFull) {
  std::string expected =
      "Час архівування: 30 хв\r\n"
      "Швидкiсть обмiну, бод: невідома (код 8)\r\n"
      "\r\n"
      "Канал №1\r\n"
      "Уставка температури регулювання: 25.3 °C\r\n"
      "Верхня температура сигналізації: 10000.0 °C\r\n"
      "Нижня температура сигналізації: -10000.0 °C\r\n"
      "Датчик: Pt100\r\n"
      "Закон регулювання: двопозиційне охолодження\r\n"
      "Період iмпульсiв для ПIД закону: 10 с\r\n"
      "Діапазон пропорційності/зона повернення: 3 °C\r\n"
      "Стала диференціювання: 60 с\r\n"
      "Стала інтегрування: 6553.5 хв\r\n"
      "Максимальна потужність: 100%\r\n"
      "Змiщення датчика: -2.5 °C\r\n"
      "\r\n"
      "Канал №2 (виключений)\r\n"
      "Уставка температури регулювання: -0.5 °C\r\n"
      "Верхня температура сигналізації: 3199.9 °C\r\n"
      "Нижня температура сигналізації: -3199.9 °C\r\n"
      "Датчик: 46П\r\n"
      "Закон регулювання: \r\n"
      "Період iмпульсiв для ПIД закону: 0 с\r\n"
      "Діапазон пропорційності/зона повернення: 0 °C\r\n"
      "Стала диференціювання: 0 с\r\n"
      "Стала інтегрування: 0.1 хв\r\n"
      "Максимальна потужність: 0%\r\n"
      "Змiщення датчика: 0.7 °C\r\n";
  for (int n = 3; n <= 8; ++n) {
    std::string channel =
        "\r\n"
        "Канал №%d\r\n"
        "Уставка температури регулювання: 0.0 °C\r\n"
        "Верхня температура сигналізації: 0.0 °C\r\n"
        "Нижня температура сигналізації: 0.0 °C\r\n"
        "Датчик: Cu50\r\n"
        "Закон регулювання: двопозиційний нагрів\r\n"
        "Період iмпульсiв для ПIД закону: 0 с\r\n"
        "Діапазон пропорційності/зона повернення: 0 °C\r\n"
        "Стала диференціювання: 0 с\r\n"
        "Стала інтегрування: 0.0 хв\r\n"
        "Максимальна потужність: 0%\r\n"
        "Змiщення датчика: 0.0 °C\r\n";
    channel.replace(channel.find("%d"), 2, std::to_string(n));
    expected += channel;
  }
  EXPECT_EQ(formatSetpointReport(knownBlock()), expected);
}

class RecordingReportView : public SetpointReportView {
 public:
  explicit RecordingReportView(test::EventLog* log) : log_(log) {}
  void setCaption(const std::string& c) override {
    caption = c;
    captions.push_back(c);
  }
  void setText(const std::string& t) override {
    text = t;
    test::note(log_, t.empty() ? "clear text" : "report text");
  }
  bool isShown() const override { return shown; }
  void showWindow() override {
    shown = true;
    test::note(log_, "show report");
  }
  void focusWindow() override { test::note(log_, "focus report"); }
  void activateWindow() override { test::note(log_, "activate report"); }

  std::string caption, text;
  std::vector<std::string> captions;
  bool shown = false;

 private:
  test::EventLog* log_;
};

class SetpointReportRead : public test::PollCycleFixture {
 protected:
  SetpointReportRead() : view(&log), report(settings, poll, window) {
    settings.set(&AppSettings::DeviceID, std::uint8_t{5});
    report.attachView(&view);
    poll.attachSetpointReport(report);
    start();
  }

  // Completes the outstanding transaction as the instrument would and notes the start
  // register of every report step submitted next.
  PollState step() {
    const PollState next = ok();
    if (next == PollState::ReportStep) reportStarts.push_back(mailbox.last().start);
    return next;
  }
  void untilReportStep() {
    for (int i = 0; i < 10 && poll.state() != PollState::ReportStep; ++i) step();
    ASSERT_EQ(poll.state(), PollState::ReportStep);
  }
  void runRead() {
    for (int i = 0; i < 200 && report.reportPending(); ++i) step();
  }

  std::vector<int> reportStarts;
  RecordingReportView view;
  SetpointReport report;
};

TEST_F(SetpointReportRead, FifteenStepsShowTheirProgressThenTheText) {
  report.command();
  EXPECT_EQ(view.caption, "Уставки приладу №5");
  EXPECT_TRUE(view.shown);
  EXPECT_TRUE(report.reportWindowOpen());
  runRead();

  std::vector<std::string> expected = {"Уставки приладу №5"};
  for (int p : {7, 13, 20, 27, 33, 40, 47, 53, 60, 67, 73, 80, 87, 93})
    expected.push_back("Уставки приладу №5 [" + std::to_string(p) + "%]");
  expected.push_back("Уставки приладу №5");
  EXPECT_EQ(view.captions, expected);

  std::vector<int> starts;
  for (int s = 0; s < 15; ++s) starts.push_back(12 + 5 * s);
  EXPECT_EQ(reportStarts, starts);
  // The fixture's replies carry each register's number in both of its bytes.
  for (int k = 0; k < 75; ++k) {
    ASSERT_EQ(report.reportCopy().bytes()[2 * k], 12 + k) << k;
    ASSERT_EQ(report.reportCopy().bytes()[2 * k + 1], 12 + k) << k;
  }
  EXPECT_EQ(view.text, formatSetpointReport(report.reportCopy()));
  const auto order = log.matching("report text");
  ASSERT_EQ(order.size(), 1u);
  const auto& e = log.events;
  const auto text = std::find(e.begin(), e.end(), "report text");
  EXPECT_EQ(*(text + 1), "bring to front");
  EXPECT_EQ(*(text + 2), "activate report");
  EXPECT_FALSE(report.reportPending());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SetpointReportRead, TheCommandGivenAgainRestartsFromTheBeginning) {
  report.command();
  untilReportStep();
  step();  // offset 5
  untilReportStep();
  report.command();  // while the step at offset 5 is outstanding
  EXPECT_EQ(poll.state(), PollState::Idle);
  EXPECT_EQ(view.text, "");
  EXPECT_EQ(log.matching("focus report").size(), 1u);  // already shown: focused instead
  step();                                              // the old step's reply is ignored
  EXPECT_EQ(poll.state(), PollState::CurrentValuesHigh);
  EXPECT_EQ(view.caption, "Уставки приладу №5");
  runRead();
  std::vector<int> expected = {12, 17};  // the second one discarded
  for (int s = 0; s < 15; ++s) expected.push_back(12 + 5 * s);
  EXPECT_EQ(reportStarts, expected);
  EXPECT_EQ(view.captions[view.captions.size() - 15], "Уставки приладу №5 [7%]");
  EXPECT_EQ(view.caption, "Уставки приладу №5");
  EXPECT_FALSE(view.text.empty());
}

TEST_F(SetpointReportRead, ClosingTheWindowEndsTheReadAtTheNextSelection) {
  report.command();
  untilReportStep();
  report.onWindowClosed();
  step();  // the outstanding step still lands
  EXPECT_EQ(view.caption, "Уставки приладу №5 [7%]");
  EXPECT_TRUE(report.reportPending());
  for (int i = 0; i < 12; ++i) step();
  EXPECT_FALSE(report.reportPending());
  EXPECT_EQ(reportStarts.size(), 1u);
}

TEST_F(SetpointReportRead, RetryRepeatsTheStepAndCancelEndsTheReadWithoutText) {
  report.command();
  untilReportStep();
  step();
  untilReportStep();
  messages.answers = {MessageResult::Retry};
  fail();
  EXPECT_EQ(mailbox.last().start, 17);  // the same step again
  EXPECT_EQ(view.caption, "Уставки приладу №5 [7%]");
  fail();  // Cancel
  EXPECT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(view.caption, "Уставки приладу №5 - немає зв'язку");
  EXPECT_FALSE(report.reportPending());
  EXPECT_EQ(view.text, "");
  for (int i = 0; i < 6; ++i) EXPECT_NE(ok(), PollState::ReportStep);
}

}  // namespace
}  // namespace km8
