// The plant database's writer: two threads of its own. The spooling thread commits every
// row handed over to the spool (PlantSpool) as it comes and never waits on the network;
// the sending thread takes the oldest rows from the spool, commits them on the server
// (PlantServer) and hands them back to be deleted, also after a restart. The user-interface
// thread only appends to an in-memory queue and never waits on the network or the disk.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plant/plant_rows.h"
#include "plant/plant_status.h"
#include "plant/ui/plant_connection.h"

namespace km8 {

struct PlantWriterSetup {
  ConnectionParameters connection = {};  // from UsableConnection(): no password
  std::string spoolPath = {};            // the SQLite file; created when missing
  std::int64_t spoolCapacity = kSpoolCapacityRows;
  std::chrono::milliseconds retryAfter{5000};  // after a failed connection or send
  int batchRows = 2000;                        // rows per transaction, unless a reading is longer
  // Each line (outage, refusal, spool full or failing); standard error by default.
  std::function<void(const std::string& line)> log = {};
  // Whose rows left in other spools (numbered ones beside spoolPath, and formerSpoolPath,
  // the one spool that stations sharing a settings folder used before) are taken over.
  std::string station = {};
  std::string formerSpoolPath = {};
  // How long stop() waits for a sending thread still in a server call that neither closing
  // its socket nor the server's cancel ends (a connection being made to a silent server).
  std::chrono::milliseconds stopWait{3000};
};

class PlantWriter final : public PlantRowQueue {
 public:
  explicit PlantWriter(PlantWriterSetup setup);
  ~PlantWriter() override;  // stop()
  PlantWriter(const PlantWriter&) = delete;
  PlantWriter& operator=(const PlantWriter&) = delete;

  void start();
  // Commits what is still queued to the spool and ends both threads' work; a server call
  // under way is cut short (its socket shut, the server asked to cancel it), and what it
  // was sending stays in the spool. False when the sending thread was still in a call
  // after stopWait: it is left to end by itself, and the process should end without
  // waiting for it. The threads themselves wait for other work (RunOnParkedThread).
  bool stop();

  void submit(std::vector<PlantRow> rows) override;
  PlantFeedStatus status() const;

  // Sending threads that stop() left running, in this process.
  static int sendersLeft();

 private:
  struct State;
  void spool();
  static void send(std::shared_ptr<State> state);

  std::shared_ptr<State> state_;  // shared with the sending thread, which may outlive this
  bool started_ = false;
};

}  // namespace km8
