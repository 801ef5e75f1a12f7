// The archive chart itself: the listed records over their time, the legend's names
// switching traces, the wheel zooming about the pointer, a drag panning, a double click
// showing all, and the nearest record's time and eight values where the pointer hovers.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <span>

#include "archives/archive_time_view.h"
#include "archives/ui/archive_chart_scene.h"

namespace km8 {

class ArchiveChartWidget final : public QWidget {
  Q_OBJECT

 public:
  using Source = std::function<std::span<const ArchiveEntry>()>;  // newest first

  explicit ArchiveChartWidget(Source source, QWidget* parent = nullptr);

  // The source gained or lost rows; they are read again before the next drawing, which
  // comes at most four times a second while a reading adds rows.
  void recordsChanged();

  void setBackground(ColorRef colour);
  QImage renderPicture();  // the chart as shown, at its size, without the hover readout
  void renderScaled(QPainter& painter, const QRect& target);

  // For the window and for checks.
  const ArchiveChartScene& scene();
  const ArchiveTimeView& view();
  ChartLayout chartLayout();
  std::optional<std::size_t> hoveredEntry() const { return hovered_; }

  QSize sizeHint() const override { return {800, 480}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void refresh();  // reads the source again if it changed
  QSize pictureSize() const { return size().isEmpty() ? sizeHint() : size(); }
  void hoverAt(int x);
  void paintReadout(QPainter& painter, const ChartLayout& layout);

  Source source_;
  ArchiveChartScene scene_;
  ArchiveTimeView view_;
  bool stale_ = true;
  QTimer redraw_;
  std::optional<std::size_t> hovered_;
  std::optional<int> dragX_;  // the pointer's last column while a drag pans
};

}  // namespace km8
