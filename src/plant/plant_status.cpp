#include "plant/plant_status.h"

#include <algorithm>

#include "plant/plant_schema.h"

namespace km8 {

std::optional<std::string> PlantOutageLog::failed(PlantFeedStatus& status,
                                                  const std::string& reason) {
  status.reason = reason;
  if (status.state == PlantFeedState::Outage) return std::nullopt;
  status.state = PlantFeedState::Outage;
  return "km8-station: plant database unreachable: " + reason + "; " +
         std::to_string(status.rowsWaiting) + " rows waiting in the spool";
}

std::optional<std::string> PlantOutageLog::refused(PlantFeedStatus& status,
                                                   const std::string& station, int instrument) {
  const bool same = status.state == PlantFeedState::Refused && status.refusedStation == station &&
                    status.refusedInstrument == instrument;
  status.state = PlantFeedState::Refused;
  status.reason.clear();
  status.refusedStation = station;
  status.refusedInstrument = instrument;
  if (same) return std::nullopt;
  return "km8-station: plant database: another station already feeds station \"" + station +
         "\", instrument " + std::to_string(instrument) +
         "; this one does not (give each station a StationName of its own) and keeps its " +
         std::to_string(status.rowsWaiting) + " rows waiting in the spool";
}

std::optional<std::string> PlantOutageLog::newerSchema(PlantFeedStatus& status, int version) {
  const bool same = status.state == PlantFeedState::NewerSchema && status.schemaVersion == version;
  status.state = PlantFeedState::NewerSchema;
  status.reason.clear();
  status.schemaVersion = version;
  if (same) return std::nullopt;
  return "km8-station: plant database: its tables are of version " + std::to_string(version) +
         ", newer than this station's (" + std::to_string(kPlantSchemaVersion) +
         "); this one does not write to them (update the station) and keeps its " +
         std::to_string(status.rowsWaiting) + " rows waiting in the spool";
}

std::optional<std::string> PlantOutageLog::succeeded(PlantFeedStatus& status) {
  const PlantFeedState was = status.state;
  status.state = PlantFeedState::Feeding;
  status.reason.clear();
  status.refusedStation.clear();
  const std::string waiting = std::to_string(status.rowsWaiting);
  if (was == PlantFeedState::Outage) {
    return "km8-station: plant database reachable again; " + waiting +
           " rows waiting in the spool are being sent";
  }
  if (was == PlantFeedState::Refused) {
    return "km8-station: plant database: no other station feeds this one's series now; " + waiting +
           " rows waiting in the spool are being sent";
  }
  if (was == PlantFeedState::NewerSchema) {
    return "km8-station: plant database: its tables are of this station's version again; " +
           waiting + " rows waiting in the spool are being sent";
  }
  return std::nullopt;
}

std::optional<std::string> PlantOutageLog::dropped(PlantFeedStatus& status, std::int64_t rows) {
  status.rowsDropped += rows;
  if (rows <= 0 || droppedReported_) return std::nullopt;
  droppedReported_ = true;
  return "km8-station: plant database spool full (" + std::to_string(kSpoolCapacityRows) +
         " rows at most): the oldest live values are being dropped, archive records kept";
}

std::optional<std::string> PlantOutageLog::spoolFailed(PlantFeedStatus& status,
                                                       const std::string& reason,
                                                       std::int64_t held) {
  const bool started = status.spoolError.empty();
  status.spoolError = reason.empty() ? "no reason given" : reason;
  status.rowsUnspooled = held;
  if (!started) return std::nullopt;
  return "km8-station: plant database spool cannot be written (" + status.spoolError + "); " +
         std::to_string(held) + " rows held in memory, tried again every second";
}

std::optional<std::string> PlantOutageLog::spoolWritten(PlantFeedStatus& status) {
  const bool ended = !status.spoolError.empty();
  status.spoolError.clear();
  status.rowsUnspooled = 0;
  if (!ended) return std::nullopt;
  return "km8-station: plant database spool written again; " + std::to_string(status.rowsWaiting) +
         " rows waiting in the spool";
}

std::string PlantIndicatorText(const PlantFeedStatus& s) {
  std::string text;
  switch (s.state) {
    case PlantFeedState::Connecting:
      text = "База даних заводу: з'єднання...";
      break;
    case PlantFeedState::Feeding:
      text = "База даних заводу: дані надходять";
      break;
    case PlantFeedState::Outage:
      text = "База даних заводу недоступна: " + s.reason;
      break;
    case PlantFeedState::Refused:
      text = "База даних заводу: дані станції «" + s.refusedStation + "», прилад №" +
             std::to_string(s.refusedInstrument) + ", уже надсилає інша станція";
      break;
    case PlantFeedState::NewerSchema:
      text = "База даних заводу: її таблиці версії " + std::to_string(s.schemaVersion) +
             ", новішої за версію цієї станції (" + std::to_string(kPlantSchemaVersion) +
             "), дані не надсилаються";
      break;
  }
  text +=
      "\nУ черзі: " + std::to_string(s.rowsWaiting) + ", надіслано: " + std::to_string(s.rowsSent);
  if (s.rowsDropped > 0) text += ", відкинуто: " + std::to_string(s.rowsDropped);
  if (!s.spoolError.empty()) {
    text += "\nЧерга на диску не записується: " + s.spoolError +
            "; у пам'яті: " + std::to_string(s.rowsUnspooled);
  }
  return text;
}

SpoolRoom MakeSpoolRoom(std::int64_t capacity, std::int64_t live, std::int64_t archive,
                        std::int64_t incoming) {
  SpoolRoom room;
  const std::int64_t over = live + archive + incoming - capacity;
  if (over <= 0) return room;
  room.dropOldestLive = std::min(over, live);
  room.refuseIncoming = std::min(incoming, over - room.dropOldestLive);
  return room;
}

}  // namespace km8
