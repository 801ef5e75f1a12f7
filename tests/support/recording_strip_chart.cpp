#include "recording_strip_chart.h"

#include <algorithm>

namespace km8::test {

void RecordingStripChart::op(const std::string& name) {
  calls.push_back(name);
  if (name == failOn && ++failCount_ == failAt) throw ControlError(name + " failed");
}

RecordingStripChart::Channel& RecordingStripChart::at(int channel) {
  if (channel < 0 || channel >= 8) throw ControlError("Invalid channel");
  return channels[static_cast<std::size_t>(channel)];
}

void RecordingStripChart::beginUpdate() {
  op("begin");
  ++depth;
}
void RecordingStripChart::endUpdate() {
  op("end");
  depth = std::max(depth - 1, 0);
}
void RecordingStripChart::resetAfterFailure() {
  op("reset");
  depth = 0;
}
int RecordingStripChart::interactionMode() const {
  const_cast<RecordingStripChart*>(this)->op("get mode");
  return mode;
}
void RecordingStripChart::setInteractionMode(int m) {
  op("set mode");
  mode = m;
}
void RecordingStripChart::setTimeAxis(double start, double spanDays) {
  op("time axis");
  axisStart = start;
  axisSpan = spanDays;
}
void RecordingStripChart::setValueRange(double minimum, double maximum) {
  op("range");
  valueMin = minimum;
  valueMax = maximum;
}
void RecordingStripChart::setValueMinimum(double minimum) {
  op("minimum");
  valueMin = minimum;
}
void RecordingStripChart::setValueMaximum(double maximum) {
  op("maximum");
  valueMax = maximum;
}
void RecordingStripChart::setChannelColor(int channel, ColorRef color) {
  op("colour");
  at(channel).color = color;
}
void RecordingStripChart::setChannelVisible(int channel, bool visible) {
  op("visible");
  at(channel).visible = visible;
}
void RecordingStripChart::setCurrentChannel(int channel) {
  op("current");
  at(channel);
  currentChannel = channel;
}
void RecordingStripChart::setLegendVisible(bool visible) {
  op("legend");
  legendVisible = visible;
}
void RecordingStripChart::setRegulationLines(int channel, bool showFirst, double first,
                                             int firstCode, bool showSecond, double second,
                                             int secondCode) {
  op("regulation lines");
  auto& l = at(channel).regulation;
  l[0] = {showFirst, first, firstCode, l[0].color};
  l[1] = {showSecond, second, secondCode, l[1].color};
}
void RecordingStripChart::setAlarmLines(int channel, bool showFirst, double first, int firstCode,
                                        bool showSecond, double second, int secondCode) {
  op("alarm lines");
  auto& l = at(channel).alarm;
  l[0] = {showFirst, first, firstCode, l[0].color};
  l[1] = {showSecond, second, secondCode, l[1].color};
}
void RecordingStripChart::setRegulationLineColors(int channel, ColorRef first, ColorRef second) {
  op("regulation colours");
  at(channel).regulation[0].color = first;
  at(channel).regulation[1].color = second;
}
void RecordingStripChart::setAlarmLineColors(int channel, ColorRef first, ColorRef second) {
  op("alarm colours");
  at(channel).alarm[0].color = first;
  at(channel).alarm[1].color = second;
}
int RecordingStripChart::newSample() {
  op("new sample");
  samples.emplace_back();
  return static_cast<int>(samples.size()) - 1;
}
void RecordingStripChart::setSampleValue(int channel, int sample, double value) {
  op("sample value");
  if (sample < 0 || sample >= static_cast<int>(samples.size()))
    throw ControlError("Invalid sample");
  at(channel);
  samples[static_cast<std::size_t>(sample)][static_cast<std::size_t>(channel)] = value;
}
void RecordingStripChart::setCapacity(int samplesPerChannel) {
  op("capacity");
  capacity = samplesPerChannel;
}
void RecordingStripChart::setBackgroundColors(ColorRef outer, ColorRef plot) {
  op("background");
  outerBackground = outer;
  plotBackground = plot;
}
void RecordingStripChart::setRunning(bool on) {
  op(on ? "run" : "stop");
  running = on;
}
void RecordingStripChart::prePrint() { op("pre-print"); }
void RecordingStripChart::setPrintSetting(bool) { op("print setting"); }
void RecordingStripChart::print() { op("print"); }
void RecordingStripChart::copyToClipboard() { op("copy"); }
void RecordingStripChart::saveBitmap(const std::string&) { op("save bitmap"); }
void RecordingStripChart::saveJpeg(const std::string&, int, bool) { op("save jpeg"); }
void RecordingStripChart::setMouseHandler(MouseHandler) { op("mouse handler"); }

}  // namespace km8::test
