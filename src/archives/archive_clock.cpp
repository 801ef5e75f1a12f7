#include "archives/archive_clock.h"

#include <chrono>

namespace km8 {

LocalDateTime UtcDateTimeOf(std::int64_t instant) {
  using namespace std::chrono;
  const sys_seconds at{seconds{instant}};
  const sys_days day = floor<days>(at);
  const year_month_day date{day};
  const hh_mm_ss time{at - day};
  return {.year = static_cast<int>(date.year()),
          .month = static_cast<int>(static_cast<unsigned>(date.month())),
          .day = static_cast<int>(static_cast<unsigned>(date.day())),
          .hour = static_cast<int>(time.hours().count()),
          .minute = static_cast<int>(time.minutes().count()),
          .second = static_cast<int>(time.seconds().count())};
}

std::int64_t SystemArchiveClock::now() const {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace km8
