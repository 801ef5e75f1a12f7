// Which records of an archive reading the plant database holds already. A record's stamp
// is the station's clock minus the instrument's archive age, so a later reading stamps the
// same records off by the drift between the two clocks (50 ppm is 30 s a week) and by any
// correction of the station's clock since; records of one reading are whole minutes
// apart, or share their stamp (an archive interval of 0).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "plant/plant_rows.h"

namespace km8 {

struct StoredArchiveRow {
  std::int64_t takenAtMicros = 0;
  int n = 0;
  std::array<std::optional<float>, kChannelCount> degrees{};
};

// How far apart the stamps of one record in two readings may lie: an hour.
inline constexpr std::int64_t kArchiveShiftLimitMicros = 3600 * kMicrosPerSecond;

// The stored rows of the reading's series that NewArchiveRows needs: those taken from
// `first` to `second`.
std::pair<std::int64_t, std::int64_t> ArchiveMatchSpan(std::span<const PlantRow> reading);

// For each record of `reading` (one reading, oldest first): nullopt when `stored` (the
// series' rows in ArchiveMatchSpan) has it already, else the ordinal n to store it with,
// one past any at its stamp. The reading's shift is the median over the records whose
// temperatures appear once within an hour on both sides; then each record is paired
// with the nearest unpaired stored one of equal temperatures within 3 s of it shifted
// back (within the hour when no record gives the shift), so that no stored row stands
// for two records.
std::vector<std::optional<int>> NewArchiveRows(std::span<const PlantRow> reading,
                                               std::span<const StoredArchiveRow> stored);

}  // namespace km8
