// The four display controls of the main window as the core drives them: a caption
// label, a round LED, a seven-segment value and a strip chart. The Qt widgets
// implement them for the screen; tests implement them as recording fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace km8 {

// Colours are Windows COLORREF values: 0x00BBGGRR (red in the low byte).
using ColorRef = std::uint32_t;

inline constexpr ColorRef kBlack = 0x000000;
inline constexpr ColorRef kWhite = 0xFFFFFF;
inline constexpr ColorRef kRed = 0x0000FF;
inline constexpr ColorRef kLime = 0x00FF00;
inline constexpr ColorRef kYellow = 0x00FFFF;

// An operation of a control failed; what() is the description shown to the user.
class ControlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CaptionLabel {
 public:
  virtual ~CaptionLabel() = default;
  virtual void setCaption(const std::string& text) = 0;  // UTF-8
};

class RoundLed {
 public:
  virtual ~RoundLed() = default;
  virtual void setLit(bool lit) = 0;
};

class SevenSegmentValue {
 public:
  virtual ~SevenSegmentValue() = default;
  virtual void setValue(double value) = 0;           // shown with one decimal place
  virtual void setSegmentColor(ColorRef color) = 0;  // 255 (red) or 0 (black)
};

// The strip chart's operations, named by role. Any of them may throw ControlError.
class StripChart {
 public:
  virtual ~StripChart() = default;

  virtual void beginUpdate() = 0;  // changes until endUpdate() are drawn once
  virtual void endUpdate() = 0;
  virtual void resetAfterFailure() = 0;  // ends an update batch that failed

  virtual int interactionMode() const = 0;
  virtual void setInteractionMode(int mode) = 0;

  virtual void setTimeAxis(double start, double spanDays) = 0;
  virtual void setValueRange(double minimum, double maximum) = 0;
  virtual void setValueMinimum(double minimum) = 0;
  virtual void setValueMaximum(double maximum) = 0;

  virtual void setChannelColor(int channel, ColorRef color) = 0;
  virtual void setChannelVisible(int channel, bool visible) = 0;
  virtual void setCurrentChannel(int channel) = 0;
  virtual void setLegendVisible(bool visible) = 0;

  // Two horizontal lines per kind and channel; code is 3 for regulation, 4 for alarm.
  virtual void setRegulationLines(int channel, bool showFirst, double first, int firstCode,
                                  bool showSecond, double second, int secondCode) = 0;
  virtual void setAlarmLines(int channel, bool showFirst, double first, int firstCode,
                             bool showSecond, double second, int secondCode) = 0;
  virtual void setRegulationLineColors(int channel, ColorRef first, ColorRef second) = 0;
  virtual void setAlarmLineColors(int channel, ColorRef first, ColorRef second) = 0;

  // Opens a sample at the current time and returns its index; a channel given no
  // value in it shows a gap there.
  virtual int newSample() = 0;
  virtual void setSampleValue(int channel, int sample, double value) = 0;
  virtual void setCapacity(int samplesPerChannel) = 0;

  virtual void setBackgroundColors(ColorRef outer, ColorRef plot) = 0;
  virtual void setRunning(bool running) = 0;

  virtual void prePrint() = 0;
  virtual void setPrintSetting(bool enabled) = 0;
  virtual void print() = 0;
  virtual void copyToClipboard() = 0;
  virtual void saveBitmap(const std::string& path) = 0;
  virtual void saveJpeg(const std::string& path, int quality, bool progressive) = 0;

  // Mouse button event: button code (2 = right), shift state, x and y in the chart.
  using MouseHandler = std::function<void(int button, int shift, int x, int y)>;
  virtual void setMouseHandler(MouseHandler handler) = 0;
};

}  // namespace km8
