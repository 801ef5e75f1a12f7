// The rows the station sends to the plant database: one per chart sample (live) and one
// per valid archive record, each stamped to the microsecond.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "monitor/sample_sinks.h"

namespace km8 {

enum class PlantTable : std::uint8_t { Live = 0, Archive = 1 };

struct PlantRow {
  PlantTable table = PlantTable::Live;
  std::string station;
  int instrument = 1;
  std::int64_t takenAtMicros = 0;                             // since 1970-01-01 00:00 UTC
  std::array<std::optional<float>, kChannelCount> degrees{};  // empty: NULL
  // Archive rows: the records of one reading share it (the spool gives it); 0 for live.
  std::int64_t reading = 0;

  bool operator==(const PlantRow&) const = default;
};

// Degrees as stored: a range marker (or beyond it) becomes NULL.
std::array<std::optional<float>, kChannelCount> StoredDegrees(const ChannelDegrees& degrees);

// Where the rows go: the writer's queue. Called on the user-interface thread; must not
// block on the network.
class PlantRowQueue {
 public:
  virtual ~PlantRowQueue() = default;
  virtual void submit(std::vector<PlantRow> rows) = 0;
};

inline constexpr std::int64_t kMicrosPerSecond = 1'000'000;

// Microseconds since 1970-01-01 00:00 UTC, now.
std::int64_t SystemUnixMicros();

// Turns the chart's samples and the completed archive readings into rows for the queue.
// A live row is stamped with the clock as it reads, to the microsecond: a clock set back
// stamps nothing in the future, and at that resolution its samples meet the earlier ones'
// stamps practically never (the same reading twice in a row gets a microsecond more).
class PlantFeed final : public LiveSampleSink, public ArchiveRecordSink {
 public:
  using Clock = std::function<std::int64_t()>;
  PlantFeed(std::string station, PlantRowQueue& queue, Clock clock = SystemUnixMicros);

  void onLiveSample(unsigned instrument, const ChannelDegrees& degrees) override;
  void onArchiveRead(unsigned instrument, std::span<const StampedDegrees> records) override;

  const std::string& station() const { return station_; }

 private:
  std::string station_;
  PlantRowQueue& queue_;
  Clock clock_;
  std::map<unsigned, std::int64_t> lastLive_;  // per instrument
};

}  // namespace km8
