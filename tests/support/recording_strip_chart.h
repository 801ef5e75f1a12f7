// A strip chart that keeps what it was told (channels, lines, range, samples) and logs
// each operation by name; it can be made to fail at a chosen operation.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "controls/display_controls.h"

namespace km8::test {

class RecordingStripChart : public StripChart {
 public:
  struct Line {
    bool shown = false;
    double value = 0.0;
    int code = 0;
    ColorRef color = 0;
  };
  struct Channel {
    ColorRef color = kYellow;
    bool visible = true;
    std::array<Line, 2> regulation{};
    std::array<Line, 2> alarm{};
  };
  using Sample = std::array<std::optional<double>, 8>;

  void beginUpdate() override;
  void endUpdate() override;
  void resetAfterFailure() override;
  int interactionMode() const override;
  void setInteractionMode(int m) override;
  void setTimeAxis(double start, double spanDays) override;
  void setValueRange(double minimum, double maximum) override;
  void setValueMinimum(double minimum) override;
  void setValueMaximum(double maximum) override;
  void setChannelColor(int channel, ColorRef color) override;
  void setChannelVisible(int channel, bool visible) override;
  void setCurrentChannel(int channel) override;
  void setLegendVisible(bool visible) override;
  void setRegulationLines(int channel, bool showFirst, double first, int firstCode, bool showSecond,
                          double second, int secondCode) override;
  void setAlarmLines(int channel, bool showFirst, double first, int firstCode, bool showSecond,
                     double second, int secondCode) override;
  void setRegulationLineColors(int channel, ColorRef first, ColorRef second) override;
  void setAlarmLineColors(int channel, ColorRef first, ColorRef second) override;
  int newSample() override;
  void setSampleValue(int channel, int sample, double value) override;
  void setCapacity(int samplesPerChannel) override;
  void setBackgroundColors(ColorRef outer, ColorRef plot) override;
  void setRunning(bool on) override;
  void prePrint() override;
  void setPrintSetting(bool enabled) override;
  void print() override;
  void copyToClipboard() override;
  void saveBitmap(const std::string& path) override;
  void saveJpeg(const std::string& path, int quality, bool progressive) override;
  void setMouseHandler(MouseHandler handler) override;

  // Operation names in call order ("begin", "end", "reset", "range", "sample value", ...).
  std::vector<std::string> calls;
  // The n-th call (1-based) of the operation named failOn throws ControlError.
  std::string failOn;
  int failAt = 1;

  std::array<Channel, 8> channels{};
  double valueMin = 0.0, valueMax = 100.0;
  int mode = 0, currentChannel = 0, capacity = 0, depth = 0;
  bool legendVisible = false, running = true;
  double axisStart = 0.0, axisSpan = 0.0;
  ColorRef outerBackground = kBlack, plotBackground = kBlack;
  std::vector<Sample> samples;

 private:
  void op(const std::string& name);
  Channel& at(int channel);
  int failCount_ = 0;
};

}  // namespace km8::test
