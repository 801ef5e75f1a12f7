// The plant database's writer: a thread of its own with its own connections, one to the
// PostgreSQL server (Qt's QPSQL driver) and one to the local spool (SQLite). Every row
// submitted goes into the spool first and leaves it only once the server has committed
// it; rows are sent oldest first, also after a restart. The user-interface thread only
// appends to an in-memory queue and never waits on the network or the disk.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plant/plant_connection.h"
#include "plant/plant_rows.h"
#include "plant/plant_status.h"

namespace km8 {

struct PlantWriterSetup {
  ConnectionParameters connection;  // from UsableConnection(): no password
  std::string spoolPath;            // the SQLite file; created when missing
  std::int64_t spoolCapacity = kSpoolCapacityRows;
  std::chrono::milliseconds retryAfter{5000};  // after a failed connection or send
  int batchRows = 2000;                        // rows per transaction at most
  // Each outage line (start, end, spool full); standard error by default.
  std::function<void(const std::string& line)> log;
};

class PlantWriter final : public PlantRowQueue {
 public:
  explicit PlantWriter(PlantWriterSetup setup);
  ~PlantWriter() override;  // stop()
  PlantWriter(const PlantWriter&) = delete;
  PlantWriter& operator=(const PlantWriter&) = delete;

  void start();
  // Puts what is still queued into the spool and ends the thread. A send under way is
  // finished first (bounded by the server's answer or libpq's connect_timeout).
  void stop();

  void submit(std::vector<PlantRow> rows) override;
  PlantFeedStatus status() const;

 private:
  class Connections;
  void run();
  void log(const std::string& line);

  PlantWriterSetup setup_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<PlantRow> queue_;  // guarded by mutex_
  bool stopping_ = false;        // guarded by mutex_
  PlantFeedStatus status_;       // guarded by mutex_
  PlantOutageLog outages_;       // guarded by mutex_
  std::thread thread_;
};

}  // namespace km8
