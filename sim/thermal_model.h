// Eight simulated thermal channels: a heater or cooler driven by each channel's
// control law, ambient loss, sensor noise and offset, range limits and alarm outputs.
#pragma once

#include <array>
#include <cstdint>
#include <random>

#include "setpoint_image.h"

namespace km8::sim {

inline constexpr std::int16_t kRawBelowRange = -32000;
inline constexpr std::int16_t kRawAboveRange = 32000;

struct ThermalConfig {
  double ambientC = 20.0;
  double heaterRateCPerS = 0.1;       // temperature rise per second at full heater power
  double coolerRateCPerS = 0.1;       // temperature fall per second at full cooler power
  double lossTimeConstantS = 1800.0;  // first-order loss towards ambient
  double noiseC = 0.05;               // standard deviation of the sensor noise
};

// A sensor can be forced out of range (broken wire, short circuit) from a test.
enum class SensorState : std::uint8_t { Normal, BelowRange, AboveRange };

// Measuring range of a sensor type in tenths of a degree: copper sensors are
// narrower than platinum ones.
struct SensorRange {
  int lowTenths;
  int highTenths;
};
SensorRange sensorRangeOf(std::uint8_t sensorType);

class ThermalModel {
 public:
  ThermalModel(const ThermalConfig& config, std::uint64_t seed);

  // Advances all channels by dtS seconds under the block's current settings.
  void step(const SetpointImage& block, double dtS);
  // Takes fresh readings without letting time pass.
  void sample(const SetpointImage& block);
  // What a power-up does: controllers and outputs start from scratch.
  void restart();
  void resetController(int channel);

  // The reading as registers 0..7 carry it: tenths, or a range marker.
  std::int16_t reading(int channel) const { return channels_[channel].reading; }
  std::uint8_t regulationOutputs() const;
  std::uint8_t alarmOutputs() const;

  double temperature(int channel) const { return channels_[channel].temperature; }
  void setTemperature(int channel, double celsius);
  SensorState sensorState(int channel) const { return channels_[channel].sensor; }
  void setSensorState(int channel, SensorState state) { channels_[channel].sensor = state; }
  const ThermalConfig& config() const { return config_; }
  void setAmbient(double celsius) { config_.ambientC = celsius; }
  void setNoise(double sigmaC) { config_.noiseC = sigmaC; }

 private:
  struct Channel {
    double temperature = 20.0;
    double measured = 20.0;  // with offset and noise, what the controller sees
    bool measuredValid = true;
    std::int16_t reading = kRawBelowRange;
    SensorState sensor = SensorState::Normal;
    bool outputOn = false;
    bool alarmOn = false;
    bool twoPositionOn = false;
    // PID with time-proportional output: u is recomputed at the start of each pulse.
    double integral = 0.0;  // degree-seconds
    double lastMeasured = 0.0;
    bool haveLast = false;
    double pulsePhaseS = 0.0;
    double pulsePeriodS = 0.0;
    double onTimeS = 0.0;
    double demand = 0.0;  // 0..1 for continuous output
  };

  double controlPower(Channel& c, const ChannelSettings& s, double dtS);
  double pidDemand(Channel& c, const ChannelSettings& s, bool cooling, double intervalS);
  void measure(Channel& c, const SetpointImage& block, int channel);

  ThermalConfig config_;
  std::array<Channel, kChannelCount> channels_{};
  std::mt19937_64 rng_;
  std::normal_distribution<double> noise_{0.0, 1.0};
};

}  // namespace km8::sim
