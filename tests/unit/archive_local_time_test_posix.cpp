// Archive timestamps across daylight-saving changes, under a time zone set by the test.
#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

#include "archive_reading_fixture.h"

namespace km8 {
namespace {

using test::utcInstant;

// Eastern European rules: summer time from the last Sunday of March, 01:00 UTC, to the
// last Sunday of October, 01:00 UTC.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (old_) {
      setenv("TZ", old_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

constexpr char kEasternEurope[] = "EET-2EEST,M3.5.0/3,M10.5.0/4";

TEST_F(ArchiveReadingTest, AReadingAcrossTheAutumnChangeStampsTrueLocalTimes) {
  ScopedTimeZone zone(kEasternEurope);
  clock.utc = false;
  clock.at = utcInstant(2026, 10, 25, 1, 30, 0);  // 03:30 winter time, half an hour after
  ageBytes = {0, 0, 0, 0};
  archive.assign(5, test::recordOf(0, 30));
  start(ArchiveMode::View, 5);
  serveToTheEnd();
  // Half-hour steps back in real time: the clock shows 03:00 twice.
  const char* shown[] = {"03:30  25.10", "03:00  25.10", "03:30  25.10", "03:00  25.10",
                         "02:30  25.10"};
  ASSERT_EQ(list.entries.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.row(i)[1], shown[i]) << "record " << i;
}

}  // namespace
}  // namespace km8
