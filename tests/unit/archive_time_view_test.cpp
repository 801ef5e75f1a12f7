// The archive chart's stretch of time: zoom about a point, pan, and both kept within the
// records and above the smallest span; a view showing all follows the records.
#include "archives/archive_time_view.h"

#include <gtest/gtest.h>

#include <functional>

namespace km8 {
namespace {

constexpr std::int64_t kMin = 60'000;
constexpr std::int64_t kHour = 60 * kMin;

TEST(ArchiveTimeView, ZoomAndPanStayWithinTheRecords) {
  struct Case {
    const char* name;
    std::function<void(ArchiveTimeView&)> act;
    TimeWindow window;
    bool all;
  };
  const Case cases[] = {
      {"one step in about the middle", [](auto& v) { v.zoom(1, 0.5); }, {kHour, 3 * kHour}, false},
      {"about the left end", [](auto& v) { v.zoom(1, 0.0); }, {0, 2 * kHour}, false},
      {"out past the records", [](auto& v) { v.zoom(-3, 0.3); }, {0, 4 * kHour}, true},
      {"in down to ten minutes",
       [](auto& v) { v.zoom(20, 0.5); },
       {2 * kHour - 5 * kMin, 2 * kHour + 5 * kMin},
       false},
      {"panned later past the end",
       [](auto& v) { v.zoom(1, 0.5), v.pan(5.0); },
       {2 * kHour, 4 * kHour},
       false},
      {"panned earlier past the start",
       [](auto& v) { v.zoom(2, 1.0), v.pan(-9.0); },
       {0, kHour},
       false},
      {"all again", [](auto& v) { v.zoom(2, 0.2), v.showAll(); }, {0, 4 * kHour}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ArchiveTimeView view;
    view.setExtent(0, 4 * kHour);
    c.act(view);
    EXPECT_EQ(view.window().start, c.window.start);
    EXPECT_EQ(view.window().end, c.window.end);
    EXPECT_EQ(view.showsAll(), c.all);
  }
}

TEST(ArchiveTimeView, AViewShowingAllFollowsTheRecordsAnotherStaysPut) {
  ArchiveTimeView view;
  view.setExtent(kHour, kHour);  // one record: ten minutes about it
  EXPECT_EQ(view.window().start, kHour - 5 * kMin);
  EXPECT_EQ(view.window().end, kHour + 5 * kMin);
  view.setExtent(0, kHour);
  EXPECT_EQ(view.window().start, 0);
  view.zoom(1, 1.0);
  const TimeWindow zoomed = view.window();
  view.setExtent(-kHour, kHour);  // older records arrived
  EXPECT_EQ(view.window().start, zoomed.start);
  EXPECT_EQ(view.window().end, zoomed.end);
}

}  // namespace
}  // namespace km8
