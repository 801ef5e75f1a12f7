#include "plant/ui/plant_writer.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "plant/ui/plant_server.h"
#include "plant/ui/plant_spool.h"
#include "plant/ui/plant_threads.h"

namespace km8 {
namespace {

using Steady = std::chrono::steady_clock;
constexpr auto kSpoolRetry = std::chrono::seconds(1);

std::atomic<int> sendersLeftRunning{0};

// Gives up the oldest live rows of `pending` beyond `room` rows; how many it gave up.
std::int64_t trimmed(std::vector<std::vector<PlantRow>>& pending, std::int64_t& rows,
                     std::int64_t room) {
  std::int64_t given = 0;
  for (auto& submission : pending) {
    if (rows <= room) break;
    std::erase_if(submission, [&](const PlantRow& r) {
      if (rows <= room || r.table != PlantTable::Live) return false;
      --rows;
      ++given;
      return true;
    });
  }
  return given;
}

}  // namespace

struct PlantWriter::State {
  explicit State(PlantWriterSetup s) : setup(std::move(s)) {}
  const PlantWriterSetup setup;

  std::mutex mutex;
  std::condition_variable spoolWake;
  std::condition_variable sendWake;
  std::condition_variable ended;  // spoolEnded or senderEnded
  // Guarded by mutex:
  std::vector<std::vector<PlantRow>> queue;  // handed over, not yet taken by the spool
  bool stopping = false;
  PlantFeedStatus status;
  PlantOutageLog outages;
  std::vector<PlantRow> batch;  // the spool's oldest rows, offered to the sending thread
  std::int64_t batchLastId = -1;
  std::int64_t sentUpTo = -1;  // rows the server has committed, for the spool to delete
  std::int64_t socket = -1;    // of the sending thread's open connection
  std::unique_ptr<PlantServerCancel> cancel;  // of that connection
  bool spoolEnded = false;
  bool senderEnded = false;
  bool abandoned = false;

  void log(const std::optional<std::string>& line) const {
    if (line) setup.log(*line);
  }
};

PlantWriter::PlantWriter(PlantWriterSetup setup) {
  if (!setup.log) {
    setup.log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  }
  state_ = std::make_shared<State>(std::move(setup));
}

PlantWriter::~PlantWriter() { stop(); }

int PlantWriter::sendersLeft() { return sendersLeftRunning.load(); }

void PlantWriter::start() {
  if (started_) return;
  started_ = true;
  RunOnParkedThread([this, state = state_] {
    spool();
    std::lock_guard lock(state->mutex);  // the last use of this writer, which stop() awaits
    state->spoolEnded = true;
    state->ended.notify_all();
  });
  RunOnParkedThread([state = state_] { send(state); });
}

bool PlantWriter::stop() {
  State& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    s.stopping = true;
    // Both: a stalled server hears the cancel, a silent one cannot; wine's select() does not
    // hear the shutdown. The cancel makes a connection of its own, so it runs on a thread of
    // its own, which ends by itself.
    ShutDownSocket(s.socket);
    if (s.cancel) std::thread([cancel = std::move(s.cancel)] { cancel->cancel(); }).detach();
  }
  s.spoolWake.notify_all();
  s.sendWake.notify_all();
  if (!started_) return true;
  std::unique_lock lock(s.mutex);
  // The spooling thread only waits on the disk.
  s.ended.wait(lock, [&] { return s.spoolEnded; });
  if (!s.abandoned && !s.ended.wait_for(lock, s.setup.stopWait, [&] { return s.senderEnded; })) {
    s.abandoned = true;
    ++sendersLeftRunning;
  }
  return s.senderEnded;
}

void PlantWriter::submit(std::vector<PlantRow> rows) {
  if (rows.empty()) return;
  State& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    s.queue.push_back(std::move(rows));
  }
  s.spoolWake.notify_one();
}

PlantFeedStatus PlantWriter::status() const {
  std::lock_guard lock(state_->mutex);
  return state_->status;
}

// Each round commits what was handed over and deletes what the server has committed,
// then offers the oldest rows to the sending thread. A spool that cannot be written
// keeps its rows in memory and is tried again a second later.
void PlantWriter::spool() {
  State& s = *state_;
  PlantSpool spool(s.setup.log);
  spool.open(s.setup.spoolPath, s.setup.formerSpoolPath, s.setup.station);
  std::vector<std::vector<PlantRow>> pending;
  std::int64_t pendingRows = 0;
  std::int64_t toRemove = -1;  // rows up to this id, committed on the server
  bool offered = false;
  bool failing = false;  // the spool: tried again at retryAt
  Steady::time_point retryAt;
  while (true) {
    bool stopping = false;
    {
      std::unique_lock lock(s.mutex);
      auto ready = [&] {
        return s.stopping || !s.queue.empty() || s.sentUpTo >= 0 ||
               (!offered && !failing && spool.waiting() > 0);
      };
      if (failing) {
        s.spoolWake.wait_until(lock, retryAt, ready);
      } else {
        s.spoolWake.wait(lock, ready);
      }
      for (auto& rows : s.queue) {
        pendingRows += static_cast<std::int64_t>(rows.size());
        pending.push_back(std::move(rows));
      }
      s.queue.clear();
      if (s.sentUpTo >= 0) toRemove = std::exchange(s.sentUpTo, -1);
      stopping = s.stopping;
    }
    std::int64_t dropped = 0;
    std::string error;
    if (!failing || Steady::now() >= retryAt || stopping) {
      bool written = true;
      if (toRemove >= 0) {
        written = spool.remove(toRemove, error);
        if (written) {
          toRemove = -1;
          offered = false;
        }
      }
      if (written && !pending.empty()) {
        written = spool.append(pending, s.setup.spoolCapacity, dropped, error);
        if (written) {
          pending.clear();
          pendingRows = 0;
        }
      }
      if (written && !offered && !stopping && spool.waiting() > 0) {
        std::int64_t lastId = -1;
        std::vector<PlantRow> batch = spool.oldest(s.setup.batchRows, lastId);
        if (batch.empty() && spool.waiting() > 0) {
          written = false;
          error = "its rows cannot be read";
        } else if (!batch.empty()) {
          std::lock_guard lock(s.mutex);
          s.batch = std::move(batch);
          s.batchLastId = lastId;
          offered = true;
          s.sendWake.notify_one();
        }
      }
      failing = !written;
      retryAt = Steady::now() + kSpoolRetry;
    }
    // Held in memory, the rows may not outgrow the spool either.
    dropped += trimmed(pending, pendingRows, s.setup.spoolCapacity);
    std::optional<std::string> droppedLine, spoolLine;
    {
      std::lock_guard lock(s.mutex);
      s.status.rowsWaiting = spool.waiting();
      droppedLine = s.outages.dropped(s.status, dropped);
      spoolLine = failing ? s.outages.spoolFailed(
                                s.status, error.empty() ? s.status.spoolError : error, pendingRows)
                          : s.outages.spoolWritten(s.status);
    }
    s.log(droppedLine);
    s.log(spoolLine);
    if (stopping) break;
  }
  if (pendingRows > 0) {
    s.setup.log("km8-station: plant database: " + std::to_string(pendingRows) +
                " rows could not be put in the spool before the station ended");
  }
}

// Connects at once, then sends each batch the spool offers; after a failure or a
// refusal it keeps the batch and tries again after retryAfter.
void PlantWriter::send(std::shared_ptr<State> state) {
  State& s = *state;
  {
    PlantServer server(BoundedConnection(s.setup.connection));
    std::vector<PlantRow> batch;
    std::int64_t lastId = -1;
    bool retrying = false;  // tried again at retryAt
    Steady::time_point retryAt;
    bool connectNow = true;  // the first attempt is made at once, rows or not
    while (true) {
      {
        std::unique_lock lock(s.mutex);
        auto ready = [&] { return s.stopping || (batch.empty() && !s.batch.empty()); };
        if (retrying) {
          s.sendWake.wait_until(lock, retryAt, ready);
        } else if (!connectNow && batch.empty()) {
          s.sendWake.wait(lock, ready);
        }
        if (s.stopping) break;
        if (batch.empty() && !s.batch.empty()) {
          batch = std::exchange(s.batch, {});
          lastId = s.batchLastId;
        }
      }
      if (retrying && Steady::now() < retryAt) continue;
      connectNow = false;

      std::string error;
      PlantServer::Series refused;
      auto outcome = PlantServer::Outcome::Sent;
      if (!server.isOpen()) {
        if (server.connect(error)) {
          std::lock_guard lock(s.mutex);
          s.socket = server.socket();
          s.cancel = server.canceller();
          if (s.stopping) continue;  // ends at the top
        } else {
          outcome = PlantServer::Outcome::Failed;
        }
      }
      if (outcome == PlantServer::Outcome::Sent && !batch.empty()) {
        outcome = server.send(batch, error, refused);
      }
      std::optional<std::string> line;
      bool stopping = false;
      {
        std::lock_guard lock(s.mutex);
        stopping = s.stopping;
        switch (outcome) {
          case PlantServer::Outcome::Sent:
            if (!batch.empty()) {
              s.sentUpTo = lastId;
              s.status.rowsSent += static_cast<std::int64_t>(batch.size());
              s.spoolWake.notify_one();
            }
            line = s.outages.succeeded(s.status);
            batch.clear();
            break;
          case PlantServer::Outcome::Failed:
            s.socket = -1;  // before the connection closes, so that stop() never shuts another
            s.cancel.reset();
            line = s.outages.failed(s.status, error);
            break;
          case PlantServer::Outcome::Refused:
            line = s.outages.refused(s.status, refused.station, refused.instrument);
            break;
        }
      }
      if (outcome == PlantServer::Outcome::Failed) server.close();
      retrying = outcome != PlantServer::Outcome::Sent;
      retryAt = Steady::now() + s.setup.retryAfter;
      if (!stopping) s.log(line);  // after stop() nobody may be listening
    }
    std::lock_guard lock(s.mutex);
    s.socket = -1;
    s.cancel.reset();
  }
  std::lock_guard lock(s.mutex);
  s.senderEnded = true;
  if (s.abandoned) --sendersLeftRunning;
  s.ended.notify_all();
}

}  // namespace km8
