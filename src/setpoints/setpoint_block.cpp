#include "setpoints/setpoint_block.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace km8 {

std::optional<std::uint32_t> instrumentBaudRate(std::uint8_t baudIndex) {
  if (baudIndex >= InstrumentBaudRates.size()) return std::nullopt;
  return InstrumentBaudRates[baudIndex];
}

const char* sensorTypeText(std::uint8_t code) {
  return kSensorTypeTexts[std::min<std::size_t>(code, kSensorTypeTexts.size() - 1)];
}

const char* controlLawReportText(std::uint8_t code) {
  return code < kControlLawReportTexts.size() ? kControlLawReportTexts[code] : "";
}

const char* controlLawEditorText(std::uint8_t code) {
  return code < kControlLawEditorTexts.size() ? kControlLawEditorTexts[code] : "";
}

namespace {

std::optional<std::int16_t> fitInt16(long long value) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max())
    return std::nullopt;
  return static_cast<std::int16_t>(value);
}

std::int16_t readInt16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

void writeInt16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value & 0xFF);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

bool validChannel(int channel) { return channel >= 0 && channel < kSetpointChannels; }

}  // namespace

std::optional<std::int16_t> encodeTenths(double value) {
  const double tenths = std::trunc(value * 10.0);
  // Checked in double first: a huge value or NaN must not reach the integer conversion.
  if (!(tenths >= std::numeric_limits<std::int16_t>::min() &&
        tenths <= std::numeric_limits<std::int16_t>::max()))
    return std::nullopt;
  return static_cast<std::int16_t>(tenths);
}

std::optional<std::int16_t> switchPointFor(std::int16_t setpointTenths, std::uint8_t band,
                                           std::uint8_t controlLaw) {
  const long long shift = 10LL * band;
  return fitInt16(isCoolingLaw(controlLaw) ? setpointTenths + shift : setpointTenths - shift);
}

namespace {

bool storeTenths(std::int16_t& field, double value) {
  const auto tenths = encodeTenths(value);
  if (!tenths) return false;
  field = *tenths;
  return true;
}

}  // namespace

bool ChannelSetpoints::setSetpointDegrees(double degrees) { return storeTenths(setpoint, degrees); }
bool ChannelSetpoints::setAlarmHighDegrees(double degrees) {
  return storeTenths(alarmHigh, degrees);
}
bool ChannelSetpoints::setAlarmLowDegrees(double degrees) { return storeTenths(alarmLow, degrees); }

bool ChannelSetpoints::setIntegralMinutes(double minutes) {
  std::int16_t tenths = 0;
  if (!storeTenths(tenths, minutes)) return false;
  integralTime = static_cast<std::uint16_t>(tenths);
  return true;
}

bool ChannelSetpoints::updateSwitchPoint() {
  const auto point = switchPointFor(setpoint, band, controlLaw);
  if (!point) return false;
  switchPoint = *point;
  return true;
}

bool SetpointBlock::channelEnabled(int channel) const {
  return validChannel(channel) && ((bytes_[5] >> channel) & 1) != 0;
}

void SetpointBlock::setChannelEnabled(int channel, bool enabled) {
  if (!validChannel(channel)) return;
  const auto bit = static_cast<std::uint8_t>(1u << channel);
  bytes_[5] = static_cast<std::uint8_t>(enabled ? bytes_[5] | bit : bytes_[5] & ~bit);
}

ChannelSetpoints SetpointBlock::channel(int channel) const {
  ChannelSetpoints r;
  if (!validChannel(channel)) return r;
  const std::uint8_t* p = bytes_.data() + kChannelBase + kChannelBytes * channel;
  r.setpoint = readInt16(p + 0);
  r.switchPoint = readInt16(p + 2);
  r.alarmHigh = readInt16(p + 4);
  r.alarmLow = readInt16(p + 6);
  r.sensorType = p[8];
  r.controlLaw = p[9];
  r.pulsePeriod = p[10];
  r.band = p[11];
  r.derivativeTime = p[12];
  r.integralTime = static_cast<std::uint16_t>(readInt16(p + 13));
  r.maxPower = p[15];
  return r;
}

void SetpointBlock::setChannel(int channel, const ChannelSetpoints& r) {
  if (!validChannel(channel)) return;
  std::uint8_t* p = bytes_.data() + kChannelBase + kChannelBytes * channel;
  writeInt16(p + 0, static_cast<std::uint16_t>(r.setpoint));
  writeInt16(p + 2, static_cast<std::uint16_t>(r.switchPoint));
  writeInt16(p + 4, static_cast<std::uint16_t>(r.alarmHigh));
  writeInt16(p + 6, static_cast<std::uint16_t>(r.alarmLow));
  p[8] = r.sensorType;
  p[9] = r.controlLaw;
  p[10] = r.pulsePeriod;
  p[11] = r.band;
  p[12] = r.derivativeTime;
  writeInt16(p + 13, r.integralTime);
  p[15] = r.maxPower;
}

std::uint8_t SetpointBlock::offsetMagnitude(int channel) const {
  return validChannel(channel) ? bytes_[kOffsetMagnitudes + channel] : 0;
}

void SetpointBlock::setOffsetMagnitude(int channel, std::uint8_t tenths) {
  if (validChannel(channel)) bytes_[kOffsetMagnitudes + channel] = tenths;
}

int SetpointBlock::sensorOffsetTenths(int channel) const {
  if (!validChannel(channel)) return 0;
  const int magnitude = bytes_[kOffsetMagnitudes + channel];
  return ((offsetSignMask() >> channel) & 1) != 0 ? -magnitude : magnitude;
}

bool SetpointBlock::setSensorOffsetDegrees(int channel, double degrees) {
  if (!validChannel(channel) || std::isnan(degrees)) return false;
  const auto magnitude = encodeTenths(degrees < 0 ? -degrees : degrees);
  if (!magnitude || *magnitude > 255) return false;
  const bool negative = degrees < 0 && *magnitude != 0;  // a zero offset is never negative
  const auto bit = static_cast<std::uint8_t>(1u << channel);
  setOffsetSignMask(
      static_cast<std::uint8_t>(negative ? offsetSignMask() | bit : offsetSignMask() & ~bit));
  bytes_[kOffsetMagnitudes + channel] = static_cast<std::uint8_t>(*magnitude);
  return true;
}

bool storeStep(SetpointBlock& image, std::uint16_t offset, std::span<const std::uint8_t> data) {
  if (offset > kSetpointLastStepOffset || data.size() < kSetpointStepBytes) return false;
  std::memcpy(image.bytes().data() + 2u * offset, data.data(), kSetpointStepBytes);
  return true;
}

const std::uint8_t* stepBytes(const SetpointBlock& image, std::uint16_t offset) {
  if (offset > kSetpointLastStepOffset) return nullptr;
  return image.bytes().data() + 2u * offset;
}

SetpointBlock& programmingCopy() {
  static SetpointBlock copy;
  return copy;
}

}  // namespace km8
