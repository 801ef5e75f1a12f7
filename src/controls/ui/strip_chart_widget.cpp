#include "controls/ui/strip_chart_widget.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "controls/ui/chart_picture.h"

namespace km8 {

namespace {

constexpr std::int64_t kIndexMask = 0x7FFFFFFF;

// Sample indexes handed out are the sequence numbers folded into a non-negative int.
int indexOf(std::int64_t seq) { return static_cast<int>(seq & kIndexMask); }

int buttonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    case Qt::XButton1:
      return 8;
    case Qt::XButton2:
      return 16;
    default:
      return 0;
  }
}

int shiftState(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

}  // namespace

StripChartWidget::StripChartWidget(QWidget* parent)
    : QWidget(parent),
      samples_(kChartChannels, kDefaultCapacity),
      clock_([] { return QDateTime::currentMSecsSinceEpoch(); }) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
}

StripChartWidget::~StripChartWidget() = default;

void StripChartWidget::changed() {
  if (updateDepth_ > 0) {
    dirty_ = true;
  } else {
    update();
  }
}

void StripChartWidget::beginUpdate() { ++updateDepth_; }

void StripChartWidget::endUpdate() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ == 0 && dirty_) {
    dirty_ = false;
    update();
  }
}

void StripChartWidget::resetAfterFailure() {
  // Whatever the failed batch changed stays; it is drawn once, and batching starts over.
  updateDepth_ = 0;
  dirty_ = false;
  update();
}

void StripChartWidget::setInteractionMode(int mode) {
  axis_.setMode(mode, newestTime());
  changed();
}

void StripChartWidget::setTimeAxis(double start, double spanDays) {
  axis_.setAxis(start, spanDays);
  changed();
}

void StripChartWidget::setValueRange(double minimum, double maximum) {
  if (std::isfinite(minimum) && std::isfinite(maximum)) {
    look_.valueMin = minimum;
    look_.valueMax = maximum;
  }
  changed();
}

void StripChartWidget::setValueMinimum(double minimum) {
  if (std::isfinite(minimum)) look_.valueMin = minimum;
  changed();
}

void StripChartWidget::setValueMaximum(double maximum) {
  if (std::isfinite(maximum)) look_.valueMax = maximum;
  changed();
}

ChartChannel& StripChartWidget::channelAt(int channel) {
  if (channel < 0 || channel >= kChartChannels) {
    throw ControlError("Invalid channel " + std::to_string(channel));
  }
  return look_.channels[static_cast<std::size_t>(channel)];
}

void StripChartWidget::setChannelColor(int channel, ColorRef color) {
  channelAt(channel).color = color & 0xFFFFFF;
  changed();
}

void StripChartWidget::setChannelVisible(int channel, bool visible) {
  channelAt(channel).visible = visible;
  changed();
}

void StripChartWidget::setCurrentChannel(int channel) {
  channelAt(channel);
  look_.currentChannel = channel;
  changed();
}

void StripChartWidget::setLegendVisible(bool visible) {
  look_.legendVisible = visible;
  changed();
}

void StripChartWidget::setRegulationLines(int channel, bool showFirst, double first, int firstCode,
                                          bool showSecond, double second, int secondCode) {
  auto& lines = channelAt(channel).regulation;
  lines[0] = {showFirst, first, firstCode, lines[0].color};
  lines[1] = {showSecond, second, secondCode, lines[1].color};
  changed();
}

void StripChartWidget::setAlarmLines(int channel, bool showFirst, double first, int firstCode,
                                     bool showSecond, double second, int secondCode) {
  auto& lines = channelAt(channel).alarm;
  lines[0] = {showFirst, first, firstCode, lines[0].color};
  lines[1] = {showSecond, second, secondCode, lines[1].color};
  changed();
}

void StripChartWidget::setRegulationLineColors(int channel, ColorRef first, ColorRef second) {
  auto& lines = channelAt(channel).regulation;
  lines[0].color = first & 0xFFFFFF;
  lines[1].color = second & 0xFFFFFF;
  changed();
}

void StripChartWidget::setAlarmLineColors(int channel, ColorRef first, ColorRef second) {
  auto& lines = channelAt(channel).alarm;
  lines[0].color = first & 0xFFFFFF;
  lines[1].color = second & 0xFFFFFF;
  changed();
}

int StripChartWidget::newSample() {
  const std::int64_t seq = samples_.append(clock_());
  changed();
  return indexOf(seq);
}

std::int64_t StripChartWidget::sequenceOf(int sample) const {
  if (sample >= 0 && !samples_.empty()) {
    const std::int64_t newest = samples_.endSeq() - 1;
    const std::int64_t seq = newest - ((indexOf(newest) - sample) & kIndexMask);
    if (samples_.contains(seq)) return seq;
  }
  throw ControlError("Invalid sample index " + std::to_string(sample));
}

void StripChartWidget::setSampleValue(int channel, int sample, double value) {
  channelAt(channel);
  const std::int64_t seq = sequenceOf(sample);
  // A double beyond float's range has no float value; it is a gap like NaN.
  const bool storable =
      std::isfinite(value) && std::abs(value) <= std::numeric_limits<float>::max();
  samples_.setValue(channel, seq,
                    storable ? static_cast<float>(value) : std::numeric_limits<float>::quiet_NaN());
  changed();
}

void StripChartWidget::setCapacity(int samplesPerChannel) {
  if (samplesPerChannel <= 0) {
    throw ControlError("Invalid capacity " + std::to_string(samplesPerChannel));
  }
  try {
    samples_.setCapacity(static_cast<std::size_t>(samplesPerChannel));
  } catch (const std::bad_alloc&) {
    throw ControlError("Not enough memory for " + std::to_string(samplesPerChannel) +
                       " samples per channel");
  } catch (const std::length_error&) {
    throw ControlError("Not enough memory for " + std::to_string(samplesPerChannel) +
                       " samples per channel");
  }
  changed();
}

void StripChartWidget::setBackgroundColors(ColorRef outer, ColorRef plot) {
  look_.outerBackground = outer & 0xFFFFFF;
  look_.plotBackground = plot & 0xFFFFFF;
  changed();
}

void StripChartWidget::setRunning(bool running) {
  axis_.setRunning(running, newestTime());
  changed();
}

void StripChartWidget::setClock(Clock clock) {
  if (clock) clock_ = std::move(clock);
}

std::int64_t StripChartWidget::newestTime() const {
  return samples_.empty() ? clock_() : samples_.time(samples_.endSeq() - 1);
}

TimeWindow StripChartWidget::visibleWindow() const { return axis_.visible(newestTime()); }

ChartLayout StripChartWidget::chartLayout() const { return renderer_.layout(look_, size()); }

QStringList StripChartWidget::timeAxisLabels() const {
  return ChartRenderer::timeLabels(look_, visibleWindow());
}

QSize StripChartWidget::pictureSize() const { return size().isEmpty() ? sizeHint() : size(); }

QImage StripChartWidget::renderPicture() const {
  const QSize size = pictureSize();
  QImage picture(size, QImage::Format_RGB32);
  if (picture.isNull()) return picture;
  QPainter painter(&picture);
  renderer_.paint(painter, size, look_, samples_, visibleWindow(), cursor_);
  return picture;
}

void StripChartWidget::renderScaled(QPainter& painter, const QRect& target) const {
  renderer_.paintScaled(painter, target, pictureSize(), look_, samples_, visibleWindow(), cursor_);
}

void StripChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  renderer_.paint(painter, size(), look_, samples_, visibleWindow(), cursor_);
}

QPrinter* StripChartWidget::printer() { return printer_.printer(); }

void StripChartWidget::prePrint() { printer_.printer(); }

void StripChartWidget::setPrintSetting(bool enabled) { printer_.setShowDialog(enabled); }

void StripChartWidget::print() {
  printer_.print(this,
                 [this](QPainter& painter, const QRect& target) { renderScaled(painter, target); });
}

void StripChartWidget::copyToClipboard() { copyPictureToClipboard(renderPicture()); }

void StripChartWidget::saveBitmap(const std::string& path) {
  savePictureAsBitmap(renderPicture(), path);
}

void StripChartWidget::saveJpeg(const std::string& path, int quality, bool progressive) {
  savePictureAsJpeg(renderPicture(), path, quality, progressive);
}

void StripChartWidget::setMouseHandler(MouseHandler handler) { mouseHandler_ = std::move(handler); }

void StripChartWidget::notifyMouse(QMouseEvent* event) {
  if (!mouseHandler_) return;
  const QPoint pos = event->position().toPoint();
  mouseHandler_(buttonCode(event->button()), shiftState(event->modifiers()), pos.x(), pos.y());
}

void StripChartWidget::placeCursor(int x) {
  const QRect plot = chartLayout().plot;
  cursor_.shown = true;
  cursor_.x = std::clamp(x, plot.left(), std::max(plot.left(), plot.right()));
  update();
}

void StripChartWidget::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton && chartLayout().plot.contains(pos)) placeCursor(pos.x());
  notifyMouse(event);
}

void StripChartWidget::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) && cursor_.shown) {
    placeCursor(event->position().toPoint().x());
  }
}

void StripChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    cursor_.shown = false;
    setInteractionMode(0);
  }
  notifyMouse(event);
}

void StripChartWidget::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  const QRect plot = chartLayout().plot;
  if (steps == 0.0 || plot.width() < 2) return;
  event->accept();
  if (axis_.mode() != kUserViewMode) setInteractionMode(kUserViewMode);
  // Zoom about the time under the pointer: one notch halves or doubles the span.
  axis_.zoom(steps, (event->position().x() - plot.left()) / plot.width(), newestTime());
  update();
}

}  // namespace km8
