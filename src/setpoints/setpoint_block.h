// The instrument's 150-byte configuration image (registers 12..86) in wire order, its
// field layout, codes and texts, and the conversions between raw fields and °C / minutes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace km8 {

inline constexpr std::size_t kSetpointBlockBytes = 150;
inline constexpr std::uint16_t kSetpointBlockFirstRegister = 12;
inline constexpr std::uint16_t kSetpointBlockRegisters = 75;  // offsets 0..74
inline constexpr std::uint16_t kSetpointStepRegisters = 5;
inline constexpr std::size_t kSetpointStepBytes = 10;
inline constexpr std::uint16_t kSetpointLastStepOffset = 70;  // 15 steps: 0, 5, ..., 70
inline constexpr int kSetpointChannels = 8;

enum class SensorType : std::uint8_t {
  Cu50 = 0,
  Cu100 = 1,
  P50 = 2,
  P100 = 3,
  Pt100 = 4,
  Cu53 = 5,
  P46 = 6,
};

enum class ControlLaw : std::uint8_t {
  TwoPositionHeating = 0,
  TwoPositionCooling = 1,
  All = 2,
  PidHeating = 3,
  PidCooling = 4,
  Alls = 5,
};

// Position in each list is the code. The same sensor texts serve the editor and the
// report; the control laws are worded differently in the two.
inline constexpr std::array<const char*, 7> kSensorTypeTexts = {
    "Cu50", "Cu100", "50П", "100П", "Pt100", "Cu53", "46П",
};
inline constexpr std::array<const char*, 6> kControlLawEditorTexts = {
    "Двопозицiйний нагрiв", "Двопозицiйнe охолодження", "ALL",
    "ПIД нагрів",           "ПIД охолодження",          "ALLS",
};
inline constexpr std::array<const char*, 6> kControlLawReportTexts = {
    "двопозиційний нагрів", "двопозиційне охолодження", "ALL",
    "ПIД нагрів",           "ПIД охолодження",          "ALLS",
};

// Rates selected by baudIndex; an index of 8 or more has no entry.
inline constexpr std::array<std::uint32_t, 8> InstrumentBaudRates = {600,   2400,  4800,  9600,
                                                                     14400, 19200, 28800, 38400};

// The rate of an index, or nothing for an index the table does not have.
std::optional<std::uint32_t> instrumentBaudRate(std::uint8_t baudIndex);

// Report wording: unknown sensor codes read as the last type, unknown laws as "".
const char* sensorTypeText(std::uint8_t code);
const char* controlLawReportText(std::uint8_t code);
// Editor list wording; "" for a code the list has no entry for.
const char* controlLawEditorText(std::uint8_t code);

constexpr bool isCoolingLaw(std::uint8_t code) {
  return code == static_cast<std::uint8_t>(ControlLaw::TwoPositionCooling) ||
         code == static_cast<std::uint8_t>(ControlLaw::PidCooling);
}

// Degrees (or minutes) to tenths: × 10 in double precision, truncated toward zero, so a
// value typed with one decimal gives its exact tenths and further decimals are cut off.
// Nothing when the result does not fit a signed 16-bit field (or the value is NaN), so
// a caller can refuse it instead of storing a wrapped value.
std::optional<std::int16_t> encodeTenths(double value);
constexpr double tenthsToDouble(int tenths) { return tenths * 0.1; }

// The switching threshold: setpoint + band for the cooling laws, setpoint − band for all
// others. Worked in whole tenths from the encoded setpoint, so it is exactly the stored
// setpoint shifted by the band; nothing when that leaves the 16-bit range.
std::optional<std::int16_t> switchPointFor(std::int16_t setpointTenths, std::uint8_t band,
                                           std::uint8_t controlLaw);

// One channel's 16-byte record, decoded. Temperatures are signed tenths of °C.
struct ChannelSetpoints {
  std::int16_t setpoint = 0;
  std::int16_t switchPoint = 0;
  std::int16_t alarmHigh = 0;
  std::int16_t alarmLow = 0;
  std::uint8_t sensorType = 0;      // SensorType code; may be one the station does not know
  std::uint8_t controlLaw = 0;      // ControlLaw code; likewise
  std::uint8_t pulsePeriod = 0;     // seconds
  std::uint8_t band = 0;            // whole °C
  std::uint8_t derivativeTime = 0;  // seconds
  std::uint16_t integralTime = 0;   // tenths of a minute, the field's 16 bits as stored
  std::uint8_t maxPower = 0;        // percent

  // Editor readings: plain signed tenths, without the report's out-of-range markers.
  double setpointDegrees() const { return tenthsToDouble(setpoint); }
  double alarmHighDegrees() const { return tenthsToDouble(alarmHigh); }
  double alarmLowDegrees() const { return tenthsToDouble(alarmLow); }
  double switchPointDegrees() const { return tenthsToDouble(switchPoint); }
  // The editor reads the integral time as signed, the report as unsigned; both agree
  // for every value the editor can produce.
  double integralMinutes() const { return tenthsToDouble(static_cast<std::int16_t>(integralTime)); }
  double integralMinutesUnsigned() const { return tenthsToDouble(integralTime); }

  // Writers in natural units; false (and the field unchanged) when the value does not fit.
  bool setSetpointDegrees(double degrees);
  bool setAlarmHighDegrees(double degrees);
  bool setAlarmLowDegrees(double degrees);
  bool setIntegralMinutes(double minutes);
  // Recomputes switchPoint from setpoint, band and controlLaw as they stand.
  bool updateSwitchPoint();

  bool operator==(const ChannelSetpoints&) const = default;
};

// The image itself: byte 2k is the high-order byte of register 12+k as it travels on the
// wire, and every 16-bit field inside is low byte first, across register boundaries.
// No validity flag: whoever fills it tracks progress with its own offset.
class SetpointBlock {
 public:
  using Bytes = std::array<std::uint8_t, kSetpointBlockBytes>;

  const Bytes& bytes() const { return bytes_; }
  Bytes& bytes() { return bytes_; }

  // Common fields. Byte 0 and bytes 143..149 are not interpreted and travel back as read.
  std::uint8_t attemptsLeft() const { return bytes_[1]; }
  void setAttemptsLeft(std::uint8_t value) { bytes_[1] = value; }
  std::uint8_t archivePeriod() const { return bytes_[2]; }  // minutes
  void setArchivePeriod(std::uint8_t minutes) { bytes_[2] = minutes; }
  std::uint8_t instrumentNumber() const { return bytes_[3]; }
  void setInstrumentNumber(std::uint8_t number) { bytes_[3] = number; }
  std::uint8_t baudIndex() const { return bytes_[4]; }
  void setBaudIndex(std::uint8_t index) { bytes_[4] = index; }
  std::uint8_t enabledChannels() const { return bytes_[5]; }  // bit i: channel i+1
  void setEnabledChannels(std::uint8_t mask) { bytes_[5] = mask; }
  bool channelEnabled(int channel) const;
  void setChannelEnabled(int channel, bool enabled);

  // Channels are numbered 0..7 (channel 1..8); others read as an empty record and are
  // never written.
  ChannelSetpoints channel(int channel) const;
  void setChannel(int channel, const ChannelSetpoints& record);

  // Sensor offset: magnitude byte in tenths plus a sign bit per channel.
  std::uint8_t offsetMagnitude(int channel) const;
  void setOffsetMagnitude(int channel, std::uint8_t tenths);
  std::uint8_t offsetSignMask() const { return bytes_[kOffsetSigns]; }
  void setOffsetSignMask(std::uint8_t mask) { bytes_[kOffsetSigns] = mask; }
  int sensorOffsetTenths(int channel) const;  // signed
  double sensorOffsetDegrees(int channel) const {
    return tenthsToDouble(sensorOffsetTenths(channel));
  }
  // Negative values set the sign bit and store the truncated magnitude; zero clears it.
  // False (nothing changed) beyond ±25.5 °C or for NaN.
  bool setSensorOffsetDegrees(int channel, double degrees);

  bool operator==(const SetpointBlock&) const = default;

 private:
  static constexpr std::size_t kChannelBase = 6;
  static constexpr std::size_t kChannelBytes = 16;
  static constexpr std::size_t kOffsetMagnitudes = 134;
  static constexpr std::size_t kOffsetSigns = 142;

  Bytes bytes_{};
};

// Copies the ten data bytes of a 5-register read step at register offset `offset` to
// image bytes 2·offset.. 2·offset+9. False, and the image untouched, for an offset past
// the last step or fewer than ten bytes.
bool storeStep(SetpointBlock& image, std::uint16_t offset, std::span<const std::uint8_t> data);

// The ten image bytes a write step at `offset` sends; nullptr past the last step. The
// link worker reads them until the write completes, so the image must stay unchanged.
const std::uint8_t* stepBytes(const SetpointBlock& image, std::uint16_t offset);

// The programming copy: one image for the whole process, used on the UI thread only.
SetpointBlock& programmingCopy();

}  // namespace km8
