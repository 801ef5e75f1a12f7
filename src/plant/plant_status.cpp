#include "plant/plant_status.h"

#include <algorithm>

namespace km8 {

std::optional<std::string> PlantOutageLog::failed(PlantFeedStatus& status,
                                                  const std::string& reason) {
  status.reason = reason;
  if (status.state == PlantFeedState::Outage) return std::nullopt;
  status.state = PlantFeedState::Outage;
  return "km8-station: plant database unreachable: " + reason + "; " +
         std::to_string(status.rowsWaiting) + " rows waiting in the spool";
}

std::optional<std::string> PlantOutageLog::succeeded(PlantFeedStatus& status) {
  const bool wasOut = status.state == PlantFeedState::Outage;
  status.state = PlantFeedState::Feeding;
  status.reason.clear();
  if (!wasOut) return std::nullopt;
  return "km8-station: plant database reachable again; " + std::to_string(status.rowsWaiting) +
         " rows waiting in the spool are being sent";
}

std::optional<std::string> PlantOutageLog::dropped(PlantFeedStatus& status, std::int64_t rows) {
  status.rowsDropped += rows;
  if (rows <= 0 || droppedReported_) return std::nullopt;
  droppedReported_ = true;
  return "km8-station: plant database spool full (" + std::to_string(kSpoolCapacityRows) +
         " rows at most): the oldest live values are being dropped, archive records kept";
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
  }
  text +=
      "\nУ черзі: " + std::to_string(s.rowsWaiting) + ", надіслано: " + std::to_string(s.rowsSent);
  if (s.rowsDropped > 0) text += ", відкинуто: " + std::to_string(s.rowsDropped);
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
