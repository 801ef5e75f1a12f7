#include <gtest/gtest.h>

#include <QDateTime>
#include <QEvent>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "controls/ui/color_ref.h"
#include "controls/ui/strip_chart_widget.h"
#include "qt/pixel_checks.h"

namespace km8 {
namespace {

using test::Count;
using test::Grab;

const QColor kQtYellow(255, 255, 0);
const QColor kQtRed(255, 0, 0);
constexpr double kMinuteDays = 1.0 / 1440.0;

// A 400 x 305 chart with a clock the test moves: one sample per second, one minute shown.
class StripChartDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    chart.resize(400, 305);
    chart.setClock([this] { return now; });
    chart.setTimeAxis(0.0, kMinuteDays);
    plot = chart.chartLayout().plot;
  }

  // Adds a sample one second after the last; NaN gives channel 0 no value in it.
  int add(double value, int channel = 0) {
    now += 1000;
    const int index = chart.newSample();
    if (!std::isnan(value)) chart.setSampleValue(channel, index, value);
    return index;
  }

  // The row of a value in the 0..100 range, counted independently of the chart.
  int rowOf(double value, double lo = 0.0, double hi = 100.0) const {
    return plot.top() +
           static_cast<int>(std::lround((hi - value) / (hi - lo) * (plot.height() - 1)));
  }
  // The column of the sample k seconds after the window's start, with 60 s shown.
  int columnOf(int k) const { return plot.left() + k * plot.width() / 60; }
  QRect row(int y) const { return QRect(plot.left(), y, plot.width(), 1); }

  std::int64_t now = QDateTime(QDate(2024, 3, 1), QTime(12, 0, 0)).toMSecsSinceEpoch();
  StripChartWidget chart;
  QRect plot;
};

TEST_F(StripChartDrawing, InitialLookIsBlackWithLimeClockAxisAndTitles) {
  EXPECT_EQ(chart.look().timeTitle, QStringLiteral("Час"));
  EXPECT_EQ(chart.look().valueTitle, QStringLiteral("Температура, °C"));
  EXPECT_EQ(chart.look().channels[0].name, "T1");
  EXPECT_EQ(chart.look().channels[7].name, "T8");
  EXPECT_EQ(chart.look().channels[7].color, kYellow);
  EXPECT_FALSE(chart.look().legendVisible);
  EXPECT_EQ(chart.look().cursorColor, kRed);
  EXPECT_EQ(chart.look().valueMin, 0.0);
  EXPECT_EQ(chart.look().valueMax, 100.0);
  EXPECT_EQ(chart.interactionMode(), 0);

  const QImage image = Grab(chart);
  EXPECT_TRUE(test::Is(image, 0, 0, Qt::black));
  EXPECT_TRUE(test::Is(image, plot.center().x(), plot.center().y(), Qt::black));
  EXPECT_GT(Count(image, QColor(0, 255, 0)), 300);  // axis frame, labels and titles
  EXPECT_EQ(Count(image, kQtYellow), 0);            // no data yet
  // Without samples the window ends at the clock.
  EXPECT_EQ(chart.timeAxisLabels().back(), "12:00:00");
  EXPECT_EQ(chart.timeAxisLabels().front(), "11:59:00");
}

TEST_F(StripChartDrawing, TraceSitsAtItsValueAndAMissingSampleLeavesAGap) {
  for (int k = 0; k <= 60; ++k) add(k == 30 ? std::nan("") : 50.0);
  const QImage image = Grab(chart);
  const QRect at50 = row(rowOf(50));
  EXPECT_GT(Count(image, kQtYellow, at50), plot.width() * 3 / 4);
  EXPECT_EQ(Count(image, kQtYellow, row(rowOf(50) - 3)), 0);
  // No yellow strictly between the samples on either side of the missing one ...
  const QRect gap(columnOf(29) + 1, plot.top(), columnOf(31) - columnOf(29) - 1, plot.height());
  ASSERT_GT(gap.width(), 2);
  EXPECT_EQ(Count(image, kQtYellow, gap), 0);
  // ... while the neighbouring stretch is joined up.
  const QRect joined(columnOf(20) + 1, at50.top(), columnOf(22) - columnOf(20) - 1, 1);
  EXPECT_EQ(Count(image, kQtYellow, joined), joined.width());
}

TEST_F(StripChartDrawing, HiddenChannelDrawsNothingAndCurrentChannelIsOnTop) {
  for (int k = 0; k <= 60; ++k) {
    const int index = add(40.0, 0);
    chart.setSampleValue(1, index, 40.0);
  }
  chart.setChannelColor(1, kRed);
  const QRect at40 = row(rowOf(40));
  chart.setCurrentChannel(1);
  QImage image = Grab(chart);
  EXPECT_GT(Count(image, kQtRed, at40), plot.width() * 3 / 4);
  EXPECT_EQ(Count(image, kQtYellow, at40), 0);
  chart.setCurrentChannel(0);
  image = Grab(chart);
  EXPECT_GT(Count(image, kQtYellow, at40), plot.width() * 3 / 4);
  EXPECT_EQ(Count(image, kQtRed, at40), 0);

  chart.setChannelVisible(0, false);
  chart.setChannelVisible(1, false);
  image = Grab(chart);
  EXPECT_EQ(Count(image, kQtYellow, plot), 0);
  EXPECT_EQ(Count(image, kQtRed, plot), 0);
  chart.setChannelVisible(1, true);
  EXPECT_GT(Count(Grab(chart), kQtRed, at40), plot.width() * 3 / 4);
}

TEST_F(StripChartDrawing, LimitLinesAppearAtTheirValuesInTheirColours) {
  chart.setAlarmLines(2, true, 80.0, 4, true, 20.0, 4);
  chart.setAlarmLineColors(2, kRed, kRed);
  chart.setRegulationLines(2, true, 60.0, 3, false, 10.0, 3);
  chart.setRegulationLineColors(2, 0x80FF80, 0x80FF80);
  const QColor lightGreen(128, 255, 128);
  QImage image = Grab(chart);
  EXPECT_EQ(Count(image, kQtRed, row(rowOf(80))), plot.width());
  EXPECT_EQ(Count(image, kQtRed, row(rowOf(20))), plot.width());
  EXPECT_EQ(Count(image, kQtRed, row(rowOf(50))), 0);
  const int dashed = Count(image, lightGreen, row(rowOf(60)));  // code 3: dashed
  EXPECT_GT(dashed, plot.width() / 3);
  EXPECT_LT(dashed, plot.width());
  EXPECT_EQ(Count(image, lightGreen, row(rowOf(10))), 0);  // second line not shown

  // A new range moves the lines; a hidden channel takes its lines along.
  chart.setValueRange(0.0, 200.0);
  image = Grab(chart);
  EXPECT_EQ(Count(image, kQtRed, row(rowOf(80, 0, 200))), plot.width());
  EXPECT_EQ(Count(image, kQtRed, row(rowOf(80))), 0);
  chart.setChannelVisible(2, false);
  EXPECT_EQ(Count(Grab(chart), kQtRed, plot), 0);
}

TEST_F(StripChartDrawing, ValueEndsMoveTheTraceAndBadRangesAreHarmless) {
  for (int k = 0; k <= 60; ++k) add(30.0);
  chart.setValueMinimum(20.0);
  chart.setValueMaximum(40.0);
  QImage image = Grab(chart);
  EXPECT_GT(Count(image, kQtYellow, row(rowOf(30, 20, 40))), plot.width() * 3 / 4);

  chart.setValueRange(std::nan(""), 50.0);  // ignored as a whole
  chart.setValueMaximum(std::numeric_limits<double>::infinity());
  EXPECT_EQ(chart.look().valueMin, 20.0);
  EXPECT_EQ(chart.look().valueMax, 40.0);
  chart.setValueRange(40.0, 20.0);  // reversed ends are put in order when drawn
  image = Grab(chart);
  EXPECT_GT(Count(image, kQtYellow, row(rowOf(30, 20, 40))), plot.width() * 3 / 4);
  chart.setValueRange(30.0, 30.0);  // an empty range still draws
  EXPECT_FALSE(Grab(chart).isNull());
}

TEST_F(StripChartDrawing, BackgroundsAndLegend) {
  for (int k = 0; k <= 60; ++k) add(50.0);
  chart.setBackgroundColors(kWhite, kWhite);
  QImage image = Grab(chart);
  EXPECT_TRUE(test::Is(image, 0, 0, Qt::white));
  EXPECT_TRUE(test::Is(image, plot.left() + 5, plot.top() + 5, Qt::white));
  chart.setBackgroundColors(kBlack, 0xFFFFFF);
  image = Grab(chart);
  EXPECT_TRUE(test::Is(image, 0, 0, Qt::black));
  EXPECT_TRUE(test::Is(image, plot.left() + 5, plot.top() + 5, Qt::white));

  chart.setBackgroundColors(kBlack, kBlack);
  const QRect before = chart.chartLayout().plot;
  chart.setChannelColor(3, 0xFFFF00);  // cyan
  chart.setLegendVisible(true);
  const ChartLayout withLegend = chart.chartLayout();
  ASSERT_FALSE(withLegend.legend.isEmpty());
  EXPECT_LT(withLegend.plot.right(), before.right());
  image = Grab(chart);
  EXPECT_GT(Count(image, QColor(0, 255, 255), withLegend.legend), 5);  // channel 4's swatch
  EXPECT_GT(test::CountNear(image, QColor(0, 255, 0), withLegend.legend, 100), 20);  // "T1" ...
  chart.setChannelVisible(3, false);
  EXPECT_EQ(Count(Grab(chart), QColor(0, 255, 255), withLegend.legend), 0);
}

TEST_F(StripChartDrawing, WindowScrollsWithTheNewestSampleUnlessFrozen) {
  chart.setTimeAxis(0.0, 5 * kMinuteDays);
  now += 4 * 60'000;
  add(20.0);  // 12:04:01
  EXPECT_EQ(chart.timeAxisLabels(),
            QStringList({"11:59:01", "12:00:16", "12:01:31", "12:02:46", "12:04:01"}));
  // A start later than the newest sample holds the window there.
  const double noonDays = static_cast<double>(now - 241'000) / 86'400'000.0;
  chart.setTimeAxis(noonDays, 10 * kMinuteDays);
  EXPECT_EQ(chart.timeAxisLabels().back(), "12:10:00");
  chart.setTimeAxis(0.0, 5 * kMinuteDays);

  chart.setRunning(false);
  add(21.0);
  add(22.0);
  EXPECT_EQ(chart.timeAxisLabels().back(), "12:04:01");
  EXPECT_EQ(chart.samples().size(), 3u);  // stored all the same
  chart.setRunning(true);
  EXPECT_EQ(chart.timeAxisLabels().back(), "12:04:03");

  chart.setInteractionMode(4);  // the user's own view holds as well
  add(23.0);
  EXPECT_EQ(chart.interactionMode(), 4);
  EXPECT_EQ(chart.timeAxisLabels().back(), "12:04:03");
  chart.setInteractionMode(0);
  EXPECT_EQ(chart.timeAxisLabels().back(), "12:04:04");

  chart.setTimeAxis(std::nan(""), -1.0);  // ignored
  EXPECT_EQ(chart.timeAxisSpan(), 5 * kMinuteDays);
}

TEST_F(StripChartDrawing, WheelZoomsIntoTheUsersViewAndDoubleClickResumes) {
  for (int k = 0; k <= 60; ++k) add(50.0);
  const QPoint middle = plot.center();
  QWheelEvent wheel(middle, chart.mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&chart, &wheel);
  EXPECT_EQ(chart.interactionMode(), 4);
  EXPECT_NEAR(static_cast<double>(chart.visibleWindow().span()), 30'000.0, 1.0);
  add(50.0);
  EXPECT_EQ(chart.visibleWindow().span(), 30'000);  // no scrolling in the user's view

  QTest::mouseDClick(&chart, Qt::LeftButton, Qt::NoModifier, middle);
  EXPECT_EQ(chart.interactionMode(), 0);
  EXPECT_EQ(chart.visibleWindow().span(), 60'000);
  EXPECT_EQ(chart.visibleWindow().end, now);
}

TEST_F(StripChartDrawing, LeftPressPlacesTheRedCursor) {
  for (int k = 0; k <= 60; ++k) add(50.0);
  const int x = plot.left() + plot.width() / 3;
  QTest::mousePress(&chart, Qt::LeftButton, Qt::NoModifier, QPoint(x, plot.center().y()));
  ASSERT_TRUE(chart.cursor().shown);
  const QImage image = Grab(chart);
  EXPECT_GT(Count(image, kQtRed, QRect(x, plot.top(), 1, plot.height())), plot.height() * 3 / 4);
  EXPECT_GT(test::CountNear(image, kQtRed, QRect(x + 1, plot.top(), plot.width() / 2, 20), 100),
            10);  // the readout
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(StripChartDrawing, ABatchRedrawsOnceAtItsOutermostEnd) {
  chart.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
  PaintCounter counter;
  chart.installEventFilter(&counter);
  QCoreApplication::processEvents();
  counter.paints = 0;

  chart.beginUpdate();
  chart.beginUpdate();
  const int index = chart.newSample();
  chart.setSampleValue(0, index, 12.0);
  chart.setValueRange(0.0, 50.0);
  chart.endUpdate();
  QCoreApplication::processEvents();  // e.g. a message box's loop in the middle of a batch
  EXPECT_EQ(counter.paints, 0);
  EXPECT_EQ(chart.updateDepth(), 1);
  chart.endUpdate();
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, 1);

  // A failed batch is closed by the reset and still drawn once.
  counter.paints = 0;
  chart.beginUpdate();
  chart.newSample();
  chart.resetAfterFailure();
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, 1);
  EXPECT_EQ(chart.updateDepth(), 0);
  chart.endUpdate();  // unbalanced: ignored
  EXPECT_EQ(chart.updateDepth(), 0);
  chart.removeEventFilter(&counter);
}

TEST_F(StripChartDrawing, CapacityKeepsTheNewestAndBadArgumentsThrow) {
  chart.setCapacity(100);
  int first = -1;
  int last = -1;
  for (int k = 0; k < 150; ++k) {
    last = add(1.0);
    if (k == 0) first = last;
  }
  EXPECT_EQ(chart.samples().size(), 100u);
  EXPECT_THROW(chart.setSampleValue(0, first, 5.0), ControlError);  // dropped
  EXPECT_NO_THROW(chart.setSampleValue(0, last - 99, 5.0));
  EXPECT_THROW(chart.setSampleValue(0, last + 1, 5.0), ControlError);
  EXPECT_THROW(chart.setSampleValue(8, last, 5.0), ControlError);
  EXPECT_THROW(chart.setChannelColor(-1, kRed), ControlError);
  EXPECT_THROW(chart.setCapacity(0), ControlError);
  try {
    chart.setCapacity(-5);
  } catch (const ControlError& e) {
    EXPECT_NE(std::string(e.what()).find("-5"), std::string::npos);
  }
  // Values a float cannot hold are gaps, not garbage.
  chart.setSampleValue(0, last, 1e300);
  EXPECT_TRUE(std::isnan(chart.samples().value(0, chart.samples().endSeq() - 1)));
  chart.setCapacity(60000);
  EXPECT_EQ(chart.samples().size(), 100u);
  EXPECT_NO_THROW(chart.setSampleValue(0, last, 7.0));
}

// The traces of a full ring (8 x 60000 samples over 281 columns) as the chart used to
// draw them, every stroke a line: per column one from the minimum to the maximum and
// one from the previous column's last value to this one's first. The renderer fills
// the vertical strokes as rectangles on images; the pixels must stay the same.
void drawStrokesAsLines(QPainter& painter, const StripChartWidget& chart) {
  const QRect plot = chart.chartLayout().plot;
  const auto [lo, hi] = ChartRenderer::drawnRange(chart.look());
  auto yOf = [&](double v) {
    const double reach = 4.0 * plot.height();
    const double y = plot.top() + (hi - v) / (hi - lo) * (plot.height() - 1);
    return static_cast<int>(std::lround(std::clamp(y, plot.top() - reach, plot.bottom() + reach)));
  };
  std::vector<std::int64_t> bounds(static_cast<std::size_t>(plot.width()) + 1);
  std::vector<ColumnSummary> columns(bounds.size() - 1);
  chart.samples().columnBounds(chart.visibleWindow().start, chart.visibleWindow().end, bounds);
  const int current = chart.look().currentChannel;
  std::vector<int> order;
  for (int ch = 0; ch < 8; ++ch) {
    if (ch != current) order.push_back(ch);
  }
  order.push_back(current);
  painter.setClipRect(plot);
  for (int ch : order) {
    chart.samples().summarize(ch, bounds, columns);
    painter.setPen(QPen(toQColor(chart.look().channels[static_cast<std::size_t>(ch)].color), 1));
    bool joined = false;
    QPoint previous;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const ColumnSummary& col = columns[c];
      if (!col.hasSamples) continue;
      if (!col.hasValue) {
        joined = false;
        continue;
      }
      const int x = plot.left() + static_cast<int>(c);
      const QPoint first(x, yOf(col.first));
      const bool linked = joined && !col.gapBefore;
      if (linked) painter.drawLine(previous, first);
      if (yOf(col.min) != yOf(col.max)) {
        painter.drawLine(x, yOf(col.min), x, yOf(col.max));
      } else if (!linked) {
        painter.drawPoint(first);
      }
      previous = QPoint(x, yOf(col.last));
      joined = !col.gapAfter;
    }
  }
}

TEST(StripChartStrokes, TracesDrawTheSamePixelsAsOneLinePerStroke) {
  // The full ring, and a few samples a column with noise wide enough that the joins
  // between columns leave their strokes.
  struct Case {
    int samples;
    double noise;
  };
  for (const Case& c : {Case{StripChartWidget::kDefaultCapacity, 1.0}, Case{1200, 40.0}}) {
    SCOPED_TRACE(c.samples);
    StripChartWidget chart;
    chart.resize(400, 305);
    std::int64_t now = QDateTime(QDate(2024, 3, 1), QTime(12, 0, 0)).toMSecsSinceEpoch();
    chart.setClock([&now] { return now; });
    chart.setCapacity(StripChartWidget::kDefaultCapacity);
    chart.setValueRange(20.0, 100.0);
    chart.setTimeAxis(0.0, c.samples / 86400.0);
    chart.setCurrentChannel(3);
    // Three slow waves with noise, every 97th reading missing, and on channel 5 readings
    // far off the range now and then, whose strokes the plot's edges cut.
    for (int i = 0; i < c.samples; ++i) {
      now += 1000;
      const int index = chart.newSample();
      for (int ch = 0; ch < 8; ++ch) {
        if ((i + ch) % 97 == 0) continue;
        double v = 60.0 + 30.0 * std::sin(6.0 * 3.14159265358979 * i / c.samples + ch) +
                   c.noise * ((i * 7919 + ch * 104729) % 100) / 100.0;
        if (ch == 5 && i % 500 == 17) v = i % 1000 == 17 ? 500.0 : -300.0;
        chart.setSampleValue(ch, index, v);
      }
    }
    const QImage drawn = chart.renderPicture();

    for (int ch = 0; ch < 8; ++ch) chart.setChannelVisible(ch, false);
    QImage expected = chart.renderPicture();
    for (int ch = 0; ch < 8; ++ch) chart.setChannelVisible(ch, true);
    {
      QPainter painter(&expected);
      drawStrokesAsLines(painter, chart);
    }
    int traced = 0;
    int different = 0;
    for (int y = 0; y < drawn.height(); ++y) {
      for (int x = 0; x < drawn.width(); ++x) {
        different += drawn.pixel(x, y) != expected.pixel(x, y);
        traced += test::Is(expected, x, y, toQColor(chart.look().channels[3].color));
      }
    }
    EXPECT_GT(traced, 1000);  // the current channel's trace is there to compare
    EXPECT_EQ(different, 0);
  }
}

}  // namespace
}  // namespace km8
