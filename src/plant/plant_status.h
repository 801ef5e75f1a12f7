// How the plant database is being fed, as the writer keeps it: the state, the rows
// waiting in the spool, the standard-error lines at the start and end of an outage, of a
// refusal and of a spool that cannot be written, the window's indicator text, and what
// the spool does when it is full.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace km8 {

// About 30 days of live values at one row a second.
inline constexpr std::int64_t kSpoolCapacityRows = 30LL * 24 * 3600;

// Refused: another station feeds the same station name and instrument, so this one
// does not. NewerSchema: the database's tables are of a version this station does not
// know, so it does not write to them.
enum class PlantFeedState : std::uint8_t { Connecting, Feeding, Outage, Refused, NewerSchema };

struct PlantFeedStatus {
  PlantFeedState state = PlantFeedState::Connecting;
  std::int64_t rowsWaiting = 0;    // in the spool, not yet confirmed by the server
  std::int64_t rowsSent = 0;       // confirmed since the start
  std::int64_t rowsDropped = 0;    // live rows given up because the spool was full
  std::int64_t rowsUnspooled = 0;  // handed over, held in memory until the spool takes them
  std::string reason;              // of the outage under way
  std::string refusedStation;      // of the refusal under way
  int refusedInstrument = 0;
  int schemaVersion = 0;   // of the newer tables found
  std::string spoolError;  // why the spool cannot be written; empty while it can
};

// The state changes and the lines they give (without the final '\n'): at most one when
// an outage, a refusal or a spool failure starts and one when it ends.
class PlantOutageLog {
 public:
  // A connection or a send failed. A line only when this starts an outage.
  std::optional<std::string> failed(PlantFeedStatus& status, const std::string& reason);
  // Another station holds the series. A line only when this starts a refusal.
  std::optional<std::string> refused(PlantFeedStatus& status, const std::string& station,
                                     int instrument);
  // The tables are of a newer `version` than this station's. A line only when this
  // starts such a refusal.
  std::optional<std::string> newerSchema(PlantFeedStatus& status, int version);
  // The server confirmed rows (or the connection was made). A line only when this
  // ends an outage or a refusal.
  std::optional<std::string> succeeded(PlantFeedStatus& status);
  // Rows were dropped from a full spool: a line the first time in a run.
  std::optional<std::string> dropped(PlantFeedStatus& status, std::int64_t rows);
  // The spool could not take `held` rows, kept in memory meanwhile. A line only when
  // this starts a failure.
  std::optional<std::string> spoolFailed(PlantFeedStatus& status, const std::string& reason,
                                         std::int64_t held);
  // The spool took every row held. A line only when this ends a failure.
  std::optional<std::string> spoolWritten(PlantFeedStatus& status);

 private:
  bool droppedReported_ = false;
};

// The main window's tooltip for the plant database.
std::string PlantIndicatorText(const PlantFeedStatus& status);

// What to make room for `incoming` new rows of one kind in a spool of `capacity` rows
// holding `live` live and `archive` archive rows: the oldest live rows are dropped
// first; archive rows are never dropped for new ones, and when only archive rows are
// left the new rows themselves are not kept.
struct SpoolRoom {
  std::int64_t dropOldestLive = 0;
  std::int64_t refuseIncoming = 0;  // of the new rows, the oldest this many are not kept
};
SpoolRoom MakeSpoolRoom(std::int64_t capacity, std::int64_t live, std::int64_t archive,
                        std::int64_t incoming);

}  // namespace km8
