#include "thermal_model.h"

#include <algorithm>
#include <cmath>

namespace km8::sim {

SensorRange sensorRangeOf(std::uint8_t sensorType) {
  switch (sensorType) {
    case 0:  // Cu50
    case 1:  // Cu100
    case 5:  // Cu53
      return {-500, 2000};
    default:  // platinum sensors, and whatever an unknown code would be
      return {-2000, 8500};
  }
}

namespace {
bool isCooling(std::uint8_t law) {
  return law == static_cast<std::uint8_t>(Law::TwoPositionCooling) ||
         law == static_cast<std::uint8_t>(Law::PidCooling);
}
double maxPowerOf(const ChannelSettings& s) { return std::min<int>(s.maxPower, 100) / 100.0; }
}  // namespace

ThermalModel::ThermalModel(const ThermalConfig& config, std::uint64_t seed)
    : config_(config), rng_(seed) {
  for (Channel& c : channels_) {
    c.temperature = config.ambientC;
    c.measured = config.ambientC;
  }
}

void ThermalModel::sample(const SetpointImage& block) {
  for (int ch = 0; ch < kChannelCount; ++ch) measure(channels_[ch], block, ch);
}

void ThermalModel::step(const SetpointImage& block, double dtS) {
  if (dtS <= 0) return;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    Channel& c = channels_[ch];
    const ChannelSettings s = block.channel(ch);
    const bool enabled = block.channelEnabled(ch);
    double power = 0.0;
    if (enabled && c.measuredValid) {
      power = controlPower(c, s, dtS);
    } else {
      // A switched-off channel or a failed sensor must not drive its output.
      c.outputOn = false;
      c.twoPositionOn = false;
    }
    const double drive = isCooling(s.controlLaw) ? -config_.coolerRateCPerS * power
                                                 : config_.heaterRateCPerS * power;
    const double loss = config_.lossTimeConstantS > 0
                            ? (c.temperature - config_.ambientC) / config_.lossTimeConstantS
                            : 0.0;
    c.temperature += (drive - loss) * dtS;
    measure(c, block, ch);
    if (!enabled || !c.measuredValid) c.outputOn = false;
  }
}

void ThermalModel::measure(Channel& c, const SetpointImage& block, int channel) {
  const ChannelSettings s = block.channel(channel);
  const double offset = block.offsetTenths(channel) / 10.0;
  c.measured = c.temperature + offset + config_.noiseC * noise_(rng_);
  const SensorRange range = sensorRangeOf(s.sensorType);
  const long tenths = std::lround(c.measured * 10.0);
  c.measuredValid = false;
  if (c.sensor == SensorState::BelowRange || tenths < range.lowTenths) {
    c.reading = kRawBelowRange;
  } else if (c.sensor == SensorState::AboveRange || tenths > range.highTenths) {
    c.reading = kRawAboveRange;
  } else {
    c.reading = static_cast<std::int16_t>(tenths);
    c.measuredValid = true;
  }
  // A channel that is switched off has no reading and raises no alarm.
  if (!block.channelEnabled(channel)) {
    c.reading = kRawBelowRange;
    c.alarmOn = false;
  } else if (!c.measuredValid) {
    c.alarmOn = true;
  } else {
    const double tenths = c.measured * 10.0;
    c.alarmOn = tenths > s.alarmHigh || tenths < s.alarmLow;
  }
}

double ThermalModel::controlPower(Channel& c, const ChannelSettings& s, double dtS) {
  const double m = c.measured;
  const double sp = s.setpoint / 10.0;
  switch (static_cast<Law>(s.controlLaw)) {
    case Law::TwoPositionHeating:
      if (m >= sp) {
        c.twoPositionOn = false;
      } else if (m <= sp - s.band) {
        c.twoPositionOn = true;
      }
      c.outputOn = c.twoPositionOn;
      return c.outputOn ? maxPowerOf(s) : 0.0;
    case Law::TwoPositionCooling:
      if (m <= sp) {
        c.twoPositionOn = false;
      } else if (m >= sp + s.band) {
        c.twoPositionOn = true;
      }
      c.outputOn = c.twoPositionOn;
      return c.outputOn ? maxPowerOf(s) : 0.0;
    case Law::PidHeating:
    case Law::PidCooling:
      break;
    default:
      // ALL and ALLS drive no heater or cooler here: the channel only measures.
      c.outputOn = false;
      return 0.0;
  }

  const bool cooling = isCooling(s.controlLaw);
  if (s.pulsePeriod == 0) {
    // Continuous output; the demand is still recomputed once a second.
    c.pulsePhaseS += dtS;
    if (!c.haveLast || c.pulsePhaseS >= 1.0) {
      c.demand = pidDemand(c, s, cooling, c.haveLast ? c.pulsePhaseS : 1.0);
      c.pulsePhaseS = 0.0;
    }
    c.outputOn = c.demand > 0.0;
    return c.demand;
  }

  // Time-proportional output: on for demand x period at the start of every period,
  // at full power while on.
  double onSeconds = 0.0;
  double remaining = dtS;
  while (remaining > 1e-9) {
    if (!c.haveLast || c.pulsePhaseS >= c.pulsePeriodS) {
      const double interval = c.haveLast ? c.pulsePeriodS : s.pulsePeriod;
      c.demand = pidDemand(c, s, cooling, interval);
      c.pulsePeriodS = s.pulsePeriod;
      c.onTimeS = c.demand * c.pulsePeriodS;
      c.pulsePhaseS = 0.0;
    }
    const double chunk = std::min(remaining, c.pulsePeriodS - c.pulsePhaseS);
    onSeconds += std::clamp(c.onTimeS - c.pulsePhaseS, 0.0, chunk);
    c.pulsePhaseS += chunk;
    remaining -= chunk;
  }
  c.outputOn = c.pulsePhaseS < c.onTimeS;
  return onSeconds / dtS;
}

double ThermalModel::pidDemand(Channel& c, const ChannelSettings& s, bool cooling,
                               double intervalS) {
  const double m = c.measured;
  const double sp = s.setpoint / 10.0;
  const double error = cooling ? m - sp : sp - m;
  const double band = std::max<int>(s.band, 1);
  const double integralS = s.integralTime * 6.0;  // tenths of a minute
  const double rate = c.haveLast && intervalS > 0
                          ? (cooling ? m - c.lastMeasured : c.lastMeasured - m) / intervalS
                          : 0.0;
  c.lastMeasured = m;
  c.haveLast = true;

  const double limit = maxPowerOf(s);
  auto demandWith = [&](double integral) {
    const double integralTerm = integralS > 0 ? integral / integralS : 0.0;
    return (error + integralTerm + s.derivativeTime * rate) / band;
  };
  const double candidate = c.integral + error * intervalS;
  double raw = demandWith(candidate);
  // No wind-up: the integral only grows while the output is not pinned against
  // the limit it is pushing towards.
  const bool windingUp = (raw > limit && error > 0) || (raw < 0 && error < 0);
  if (integralS <= 0) {
    c.integral = 0.0;
  } else if (!windingUp) {
    c.integral = candidate;
  } else {
    raw = demandWith(c.integral);
  }
  return std::clamp(raw, 0.0, limit);
}

std::uint8_t ThermalModel::regulationOutputs() const {
  std::uint8_t bits = 0;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if (channels_[ch].outputOn) bits |= static_cast<std::uint8_t>(1u << ch);
  }
  return bits;
}

std::uint8_t ThermalModel::alarmOutputs() const {
  std::uint8_t bits = 0;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    if (channels_[ch].alarmOn) bits |= static_cast<std::uint8_t>(1u << ch);
  }
  return bits;
}

void ThermalModel::setTemperature(int channel, double celsius) {
  channels_[channel].temperature = celsius;
}

void ThermalModel::restart() {
  for (int ch = 0; ch < kChannelCount; ++ch) resetController(ch);
}

void ThermalModel::resetController(int channel) {
  Channel& c = channels_[channel];
  c.outputOn = false;
  c.twoPositionOn = false;
  c.integral = 0.0;
  c.haveLast = false;
  c.pulsePhaseS = 0.0;
  c.pulsePeriodS = 0.0;
  c.onTimeS = 0.0;
  c.demand = 0.0;
}

}  // namespace km8::sim
