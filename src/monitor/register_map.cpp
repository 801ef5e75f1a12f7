#include "monitor/register_map.h"

namespace km8 {

double DecodeTemperature(std::uint8_t low, std::uint8_t high) {
  const auto raw = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
  if (raw <= -32000) return LowMarker;
  if (raw >= 32000) return HighMarker;
  return raw * 0.1;
}

ArchiveAge DecodeArchiveAge(std::span<const std::uint8_t, 4> bytes) {
  unsigned ticks = bytes[0] | (bytes[1] << 8);  // 4 ms ticks into the current minute
  if (ticks > 14999) ticks = 0;
  unsigned s = ticks / 250;
  if (ticks % 250 >= 125) ++s;  // to the nearest second, so 60 is possible
  unsigned m = bytes[2];
  if (s >= 60) ++m;

  ArchiveAge age;
  age.days = static_cast<int>(m / 60 / 24);
  age.hours = static_cast<int>(m / 60 % 24);
  age.minutes = static_cast<int>(m % 60);
  age.seconds = static_cast<int>(s % 60);
  return age;
}

ChannelLimits decodeChannelLimits(std::span<const std::uint8_t, 10> bytes) {
  ChannelLimits limits;
  limits.setpoint = DecodeTemperature(bytes[0], bytes[1]);
  limits.switchPoint = DecodeTemperature(bytes[2], bytes[3]);
  limits.alarmHigh = DecodeTemperature(bytes[4], bytes[5]);
  limits.alarmLow = DecodeTemperature(bytes[6], bytes[7]);
  limits.controlLaw = bytes[9];  // byte 8, the sensor type, is not needed by the chart
  return limits;
}

namespace {

LinkRequest readInput(std::uint8_t unit, unsigned start, std::uint16_t count) {
  return {unit, static_cast<std::uint8_t>(RequestKind::ReadInputRegisters),
          static_cast<std::uint16_t>(start), count, nullptr};
}

LinkRequest readHolding(std::uint8_t unit, unsigned start, std::uint16_t count) {
  return {unit, static_cast<std::uint8_t>(RequestKind::ReadHoldingRegisters),
          static_cast<std::uint16_t>(start), count, nullptr};
}

constexpr unsigned kBlockStart = 12;   // first register of the setpoint block
constexpr unsigned kLimitsStart = 15;  // setpoint of channel 1 inside the block
constexpr unsigned kChannelRecordRegisters = 8;

}  // namespace

LinkRequest pollRequest(PollState state, const RequestParams& p) {
  const std::uint8_t unit = p.unitAddress;
  switch (state) {
    case PollState::CurrentValuesLow:
      return readInput(unit, 0, 5);
    case PollState::CurrentValuesHigh:
      return readInput(unit, 5, 5);
    case PollState::ReportStep:
      return readInput(unit, kBlockStart + p.reportOffset, 5);
    case PollState::ChartLimits:
      return readInput(unit, kLimitsStart + kChannelRecordRegisters * p.chartChannel, 5);
    case PollState::ArchiveAge:
      return readInput(unit, 10, 2);
    case PollState::ArchiveFirstHalf:
      return readHolding(unit, 2u * p.recordIndex, 5);
    case PollState::ArchiveSecondHalf:
      return readHolding(unit, 2u * p.recordIndex + 1, 4);
    case PollState::BlockRead:
      return readInput(unit, kBlockStart + p.blockOffset, 5);
    case PollState::BlockWrite:
      return {unit, static_cast<std::uint8_t>(RequestKind::WriteMultipleRegisters),
              static_cast<std::uint16_t>(kBlockStart + p.blockOffset), 5, p.blockStepData};
    case PollState::AccessCode:
      return {unit, static_cast<std::uint8_t>(RequestKind::WriteSingleRegister),
              static_cast<std::uint16_t>(kBlockStart), exchangeBytes(p.packedCode), nullptr};
    default:
      return {0, static_cast<std::uint8_t>(RequestKind::Empty), 0, 0, nullptr};
  }
}

std::size_t replyBytesFor(PollState state) {
  switch (state) {
    case PollState::CurrentValuesLow:
    case PollState::CurrentValuesHigh:
    case PollState::ReportStep:
    case PollState::ChartLimits:
    case PollState::ArchiveFirstHalf:
    case PollState::BlockRead:
      return 10;
    case PollState::ArchiveAge:
      return 4;
    case PollState::ArchiveSecondHalf:
      return 8;
    default:
      return 0;
  }
}

}  // namespace km8
