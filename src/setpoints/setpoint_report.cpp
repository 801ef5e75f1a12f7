#include "setpoints/setpoint_report.h"

#include <charconv>
#include <cmath>

#include "monitor/register_map.h"

namespace km8 {
namespace {

constexpr const char kCaptionFormat[] = "Уставки приладу №%d";
constexpr const char kProgressFormat[] = " [%d%%]";
constexpr const char kArchivePeriodLine[] = "Час архівування: %d хв\r\n";
constexpr const char kBaudLine[] = "Швидкiсть обмiну, бод: %d\r\n";
constexpr const char kChannelHeading[] = "Канал №%d";
constexpr const char kChannelDisabled[] = " (виключений)";
constexpr const char kSetpointLine[] = "Уставка температури регулювання: %.1f °C\r\n";
constexpr const char kAlarmHighLine[] = "Верхня температура сигналізації: %.1f °C\r\n";
constexpr const char kAlarmLowLine[] = "Нижня температура сигналізації: %.1f °C\r\n";
constexpr const char kSensorPrefix[] = "Датчик: ";
constexpr const char kLawPrefix[] = "Закон регулювання: ";
constexpr const char kPulsePeriodLine[] = "Період iмпульсiв для ПIД закону: %d с\r\n";
constexpr const char kBandLine[] = "Діапазон пропорційності/зона повернення: %d °C\r\n";
constexpr const char kDerivativeLine[] = "Стала диференціювання: %d с\r\n";
constexpr const char kIntegralLine[] = "Стала інтегрування: %.1f хв\r\n";
constexpr const char kMaxPowerLine[] = "Максимальна потужність: %d%%\r\n";
constexpr const char kOffsetLine[] = "Змiщення датчика: %.1f °C\r\n";
// A baud index the rate table has no entry for is printed as what it is.
constexpr const char kUnknownBaud[] = "невідома (код %d)";

std::string integerText(long long value) { return std::to_string(value); }

// One decimal, always with a point: the C library's %.1f would follow the locale.
std::string tenthText(double value) {
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  return std::string(buffer, result.ptr);
}

// Fills the one %d or %.1f of a pattern and turns %% into %.
std::string fill(const char* pattern, const std::string& value) {
  std::string out;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p != '%') {
      out += *p;
    } else if (p[1] == '%') {
      out += '%';
      ++p;
    } else if (p[1] == 'd') {
      out += value;
      ++p;
    } else if (p[1] == '.' && p[2] == '1' && p[3] == 'f') {
      out += value;
      p += 3;
    } else {
      out += *p;
    }
  }
  return out;
}

double temperatureOf(std::int16_t tenths) {
  const auto raw = static_cast<std::uint16_t>(tenths);
  return DecodeTemperature(static_cast<std::uint8_t>(raw & 0xFF),
                           static_cast<std::uint8_t>(raw >> 8));
}

}  // namespace

std::string reportCaption(int deviceId) { return fill(kCaptionFormat, integerText(deviceId)); }

int reportPercent(std::uint16_t offset) {
  return static_cast<int>(std::lround(offset * 4.0 / 3.0));
}

std::string formatSetpointReport(const SetpointBlock& block) {
  std::string text = fill(kArchivePeriodLine, integerText(block.archivePeriod()));
  const auto rate = instrumentBaudRate(block.baudIndex());
  text += fill(kBaudLine,
               rate ? integerText(*rate) : fill(kUnknownBaud, integerText(block.baudIndex())));
  for (int i = 0; i < kSetpointChannels; ++i) {
    const ChannelSetpoints c = block.channel(i);
    text += "\r\n";
    text += fill(kChannelHeading, integerText(i + 1));
    if (!block.channelEnabled(i)) text += kChannelDisabled;
    text += "\r\n";
    text += fill(kSetpointLine, tenthText(temperatureOf(c.setpoint)));
    text += fill(kAlarmHighLine, tenthText(temperatureOf(c.alarmHigh)));
    text += fill(kAlarmLowLine, tenthText(temperatureOf(c.alarmLow)));
    text += std::string(kSensorPrefix) + sensorTypeText(c.sensorType) + "\r\n";
    text += std::string(kLawPrefix) + controlLawReportText(c.controlLaw) + "\r\n";
    text += fill(kPulsePeriodLine, integerText(c.pulsePeriod));
    text += fill(kBandLine, integerText(c.band));
    text += fill(kDerivativeLine, integerText(c.derivativeTime));
    text += fill(kIntegralLine, tenthText(c.integralMinutesUnsigned()));
    text += fill(kMaxPowerLine, integerText(c.maxPower));
    text += fill(kOffsetLine, tenthText(block.sensorOffsetDegrees(i)));
  }
  return text;
}

SetpointReport::SetpointReport(const SharedSettings& settings, PollCycle& poll,
                               MainWindowFront& mainWindow)
    : settings_(settings), poll_(poll), mainWindow_(mainWindow) {}

std::string SetpointReport::captionBase() const {
  return reportCaption(settings_.get(&AppSettings::DeviceID));
}

void SetpointReport::command() {
  if (view_ != nullptr) {
    view_->setCaption(captionBase());
    view_->setText({});
    if (view_->isShown()) {
      view_->focusWindow();
    } else {
      view_->showWindow();
    }
  }
  open_ = true;
  // A step already in flight belongs to the read being replaced: its reply is ignored.
  poll_.discardOutstandingReply(PollCycle::Feature::SetpointReport);
  offset_ = 0;
  pending_ = true;
}

void SetpointReport::onWindowClosed() { open_ = false; }

void SetpointReport::onReportStep(ReplyBytes data) {
  const std::string base = captionBase();
  if (!storeStep(copy_, offset_, data)) {
    // Not a step of this read (no offset left for it): end the read rather than guess.
    pending_ = false;
    return;
  }
  offset_ = static_cast<std::uint16_t>(offset_ + kSetpointStepRegisters);
  if (offset_ < kSetpointBlockRegisters) {
    if (view_ != nullptr)
      view_->setCaption(base + fill(kProgressFormat, integerText(reportPercent(offset_))));
    return;
  }
  pending_ = false;
  if (view_ == nullptr) return;
  view_->setCaption(base);
  view_->setText(formatSetpointReport(copy_));
  mainWindow_.BringToFront();
  view_->activateWindow();
}

void SetpointReport::onReportFailure() {
  if (view_ != nullptr) view_->setCaption(captionBase() + kNoLinkCaptionSuffix);
  pending_ = false;
}

}  // namespace km8
