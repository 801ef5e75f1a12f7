#include "setpoints/setpoint_editor_model.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "res/setpoint_editor_template.h"

namespace km8 {
namespace {

using namespace editor_ids;

// The tenths fields hold -3276.8 .. 3276.7 °C; the lower range bound of the temperature
// fields is already above that.
constexpr double kTemperatureLow = -300.0;
constexpr double kTemperatureHigh = 30000.0;
constexpr double kHoldHigh = 3276.7;

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::optional<long long> parseInteger(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return {};
  return value;
}

std::optional<double> parseNumber(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return {};
  }
  return value;
}

std::string integerPrompt(int low, int high) {
  return "Введіть ціле число від " + std::to_string(low) + " до " + std::to_string(high) + ".";
}

std::string rangePrompt(double low, double high) {
  return "Введіть число від " + shortestDecimal(low) + " до " + shortestDecimal(high) + ".";
}

const char* const kNumberPrompt = "Введіть число.";

// Runs the checks in the dialog's order; the first refusal ends the transfer.
class Transfer {
 public:
  bool failed() const { return refusal_.has_value(); }
  std::optional<EditorRefusal> refusal() const { return refusal_; }

  void refuse(int id, std::string prompt) {
    if (!refusal_) refusal_ = EditorRefusal{id, std::move(prompt)};
  }

  // An unsigned byte: an integer in 0..255 first, then the field's own range.
  std::uint8_t byte(int id, const std::string& text, int low = 0, int high = 255) {
    if (failed()) return 0;
    const auto value = parseInteger(text);
    if (!value || *value < 0 || *value > 255) {
      refuse(id, integerPrompt(0, 255));
      return 0;
    }
    if (*value < low || *value > high) {
      refuse(id, integerPrompt(low, high));
      return 0;
    }
    return static_cast<std::uint8_t>(*value);
  }

  double number(int id, const std::string& text, double low, double high) {
    if (failed()) return 0;
    const auto value = parseNumber(text);
    if (!value) {
      refuse(id, kNumberPrompt);
      return 0;
    }
    if (*value < low || *value > high) {
      refuse(id, rangePrompt(low, high));
      return 0;
    }
    return *value;
  }

  // A temperature in tenths: the dialog's range, then what the field can hold, so that
  // nothing wrapped is ever stored.
  double temperature(int id, const std::string& text) {
    const double value = number(id, text, kTemperatureLow, kTemperatureHigh);
    if (!failed() && !encodeTenths(value)) refuse(id, rangePrompt(kTemperatureLow, kHoldHigh));
    return value;
  }

 private:
  std::optional<EditorRefusal> refusal_;
};

int listSelection(int code, std::size_t entries) {
  return code >= 0 && static_cast<std::size_t>(code) < entries ? code : -1;
}

}  // namespace

std::string shortestDecimal(double value) {
  if (value == 0) value = 0;  // no "-0"
  // Fifteen significant digits show every tenth as typed (0.1 * 253 as 25.3).
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  return std::string(text, result.ptr);
}

struct SetpointEditorModel::Values {
  std::uint8_t instrumentNumber = 0;
  std::uint8_t archivePeriod = 0;
  std::array<bool, kSetpointChannels> enabled{};
  double sensorOffset = 0;
  double setpoint = 0;
  double alarmHigh = 0;
  double alarmLow = 0;
  std::uint8_t band = 0;
  std::uint8_t pulsePeriod = 0;
  std::uint8_t maxPower = 0;
  std::uint8_t derivativeTime = 0;
  double integralTime = 0;
  int sensorType = -1;
  int controlLaw = -1;
  int baudIndex = -1;
};

// Transfer from the controls, in the dialog's order.
std::optional<EditorRefusal> SetpointEditorModel::transferFrom(const EditorFields& shown,
                                                               Values& values) const {
  Transfer t;
  values.instrumentNumber = t.byte(kInstrumentNumber, shown.instrumentNumber);
  values.archivePeriod = t.byte(kArchivePeriod, shown.archivePeriod);
  values.enabled = shown.enabled;
  values.sensorOffset = t.number(kSensorOffset, shown.sensorOffset, -25.5, 25.5);
  values.setpoint = t.temperature(kSetpoint, shown.setpoint);
  values.alarmHigh = t.temperature(kAlarmHigh, shown.alarmHigh);
  values.alarmLow = t.temperature(kAlarmLow, shown.alarmLow);
  values.band = t.byte(kBand, shown.band, 1, 255);
  values.pulsePeriod = t.byte(kPulsePeriod, shown.pulsePeriod, 1, 255);
  values.maxPower = t.byte(kMaxPower, shown.maxPower, 0, 100);
  values.derivativeTime = t.byte(kDerivativeTime, shown.derivativeTime);
  values.integralTime = t.number(kIntegralTime, shown.integralTime, 0.1, 99.9);
  values.sensorType = shown.sensorType;
  values.controlLaw = shown.controlLaw;
  values.baudIndex = shown.baudIndex;
  if (t.failed()) return t.refusal();

  // The switching threshold of a cooling law lies above the setpoint by the band, and
  // must fit its field as well.
  const std::uint8_t law = values.controlLaw >= 0 ? static_cast<std::uint8_t>(values.controlLaw)
                                                  : block_.channel(channel_).controlLaw;
  if (!switchPointFor(*encodeTenths(values.setpoint), values.band, law)) {
    t.refuse(kSetpoint, rangePrompt(kTemperatureLow, kHoldHigh - values.band));
  }
  return t.refusal();
}

SetpointEditorModel::SetpointEditorModel(SetpointBlock& block) : block_(block) {
  fields_.archivePeriod = std::to_string(block_.archivePeriod());
  fields_.instrumentNumber = std::to_string(block_.instrumentNumber());
  fields_.baudIndex = listSelection(block_.baudIndex(), InstrumentBaudRates.size());
  for (int i = 0; i < kSetpointChannels; ++i) fields_.enabled[i] = block_.channelEnabled(i);
  loadChannel();
}

std::string SetpointEditorModel::channelHeading() const {
  char text[32];
  std::snprintf(text, sizeof text, "Канал №% d", channel_ + 1);
  return text;
}

void SetpointEditorModel::loadChannel() {
  const ChannelSetpoints record = block_.channel(channel_);
  fields_.setpoint = shortestDecimal(record.setpointDegrees());
  fields_.alarmHigh = shortestDecimal(record.alarmHighDegrees());
  fields_.alarmLow = shortestDecimal(record.alarmLowDegrees());
  fields_.pulsePeriod = std::to_string(record.pulsePeriod);
  fields_.band = std::to_string(record.band);
  fields_.derivativeTime = std::to_string(record.derivativeTime);
  fields_.integralTime = shortestDecimal(record.integralMinutes());
  fields_.maxPower = std::to_string(record.maxPower);
  fields_.sensorOffset = shortestDecimal(block_.sensorOffsetDegrees(channel_));
  fields_.sensorType = listSelection(record.sensorType, kSensorTypeTexts.size());
  fields_.controlLaw = listSelection(record.controlLaw, kControlLawEditorTexts.size());
}

// A list left without a selection (a code the list has no entry for) keeps the code
// that was read.
void SetpointEditorModel::storeChannel(const Values& v) {
  ChannelSetpoints record = block_.channel(channel_);
  record.setpoint = *encodeTenths(v.setpoint);
  record.alarmHigh = *encodeTenths(v.alarmHigh);
  record.alarmLow = *encodeTenths(v.alarmLow);
  record.pulsePeriod = v.pulsePeriod;
  record.band = v.band;
  record.derivativeTime = v.derivativeTime;
  record.integralTime = static_cast<std::uint16_t>(*encodeTenths(v.integralTime));
  record.maxPower = v.maxPower;
  if (v.sensorType >= 0) record.sensorType = static_cast<std::uint8_t>(v.sensorType);
  if (v.controlLaw >= 0) record.controlLaw = static_cast<std::uint8_t>(v.controlLaw);
  record.switchPoint = *switchPointFor(record.setpoint, record.band, record.controlLaw);
  block_.setChannel(channel_, record);
  block_.setSensorOffsetDegrees(channel_, v.sensorOffset);
}

std::optional<EditorRefusal> SetpointEditorModel::step(const EditorFields& shown, int delta) {
  Values values;
  if (auto refusal = transferFrom(shown, values)) return refusal;
  storeChannel(values);
  // The common members keep what was typed, as the controls will show it.
  fields_ = shown;
  fields_.instrumentNumber = std::to_string(values.instrumentNumber);
  fields_.archivePeriod = std::to_string(values.archivePeriod);
  channel_ = (channel_ + delta + kSetpointChannels) % kSetpointChannels;
  loadChannel();
  return {};
}

std::optional<EditorRefusal> SetpointEditorModel::next(const EditorFields& shown) {
  return step(shown, 1);
}

std::optional<EditorRefusal> SetpointEditorModel::previous(const EditorFields& shown) {
  return step(shown, -1);
}

std::optional<EditorRefusal> SetpointEditorModel::accept(const EditorFields& shown) {
  Values values;
  if (auto refusal = transferFrom(shown, values)) return refusal;
  storeChannel(values);
  block_.setArchivePeriod(values.archivePeriod);
  block_.setInstrumentNumber(values.instrumentNumber);
  if (values.baudIndex >= 0) block_.setBaudIndex(static_cast<std::uint8_t>(values.baudIndex));
  std::uint8_t mask = 0;
  for (int i = 0; i < kSetpointChannels; ++i) {
    if (values.enabled[i]) mask = static_cast<std::uint8_t>(mask | (1u << i));
  }
  block_.setEnabledChannels(mask);
  return {};
}

}  // namespace km8
