#include "plant/plant_rows.h"

#include <chrono>
#include <utility>

namespace km8 {

std::array<std::optional<float>, kChannelCount> StoredDegrees(const ChannelDegrees& degrees) {
  std::array<std::optional<float>, kChannelCount> out{};
  for (int c = 0; c < kChannelCount; ++c) {
    const double v = degrees[c];
    if (v > LowMarker && v < HighMarker) out[c] = static_cast<float>(v);
  }
  return out;
}

std::int64_t SystemUnixMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

PlantFeed::PlantFeed(std::string station, PlantRowQueue& queue, Clock clock)
    : station_(std::move(station)), queue_(queue), clock_(std::move(clock)) {}

void PlantFeed::onLiveSample(unsigned instrument, const ChannelDegrees& degrees) {
  std::int64_t at = clock_();
  if (const auto it = lastLive_.find(instrument); it != lastLive_.end() && at == it->second) {
    at = it->second + 1;
  }
  lastLive_[instrument] = at;
  std::vector<PlantRow> rows(1);
  rows[0] = {.table = PlantTable::Live,
             .station = station_,
             .instrument = static_cast<int>(instrument),
             .takenAtMicros = at,
             .degrees = StoredDegrees(degrees)};
  queue_.submit(std::move(rows));
}

void PlantFeed::onArchiveRead(unsigned instrument, std::span<const StampedDegrees> records) {
  if (records.empty()) return;
  std::vector<PlantRow> rows;
  rows.reserve(records.size());
  // Oldest first, as everything is sent.
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    rows.push_back({.table = PlantTable::Archive,
                    .station = station_,
                    .instrument = static_cast<int>(instrument),
                    .takenAtMicros = it->instant * kMicrosPerSecond,
                    .degrees = StoredDegrees(it->degrees)});
  }
  queue_.submit(std::move(rows));
}

}  // namespace km8
