// The archive chart's pixels: traces broken at a reset marker (all) and at a range
// marker (its channel only), a legend name switching its trace, and rows that keep
// arriving while a reading goes on.
#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "archives/ui/archive_chart_widget.h"
#include "qt/pixel_checks.h"
#include "support/archive_entries.h"
#include "support/archive_fakes.h"

namespace km8 {
namespace {

using test::Count;
using test::Grab;

const QColor kT1Yellow(255, 255, 0);
const QColor kT2Red(255, 0, 0);
const std::int64_t kNewest = test::utcInstant(2026, 12, 7, 12, 0, 0);

// Record k (newest first), a minute after record k + 1: T1 at 50.0, T2 at 30.0, the
// other channels out of range. Record 20 is a reset marker, stamped (as a reading stamps
// it) with the time of the record before it; record 40 has T2 out of range.
ArchiveEntry Record(int k) {
  if (k == 20) return test::StampedEntry(0xEF, {}, kNewest - 21 * 60);
  const std::int16_t t2 = k == 40 ? 32000 : 300;
  return test::StampedEntry(0, {500, t2, 32000, 32000, 32000, 32000, 32000, 32000},
                            kNewest - k * 60);
}

class ArchiveChartDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k <= 60; ++k) entries.push_back(Record(k));
    chart.resize(800, 480);
    plot = chart.chartLayout().plot;
  }

  // The column of record k's minute and the row of a value, counted independently of
  // the chart: the hour shown spans the plot, 20 to 60 degrees its height.
  int columnOf(int k) const {
    return plot.left() + static_cast<int>((60 - k) * static_cast<std::int64_t>(plot.width()) / 60);
  }
  int rowOf(double value) const {
    return plot.top() + static_cast<int>(std::lround((60.0 - value) / 40.0 * (plot.height() - 1)));
  }
  // Everything strictly between the columns of records `older` and `newer`.
  QRect between(int older, int newer) const {
    return QRect(columnOf(older) + 1, plot.top(), columnOf(newer) - columnOf(older) - 1,
                 plot.height());
  }

  std::vector<ArchiveEntry> entries;
  ArchiveChartWidget chart{[this] { return std::span<const ArchiveEntry>(entries); }};
  QRect plot;
};

TEST_F(ArchiveChartDrawing, MarkersBreakTracesAndLegendNamesSwitchThem) {
  ASSERT_EQ(chart.scene().look().valueMin, 20.0);  // below 30 and above 50, in steps of 10
  ASSERT_EQ(chart.scene().look().valueMax, 60.0);
  QImage image = Grab(chart);

  // Joined where nothing intervenes, both traces at their values.
  const QRect joined = between(31, 29);
  ASSERT_GT(joined.width(), 10);
  EXPECT_EQ(Count(image, kT1Yellow, joined.adjusted(0, rowOf(50) - joined.top(), 0, 0)),
            Count(image, kT1Yellow, joined));
  EXPECT_EQ(Count(image, kT1Yellow, QRect(joined.left(), rowOf(50), joined.width(), 1)),
            joined.width());
  EXPECT_EQ(Count(image, kT2Red, QRect(joined.left(), rowOf(30), joined.width(), 1)),
            joined.width());
  // The reset marker breaks both, from the record before it to the one after.
  EXPECT_EQ(Count(image, kT1Yellow, between(21, 19)), 0);
  EXPECT_EQ(Count(image, kT2Red, between(21, 19)), 0);
  // T2 out of range breaks T2 alone, over both minutes around that record.
  EXPECT_EQ(Count(image, kT2Red, between(41, 39)), 0);
  const QRect t1Around40(columnOf(41) + 1, rowOf(50), columnOf(39) - columnOf(41) - 1, 1);
  EXPECT_EQ(Count(image, kT1Yellow, t1Around40), t1Around40.width());

  // Clicking T1 in the legend hides its trace and fits the axis to T2 alone; its name
  // stays there to bring it back.
  const QRect t1Name = ChartRenderer::legendRows(chart.scene().look(), chart.chartLayout())[0];
  ASSERT_FALSE(t1Name.isEmpty());
  QTest::mouseClick(&chart, Qt::LeftButton, {}, t1Name.center());
  EXPECT_EQ(Count(Grab(chart), kT1Yellow, plot), 0);
  EXPECT_EQ(chart.scene().look().valueMax, 40.0);
  QTest::mouseClick(&chart, Qt::LeftButton, {}, t1Name.center());
  EXPECT_GT(Count(Grab(chart), kT1Yellow, plot), plot.width() / 2);
}

TEST_F(ArchiveChartDrawing, FollowsRowsStillArrivingUnlessZoomed) {
  const TimeWindow hour = chart.view().window();
  EXPECT_EQ(hour.start, (kNewest - 3600) * 1000);
  EXPECT_EQ(hour.end, kNewest * 1000);
  // A reading adds older records as it goes: the chart shows them all.
  entries.push_back(Record(61));
  chart.recordsChanged();
  EXPECT_EQ(chart.view().window().start, (kNewest - 61 * 60) * 1000);
  EXPECT_EQ(chart.scene().entryCount(), 62u);

  // Zoomed in about the pointer, it stays where the user put it.
  QWheelEvent wheel(QPointF(plot.center()), chart.mapToGlobal(QPointF(plot.center())), {}, {0, 120},
                    Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&chart, &wheel);
  const TimeWindow zoomed = chart.view().window();
  EXPECT_NEAR(static_cast<double>(zoomed.span()), 61 * 60'000 / 2.0, 1.0);
  entries.push_back(Record(62));
  chart.recordsChanged();
  EXPECT_EQ(chart.view().window().start, zoomed.start);
  QTest::mouseDClick(&chart, Qt::LeftButton, {}, plot.center());
  EXPECT_EQ(chart.view().window().start, (kNewest - 62 * 60) * 1000);
}

}  // namespace
}  // namespace km8
