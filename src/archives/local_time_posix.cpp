#include <time.h>

#include "archives/archive_clock.h"

namespace km8 {

LocalDateTime LocalDateTimeOf(std::int64_t instant) {
  const auto t = static_cast<time_t>(instant);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return UtcDateTimeOf(instant);
  return {.year = local.tm_year + 1900,
          .month = local.tm_mon + 1,
          .day = local.tm_mday,
          .hour = local.tm_hour,
          .minute = local.tm_min,
          .second = local.tm_sec};
}

}  // namespace km8
