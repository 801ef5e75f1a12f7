// The instrument's own 150-byte configuration block (registers 12..86) and the
// encoding of its fields, as the instrument keeps them in memory and on the wire.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace km8::sim {

inline constexpr std::size_t kBlockBytes = 150;
inline constexpr std::uint16_t kBlockFirstRegister = 12;
inline constexpr std::uint16_t kBlockRegisterCount = 75;
inline constexpr int kChannelCount = 8;
inline constexpr std::uint8_t kMaxAttempts = 5;

// Rates selected by the block's baud index; an index of 8 or more runs at 600 baud,
// the same rate a master falls back to for such an index.
inline constexpr std::array<std::uint32_t, 8> kBaudRates = {600,   2400,  4800,  9600,
                                                            14400, 19200, 28800, 38400};
std::uint32_t baudRateOfIndex(std::uint8_t index);
// The index of a rate in kBaudRates, or -1 when the instrument cannot run at it.
int baudIndexOfRate(std::uint32_t rate);

enum class Law : std::uint8_t {
  TwoPositionHeating = 0,
  TwoPositionCooling = 1,
  All = 2,
  PidHeating = 3,
  PidCooling = 4,
  Alls = 5,
};

// One channel's 16-byte record, decoded. Temperatures are tenths of a degree.
struct ChannelSettings {
  std::int16_t setpoint = 0;
  std::int16_t switchPoint = 0;
  std::int16_t alarmHigh = 0;
  std::int16_t alarmLow = 0;
  std::uint8_t sensorType = 0;
  std::uint8_t controlLaw = 0;
  std::uint8_t pulsePeriod = 0;     // seconds
  std::uint8_t band = 0;            // whole degrees
  std::uint8_t derivativeTime = 0;  // seconds
  std::uint16_t integralTime = 0;   // tenths of a minute
  std::uint8_t maxPower = 0;        // percent

  bool operator==(const ChannelSettings&) const = default;
};

class SetpointImage {
 public:
  using Bytes = std::array<std::uint8_t, kBlockBytes>;

  // A plausible factory configuration: instrument 1 at 19200 baud, all channels on.
  static SetpointImage factoryDefault();

  const Bytes& bytes() const { return bytes_; }
  Bytes& bytes() { return bytes_; }

  std::uint8_t attemptsLeft() const { return bytes_[1]; }
  void setAttemptsLeft(std::uint8_t value) { bytes_[1] = value; }
  std::uint8_t archivePeriod() const { return bytes_[2]; }
  void setArchivePeriod(std::uint8_t minutes) { bytes_[2] = minutes; }
  std::uint8_t instrumentNumber() const { return bytes_[3]; }
  void setInstrumentNumber(std::uint8_t number) { bytes_[3] = number; }
  std::uint8_t baudIndex() const { return bytes_[4]; }
  void setBaudIndex(std::uint8_t index) { bytes_[4] = index; }
  std::uint8_t enabledChannels() const { return bytes_[5]; }
  void setEnabledChannels(std::uint8_t mask) { bytes_[5] = mask; }
  bool channelEnabled(int channel) const { return (bytes_[5] >> channel) & 1; }

  ChannelSettings channel(int channel) const;
  void setChannel(int channel, const ChannelSettings& settings);

  // Sensor offset in tenths of a degree, signed (magnitude byte plus sign mask bit).
  int offsetTenths(int channel) const;
  void setOffsetTenths(int channel, int tenths);

  // True when the instrument cannot work with this block (unknown codes or rate).
  bool hasError() const;

  bool operator==(const SetpointImage&) const = default;

 private:
  static constexpr std::size_t channelBase(int channel) { return 6 + 16 * channel; }
  static constexpr std::size_t kOffsetMagnitudes = 134;
  static constexpr std::size_t kOffsetSigns = 142;

  Bytes bytes_{};
};

// The setting the instrument keeps in the switching threshold: the setpoint shifted
// by the band, upwards for the cooling laws.
std::int16_t switchPointFor(std::int16_t setpoint, std::uint8_t band, std::uint8_t law);

}  // namespace km8::sim
