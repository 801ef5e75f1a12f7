// The clock of the archive reading: the present instant, and an instant as local time
// under the platform's time-zone rules. Tests put a fixed clock in its place.
#pragma once

#include <cstdint>

#include "archives/archive_record.h"

namespace km8 {

// `instant` (seconds since 1970-01-01 00:00 UTC) in the local time zone, daylight saving
// included; the UTC date and time when the platform cannot convert it.
LocalDateTime LocalDateTimeOf(std::int64_t instant);

// `instant` as UTC, by the calendar alone.
LocalDateTime UtcDateTimeOf(std::int64_t instant);

class ArchiveClock {
 public:
  virtual ~ArchiveClock() = default;
  virtual std::int64_t now() const = 0;  // seconds since 1970-01-01 00:00 UTC
  virtual LocalDateTime toLocal(std::int64_t instant) const { return LocalDateTimeOf(instant); }
};

class SystemArchiveClock final : public ArchiveClock {
 public:
  std::int64_t now() const override;
};

}  // namespace km8
