#include "setpoint_image.h"

#include <algorithm>
#include <cstdlib>

#include "wire_bytes.h"

namespace km8::sim {

std::uint32_t baudRateOfIndex(std::uint8_t index) {
  return index < kBaudRates.size() ? kBaudRates[index] : kBaudRates[0];
}

int baudIndexOfRate(std::uint32_t rate) {
  for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
    if (kBaudRates[i] == rate) return static_cast<int>(i);
  }
  return -1;
}

std::int16_t switchPointFor(std::int16_t setpoint, std::uint8_t band, std::uint8_t law) {
  const bool cooling = law == static_cast<std::uint8_t>(Law::TwoPositionCooling) ||
                       law == static_cast<std::uint8_t>(Law::PidCooling);
  const int shifted = cooling ? setpoint + band * 10 : setpoint - band * 10;
  return static_cast<std::int16_t>(std::clamp(shifted, -32768, 32767));
}

SetpointImage SetpointImage::factoryDefault() {
  SetpointImage image;
  image.setAttemptsLeft(kMaxAttempts);
  image.setArchivePeriod(1);
  image.setInstrumentNumber(1);
  image.setBaudIndex(5);
  image.setEnabledChannels(0xFF);
  // A kiln-like mix: heating on most channels, two cooled channels, every law kind.
  struct Default {
    std::int16_t setpoint;
    Law law;
  };
  constexpr std::array<Default, kChannelCount> defaults = {{
      {400, Law::TwoPositionHeating},
      {600, Law::PidHeating},
      {800, Law::PidHeating},
      {1000, Law::TwoPositionHeating},
      {1200, Law::PidHeating},
      {1500, Law::PidHeating},
      {100, Law::TwoPositionCooling},
      {50, Law::PidCooling},
  }};
  for (int ch = 0; ch < kChannelCount; ++ch) {
    ChannelSettings s;
    s.setpoint = defaults[ch].setpoint;
    s.controlLaw = static_cast<std::uint8_t>(defaults[ch].law);
    const bool pid = s.controlLaw == 3 || s.controlLaw == 4;
    s.band = pid ? 10 : 3;
    s.switchPoint = switchPointFor(s.setpoint, s.band, s.controlLaw);
    s.alarmHigh = static_cast<std::int16_t>(s.setpoint + 200);
    s.alarmLow = static_cast<std::int16_t>(s.setpoint - 200);
    s.sensorType = 4;  // Pt100
    s.pulsePeriod = 5;
    s.derivativeTime = 10;
    s.integralTime = 50;
    s.maxPower = 100;
    image.setChannel(ch, s);
  }
  return image;
}

ChannelSettings SetpointImage::channel(int channel) const {
  const std::uint8_t* p = bytes_.data() + channelBase(channel);
  ChannelSettings s;
  s.setpoint = static_cast<std::int16_t>(getLe16(p + 0));
  s.switchPoint = static_cast<std::int16_t>(getLe16(p + 2));
  s.alarmHigh = static_cast<std::int16_t>(getLe16(p + 4));
  s.alarmLow = static_cast<std::int16_t>(getLe16(p + 6));
  s.sensorType = p[8];
  s.controlLaw = p[9];
  s.pulsePeriod = p[10];
  s.band = p[11];
  s.derivativeTime = p[12];
  s.integralTime = getLe16(p + 13);
  s.maxPower = p[15];
  return s;
}

void SetpointImage::setChannel(int channel, const ChannelSettings& s) {
  std::uint8_t* p = bytes_.data() + channelBase(channel);
  putLe16(p + 0, static_cast<std::uint16_t>(s.setpoint));
  putLe16(p + 2, static_cast<std::uint16_t>(s.switchPoint));
  putLe16(p + 4, static_cast<std::uint16_t>(s.alarmHigh));
  putLe16(p + 6, static_cast<std::uint16_t>(s.alarmLow));
  p[8] = s.sensorType;
  p[9] = s.controlLaw;
  p[10] = s.pulsePeriod;
  p[11] = s.band;
  p[12] = s.derivativeTime;
  putLe16(p + 13, s.integralTime);
  p[15] = s.maxPower;
}

int SetpointImage::offsetTenths(int channel) const {
  const int magnitude = bytes_[kOffsetMagnitudes + channel];
  const bool negative = (bytes_[kOffsetSigns] >> channel) & 1;
  return negative ? -magnitude : magnitude;
}

void SetpointImage::setOffsetTenths(int channel, int tenths) {
  const auto bit = static_cast<std::uint8_t>(1u << channel);
  bytes_[kOffsetMagnitudes + channel] = static_cast<std::uint8_t>(std::min(std::abs(tenths), 255));
  if (tenths < 0) {
    bytes_[kOffsetSigns] |= bit;
  } else {
    bytes_[kOffsetSigns] &= static_cast<std::uint8_t>(~bit);
  }
}

bool SetpointImage::hasError() const {
  if (baudIndex() >= kBaudRates.size()) return true;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if (!channelEnabled(ch)) continue;
    const ChannelSettings s = channel(ch);
    if (s.sensorType > 6 || s.controlLaw > 5) return true;
  }
  return false;
}

}  // namespace km8::sim
