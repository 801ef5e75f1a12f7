// The thermal channels in simulated time (no sleeping): every control law settles
// near its setpoint within an hour, power limits, offsets, noise, sensor failures.
#include "thermal_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace km8::sim {
namespace {

ChannelSettings law(Law code, std::int16_t setpointTenths, std::uint8_t band) {
  ChannelSettings s;
  s.setpoint = setpointTenths;
  s.controlLaw = static_cast<std::uint8_t>(code);
  s.band = band;
  s.switchPoint = switchPointFor(s.setpoint, band, s.controlLaw);
  s.alarmHigh = static_cast<std::int16_t>(setpointTenths + 300);
  s.alarmLow = static_cast<std::int16_t>(setpointTenths - 300);
  s.sensorType = 4;
  s.pulsePeriod = 5;
  s.derivativeTime = 10;
  s.integralTime = 50;
  s.maxPower = 100;
  return s;
}

SetpointImage blockWith(const ChannelSettings& channel1, int offsetTenths = 0) {
  SetpointImage block = SetpointImage::factoryDefault();
  block.setEnabledChannels(0x01);
  block.setChannel(0, channel1);
  block.setOffsetTenths(0, offsetTenths);
  return block;
}

struct Trace {
  double minReading = 1e9;
  double maxReading = -1e9;
  double meanReading = 0;
  double meanTemperature = 0;
  int outputOnSeconds = 0;
};

// Runs `seconds` of simulated time and summarises the readings of the last
// `tailSeconds` of it.
Trace run(ThermalModel& model, const SetpointImage& block, int seconds, int tailSeconds) {
  Trace t;
  for (int s = 0; s < seconds; ++s) {
    model.step(block, 1.0);
    if (s < seconds - tailSeconds) continue;
    const double reading = model.reading(0) / 10.0;
    t.minReading = std::min(t.minReading, reading);
    t.maxReading = std::max(t.maxReading, reading);
    t.meanReading += reading / tailSeconds;
    t.meanTemperature += model.temperature(0) / tailSeconds;
    if (model.regulationOutputs() & 1) ++t.outputOnSeconds;
  }
  return t;
}

constexpr int kHour = 3600;
constexpr int kTenMinutes = 600;

TEST(ThermalModel, TwoPositionLawsHoldTheTemperatureInsideTheirReturnZone) {
  {
    ThermalModel model(ThermalConfig{}, 1);
    const Trace t = run(model, blockWith(law(Law::TwoPositionHeating, 600, 3)), kHour, kTenMinutes);
    EXPECT_GE(t.minReading, 56.0);
    EXPECT_LE(t.maxReading, 61.0);
    EXPECT_GT(t.outputOnSeconds, 0);
    EXPECT_LT(t.outputOnSeconds, kTenMinutes);
  }
  {
    ThermalModel model(ThermalConfig{}, 2);
    const Trace t = run(model, blockWith(law(Law::TwoPositionCooling, 50, 2)), kHour, kTenMinutes);
    EXPECT_GE(t.minReading, 4.0);
    EXPECT_LE(t.maxReading, 8.0);
    EXPECT_GT(t.outputOnSeconds, 0);
  }
}

TEST(ThermalModel, PidLawsSettleOnTheSetpointWithinAnHour) {
  {
    ThermalModel model(ThermalConfig{}, 3);
    const Trace t = run(model, blockWith(law(Law::PidHeating, 800, 10)), kHour, kTenMinutes);
    EXPECT_NEAR(t.meanReading, 80.0, 0.5);
    EXPECT_GE(t.minReading, 78.5);
    EXPECT_LE(t.maxReading, 81.5);
  }
  {
    ThermalModel model(ThermalConfig{}, 4);
    const Trace t = run(model, blockWith(law(Law::PidCooling, -50, 10)), kHour, kTenMinutes);
    EXPECT_NEAR(t.meanReading, -5.0, 0.5);
    EXPECT_GE(t.minReading, -6.5);
    EXPECT_LE(t.maxReading, -3.5);
  }
  {
    // Continuous output (no pulse period) settles as well.
    ChannelSettings continuous = law(Law::PidHeating, 450, 5);
    continuous.pulsePeriod = 0;
    ThermalModel model(ThermalConfig{}, 5);
    const Trace t = run(model, blockWith(continuous), kHour, kTenMinutes);
    EXPECT_NEAR(t.meanReading, 45.0, 0.5);
  }
}

TEST(ThermalModel, LawsWithoutRegulationDriftToAmbient) {
  for (const Law code : {Law::All, Law::Alls}) {
    ThermalModel model(ThermalConfig{}, 6);
    model.setTemperature(0, 90.0);
    const Trace t = run(model, blockWith(law(code, 900, 5)), 4 * kHour, kTenMinutes);
    EXPECT_EQ(t.outputOnSeconds, 0);
    EXPECT_LT(t.meanTemperature, 35.0);
  }
}

TEST(ThermalModel, MaximumPowerLimitsWhatTheHeaterCanReach) {
  // 10 % of 0.1 degree/s against a 1800 s loss: at most 18 degrees above ambient.
  for (const Law code : {Law::PidHeating, Law::TwoPositionHeating}) {
    ChannelSettings weak = law(code, 1500, 10);
    weak.maxPower = 10;
    ThermalModel model(ThermalConfig{}, 7);
    const Trace t = run(model, blockWith(weak), 3 * kHour, kTenMinutes);
    EXPECT_GT(t.meanTemperature, 30.0);
    EXPECT_LT(t.meanTemperature, 38.5);
  }
}

TEST(ThermalModel, OffsetShiftsTheReadingAndTheRegulatedTemperature) {
  ThermalConfig quiet;
  quiet.noiseC = 0.0;
  ThermalModel model(quiet, 8);
  const Trace t = run(model, blockWith(law(Law::PidHeating, 600, 10), 25), kHour, kTenMinutes);
  EXPECT_NEAR(t.meanReading, 60.0, 0.3);
  EXPECT_NEAR(t.meanTemperature, 57.5, 0.3);

  model.setTemperature(0, 30.0);
  model.sample(blockWith(law(Law::All, 0, 0), -25));
  EXPECT_EQ(model.reading(0), 275);
}

TEST(ThermalModel, NoiseHasTheConfiguredSpreadAndIsRepeatableWithASeed) {
  ThermalConfig noisy;
  noisy.noiseC = 0.5;
  ThermalModel a(noisy, 42);
  ThermalModel b(noisy, 42);
  const SetpointImage block = blockWith(law(Law::All, 0, 0));
  std::vector<double> readings;
  for (int i = 0; i < 2000; ++i) {
    a.sample(block);
    b.sample(block);
    ASSERT_EQ(a.reading(0), b.reading(0));
    readings.push_back(a.reading(0) / 10.0);
  }
  double mean = 0;
  for (double r : readings) mean += r / readings.size();
  double variance = 0;
  for (double r : readings) variance += (r - mean) * (r - mean) / readings.size();
  EXPECT_NEAR(mean, 20.0, 0.1);
  EXPECT_NEAR(std::sqrt(variance), 0.5, 0.1);
}

TEST(ThermalModel, FailedSensorOrSwitchedOffChannelDrivesNoOutput) {
  ThermalModel model(ThermalConfig{}, 9);
  SetpointImage block = blockWith(law(Law::TwoPositionHeating, 600, 3));
  model.step(block, 1.0);
  ASSERT_EQ(model.regulationOutputs() & 1, 1) << "cold: heating";
  EXPECT_EQ(model.alarmOutputs() & 1, 1) << "below the lower alarm limit";

  model.setSensorState(0, SensorState::AboveRange);
  model.step(block, 1.0);
  EXPECT_EQ(model.reading(0), kRawAboveRange);
  EXPECT_EQ(model.regulationOutputs() & 1, 0);
  EXPECT_EQ(model.alarmOutputs() & 1, 1);

  model.setSensorState(0, SensorState::Normal);
  block.setEnabledChannels(0x00);
  const double before = model.temperature(0);
  model.step(block, 1.0);
  EXPECT_EQ(model.reading(0), kRawBelowRange);
  EXPECT_EQ(model.regulationOutputs(), 0);
  EXPECT_EQ(model.alarmOutputs(), 0);
  EXPECT_LE(model.temperature(0), before);
}

}  // namespace
}  // namespace km8::sim
