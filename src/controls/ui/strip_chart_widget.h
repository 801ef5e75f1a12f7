// The strip chart display control: up to eight temperature traces over a scrolling
// clock-time axis, with limit lines, legend and cursor; prints, copies and saves itself.
#pragma once

#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "controls/chart_time_axis.h"
#include "controls/display_controls.h"
#include "controls/sample_ring.h"
#include "controls/ui/chart_look.h"
#include "controls/ui/chart_printer.h"
#include "controls/ui/chart_renderer.h"

class QPrinter;

namespace km8 {

// Meanings this chart gives to the operations its owner drives:
// - Interaction mode 0 scrolls: the window shows the newest `span` of time, ending at
//   the newest sample (at the clock while there is none) or at start + span if later.
//   Mode 4 is the user's own view: the wheel zooms the time axis about the pointer and
//   freezes the window there; a left double-click goes back to mode 0. Other values
//   are kept and read back but behave as 0.
// - A left press (and drag) puts the red cursor on the plot, with the clock time and
//   the current channel's value at that column; a left double-click removes it.
// - Running false freezes the window where it is while samples keep being stored.
// - The pre-print operation prepares the printer (on first use: the default printer,
//   landscape, half-inch margins; later calls keep what the print dialog chose). Print
//   setting true makes print() show the print dialog first; cancelling it prints
//   nothing and is no error.
// - Every mouse press reaches the mouse handler: button 1 left, 2 right, 4 middle,
//   shift state 1 Shift, 2 Ctrl, 4 Alt, position in the chart.
// Invalid channels, sample indexes or capacities throw ControlError; values that are
// not finite are ignored (range, time axis) or stored as gaps (samples).
class StripChartWidget : public QWidget, public StripChart {
  Q_OBJECT

 public:
  using Clock = std::function<std::int64_t()>;  // milliseconds since the epoch
  static constexpr int kDefaultCapacity = 60000;
  static constexpr int kUserViewMode = ChartTimeAxis::kUserViewMode;

  explicit StripChartWidget(QWidget* parent = nullptr);
  ~StripChartWidget() override;

  void beginUpdate() override;
  void endUpdate() override;
  void resetAfterFailure() override;

  int interactionMode() const override { return axis_.mode(); }
  void setInteractionMode(int mode) override;

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
  void setRunning(bool running) override;

  void prePrint() override;
  void setPrintSetting(bool enabled) override;
  void print() override;
  void copyToClipboard() override;
  void saveBitmap(const std::string& path) override;
  void saveJpeg(const std::string& path, int quality, bool progressive) override;

  void setMouseHandler(MouseHandler handler) override;

  // For the owner and for checks.
  void setClock(Clock clock);
  const ChartLook& look() const { return look_; }
  const SampleRing& samples() const { return samples_; }
  bool isRunning() const { return axis_.running(); }
  bool printSetting() const { return printer_.showDialog(); }
  int updateDepth() const { return updateDepth_; }
  double timeAxisStart() const { return axis_.startDays(); }
  double timeAxisSpan() const { return axis_.spanDays(); }
  TimeWindow visibleWindow() const;
  ChartLayout chartLayout() const;
  QStringList timeAxisLabels() const;
  const ChartCursor& cursor() const { return cursor_; }
  QPrinter* printer();           // the printer print() uses, prepared on first use
  QImage renderPicture() const;  // the chart as shown, at its size
  // The chart as shown, scaled into the target with its proportions kept (as printed).
  void renderScaled(QPainter& painter, const QRect& target) const;

  QSize sizeHint() const override { return {400, 305}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void changed();
  ChartChannel& channelAt(int channel);
  std::int64_t sequenceOf(int sample) const;
  std::int64_t newestTime() const;  // of the newest sample; the clock while there is none
  QSize pictureSize() const;
  void notifyMouse(QMouseEvent* event);
  void placeCursor(int x);

  ChartLook look_;
  SampleRing samples_;
  mutable ChartRenderer renderer_;
  Clock clock_;
  MouseHandler mouseHandler_;
  int updateDepth_ = 0;
  bool dirty_ = false;
  ChartTimeAxis axis_;
  ChartCursor cursor_;
  ChartPrinter printer_;
};

}  // namespace km8
