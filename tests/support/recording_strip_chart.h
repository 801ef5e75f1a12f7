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
    std::array<Line, 2> regulation{}, alarm{};
  };

  // Operation names in call order ("begin", "end", "reset", "range", "sample value", ...).
  mutable std::vector<std::string> calls;
  // The n-th call (1-based) of the operation named failOn throws ControlError.
  std::string failOn;
  int failAt = 1;

  std::array<Channel, 8> channels{};
  double valueMin = 0.0, valueMax = 100.0, axisStart = 0.0, axisSpan = 0.0;
  int mode = 0, currentChannel = 0, capacity = 0, depth = 0;
  bool legendVisible = false, running = true;
  ColorRef outerBackground = kBlack;
  std::vector<std::array<std::optional<double>, 8>> samples;

  void beginUpdate() override {
    op("begin", [&] { ++depth; });
  }
  void endUpdate() override {
    op("end", [&] { --depth; });
  }
  void resetAfterFailure() override {
    op("reset", [&] { depth = 0; });
  }
  int interactionMode() const override {
    op("get mode");
    return mode;
  }
  void setInteractionMode(int m) override {
    op("set mode", [&] { mode = m; });
  }
  void setTimeAxis(double start, double span) override {
    op("time axis", [&] {
      axisStart = start;
      axisSpan = span;
    });
  }
  void setValueRange(double lo, double hi) override {
    op("range", [&] {
      valueMin = lo;
      valueMax = hi;
    });
  }
  void setValueMinimum(double lo) override {
    op("minimum", [&] { valueMin = lo; });
  }
  void setValueMaximum(double hi) override {
    op("maximum", [&] { valueMax = hi; });
  }
  void setChannelColor(int c, ColorRef colour) override {
    op("colour", [&] { at(c).color = colour; });
  }
  void setChannelVisible(int c, bool on) override {
    op("visible", [&] { at(c).visible = on; });
  }
  void setCurrentChannel(int c) override {
    op("current", [&] {
      at(c);
      currentChannel = c;
    });
  }
  void setLegendVisible(bool on) override {
    op("legend", [&] { legendVisible = on; });
  }
  void setRegulationLines(int c, bool show1, double v1, int code1, bool show2, double v2,
                          int code2) override {
    op("regulation lines", [&] { setLines(at(c).regulation, show1, v1, code1, show2, v2, code2); });
  }
  void setAlarmLines(int c, bool show1, double v1, int code1, bool show2, double v2,
                     int code2) override {
    op("alarm lines", [&] { setLines(at(c).alarm, show1, v1, code1, show2, v2, code2); });
  }
  void setRegulationLineColors(int c, ColorRef first, ColorRef second) override {
    op("regulation colours", [&] { setColours(at(c).regulation, first, second); });
  }
  void setAlarmLineColors(int c, ColorRef first, ColorRef second) override {
    op("alarm colours", [&] { setColours(at(c).alarm, first, second); });
  }
  int newSample() override {
    op("new sample", [&] { samples.emplace_back(); });
    return static_cast<int>(samples.size()) - 1;
  }
  void setSampleValue(int c, int sample, double value) override {
    op("sample value", [&] {
      at(c);
      samples.at(static_cast<std::size_t>(sample))[static_cast<std::size_t>(c)] = value;
    });
  }
  void setCapacity(int n) override {
    op("capacity", [&] { capacity = n; });
  }
  void setBackgroundColors(ColorRef outer, ColorRef) override {
    op("background", [&] { outerBackground = outer; });
  }
  void setRunning(bool on) override {
    op(on ? "run" : "stop", [&] { running = on; });
  }
  void prePrint() override { op("pre-print"); }
  void setPrintSetting(bool) override { op("print setting"); }
  void print() override { op("print"); }
  void copyToClipboard() override { op("copy"); }
  void saveBitmap(const std::string&) override { op("save bitmap"); }
  void saveJpeg(const std::string&, int, bool) override { op("save jpeg"); }
  void setMouseHandler(MouseHandler) override {}

 private:
  // Logs the operation, fails it if asked to, and otherwise does what it does.
  template <class Effect = void (*)()>
  void op(
      const std::string& name, Effect effect = [] {}) const {
    calls.push_back(name);
    if (name == failOn && ++failCount_ == failAt) throw ControlError(name + " failed");
    effect();
  }
  Channel& at(int c) {
    if (c < 0 || c >= 8) throw ControlError("Invalid channel");
    return channels[static_cast<std::size_t>(c)];
  }
  static void setLines(std::array<Line, 2>& l, bool show1, double v1, int code1, bool show2,
                       double v2, int code2) {
    l[0] = {show1, v1, code1, l[0].color};
    l[1] = {show2, v2, code2, l[1].color};
  }
  static void setColours(std::array<Line, 2>& l, ColorRef first, ColorRef second) {
    l[0].color = first;
    l[1].color = second;
  }
  mutable int failCount_ = 0;
};

}  // namespace km8::test
