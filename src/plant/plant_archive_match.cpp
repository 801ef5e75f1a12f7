#include "plant/plant_archive_match.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace km8 {
namespace {

using Degrees = std::array<std::optional<float>, kChannelCount>;
constexpr std::int64_t kSameRecordMicros = 3 * kMicrosPerSecond;

// The stamps of one set of rows, grouped by their temperatures, each group in time order.
class ByDegrees {
 public:
  template <class Row>
  explicit ByDegrees(std::span<const Row> rows, std::int64_t Row::*at) {
    for (std::size_t i = 0; i < rows.size(); ++i)
      groups_[rows[i].degrees].push_back({rows[i].*at, i});
    for (auto& [degrees, group] : groups_) std::sort(group.begin(), group.end());
  }

  // The rows of `degrees` taken from `from` to `to`: (stamp, index) pairs.
  std::span<const std::pair<std::int64_t, std::size_t>> within(const Degrees& degrees,
                                                               std::int64_t from,
                                                               std::int64_t to) const {
    const auto it = groups_.find(degrees);
    if (it == groups_.end()) return {};
    const auto& g = it->second;
    const auto lo = std::lower_bound(g.begin(), g.end(), std::pair{from, std::size_t{0}});
    const auto hi = std::upper_bound(g.begin(), g.end(), std::pair{to, SIZE_MAX});
    return {lo, hi};
  }

 private:
  std::map<Degrees, std::vector<std::pair<std::int64_t, std::size_t>>> groups_;
};

}  // namespace

std::pair<std::int64_t, std::int64_t> ArchiveMatchSpan(std::span<const PlantRow> reading) {
  std::int64_t first = INT64_MAX;
  std::int64_t last = INT64_MIN;
  for (const PlantRow& r : reading) {
    first = std::min(first, r.takenAtMicros);
    last = std::max(last, r.takenAtMicros);
  }
  const std::int64_t reach = kArchiveShiftLimitMicros + kSameRecordMicros;
  return {first - reach, last + reach};
}

std::vector<std::optional<int>> NewArchiveRows(std::span<const PlantRow> reading,
                                               std::span<const StoredArchiveRow> stored) {
  const ByDegrees readingGroups(reading, &PlantRow::takenAtMicros);
  const ByDegrees storedGroups(stored, &StoredArchiveRow::takenAtMicros);
  constexpr std::int64_t hour = kArchiveShiftLimitMicros;

  std::vector<std::int64_t> shifts;
  for (const PlantRow& r : reading) {
    const std::int64_t t = r.takenAtMicros;
    if (readingGroups.within(r.degrees, t - hour, t + hour).size() != 1) continue;
    const auto candidates = storedGroups.within(r.degrees, t - hour, t + hour);
    if (candidates.size() == 1) shifts.push_back(t - candidates[0].first);
  }
  std::int64_t shift = 0;
  std::int64_t tolerance = hour;
  if (!shifts.empty()) {
    std::nth_element(shifts.begin(), shifts.begin() + shifts.size() / 2, shifts.end());
    shift = shifts[shifts.size() / 2];
    tolerance = kSameRecordMicros;
  }

  std::vector<bool> paired(stored.size(), false);
  std::map<std::int64_t, int> nextN;  // per stamp: one past the highest ordinal there
  for (const StoredArchiveRow& s : stored)
    nextN[s.takenAtMicros] = std::max(nextN[s.takenAtMicros], s.n + 1);

  std::vector<std::optional<int>> out(reading.size());
  for (std::size_t i = 0; i < reading.size(); ++i) {
    const std::int64_t t = reading[i].takenAtMicros - shift;
    std::optional<std::size_t> best;
    std::int64_t bestDistance = 0;
    for (const auto& [at, index] :
         storedGroups.within(reading[i].degrees, t - tolerance, t + tolerance)) {
      const std::int64_t distance = std::llabs(at - t);
      if (!paired[index] && (!best || distance < bestDistance)) {
        best = index;
        bestDistance = distance;
      }
    }
    if (best) {
      paired[*best] = true;
    } else {
      out[i] = nextN[reading[i].takenAtMicros]++;
    }
  }
  return out;
}

}  // namespace km8
