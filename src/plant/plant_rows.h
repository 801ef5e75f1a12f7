// The rows the station sends to the plant database: one per chart sample (live) and one
// per valid archive record, each keyed by station, instrument and whole second.
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
  std::int64_t takenAt = 0;                                   // seconds since 1970-01-01 00:00 UTC
  std::array<std::optional<float>, kChannelCount> degrees{};  // empty: NULL

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

// Seconds since 1970-01-01 00:00 UTC, now.
std::int64_t SystemUnixSeconds();

// Turns the chart's samples and the completed archive readings into rows for the queue.
// A chart sample is taken at most every 998 ms, so two may fall in one whole second: the
// later is then stamped with the next second, and each sample keeps a row of its own.
class PlantFeed final : public LiveSampleSink, public ArchiveRecordSink {
 public:
  using Clock = std::function<std::int64_t()>;
  PlantFeed(std::string station, PlantRowQueue& queue, Clock clock = SystemUnixSeconds);

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
