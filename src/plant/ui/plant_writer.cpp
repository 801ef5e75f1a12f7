#include "plant/ui/plant_writer.h"

#include <algorithm>
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
  std::int64_t queuedRows = 0;
  bool stopping = false;
  PlantFeedStatus status;
  PlantOutageLog outages;
  // The spool's next rows, offered to the sending thread while it sends those before.
  std::vector<PlantRow> batch;
  std::int64_t batchLastId = -1;
  std::int64_t sentUpTo = -1;  // rows the server has committed, for the spool to delete
  std::int64_t sentRows = 0;   // how many, since the spool last looked
  // What the spooling thread waits for: the others wake it only when it must act before
  // its next round (a second at most away), as a wake-up costs much of a live row's CPU.
  bool spoolIdle = false;      // nothing to do until rows come or the server confirms some
  std::int64_t spoolHeld = 0;  // rows it took and has not written yet
  bool spoolHasMore = false;   // rows in the spool not offered yet
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
  bool wake = false;
  {
    std::lock_guard lock(s.mutex);
    s.queuedRows += static_cast<std::int64_t>(rows.size());
    if (s.status.spoolError.empty()) s.status.rowsWaiting += static_cast<std::int64_t>(rows.size());
    s.queue.push_back(std::move(rows));
    // Otherwise the spooling thread writes them at its next round, within a second.
    wake = s.spoolIdle || s.spoolHeld + s.queuedRows >= s.setup.batchRows;
  }
  if (wake) s.spoolWake.notify_one();
}

PlantFeedStatus PlantWriter::status() const {
  std::lock_guard lock(state_->mutex);
  return state_->status;
}

// Each round commits, in one transaction, what was handed over and the deletion of what
// the server has committed, at most once a second unless a batch's worth is waiting; and
// offers the next rows to the sending thread whenever it has taken the last ones. A spool
// that cannot be written or read is tried again a second later, its rows held in memory.
void PlantWriter::spool() {
  State& s = *state_;
  PlantSpool spool(s.setup.log);
  spool.open(s.setup.spoolPath, s.setup.formerSpoolPath, s.setup.station);
  std::vector<std::vector<PlantRow>> pending;
  std::int64_t pendingRows = 0;
  std::int64_t sentUpTo = -1;    // to delete: rows up to this id, committed on the server
  std::int64_t sentRows = 0;     // how many of them
  std::int64_t offeredUpTo = 0;  // the newest row offered to the sending thread
  std::int64_t deletedUpTo = 0;  // the newest row confirmed and deleted
  bool failing = false;
  Steady::time_point nextWrite;  // a second after the last attempt
  while (true) {
    bool stopping = false;
    bool batchTaken = false;
    {
      std::unique_lock lock(s.mutex);
      auto something = [&] {
        return pendingRows > 0 || !s.queue.empty() || sentUpTo >= 0 || s.sentUpTo >= 0;
      };
      auto writeDue = [&] {
        return something() && (s.stopping || pendingRows + s.queuedRows >= s.setup.batchRows ||
                               Steady::now() >= nextWrite);
      };
      auto offerDue = [&] {
        return s.batch.empty() && spool.newestId() > offeredUpTo &&
               (!failing || Steady::now() >= nextWrite);
      };
      // Rows offered and not yet confirmed are deleted at the next round: it is awaited
      // unless it is due already, and then the confirmation is.
      const bool offered = offeredUpTo > deletedUpTo;
      s.spoolHeld = pendingRows;
      s.spoolHasMore = spool.newestId() > offeredUpTo;
      while (!s.stopping && !writeDue() && !offerDue()) {
        if (something() || failing || (offered && Steady::now() < nextWrite)) {
          s.spoolWake.wait_until(lock, nextWrite);
        } else {
          s.spoolIdle = true;
          s.spoolWake.wait(lock);
          s.spoolIdle = false;
        }
      }
      for (auto& rows : s.queue) pending.push_back(std::move(rows));
      pendingRows += std::exchange(s.queuedRows, 0);
      s.queue.clear();
      if (s.sentUpTo >= 0) {
        sentUpTo = std::exchange(s.sentUpTo, -1);
        sentRows += std::exchange(s.sentRows, 0);
      }
      stopping = s.stopping;
      batchTaken = s.batch.empty();
    }
    std::int64_t dropped = 0;
    std::string error;
    const bool due = stopping || pendingRows >= s.setup.batchRows || Steady::now() >= nextWrite;
    if ((pendingRows > 0 || sentUpTo >= 0) && due) {
      failing = !spool.write(pending, sentUpTo, s.setup.spoolCapacity, dropped, error);
      nextWrite = Steady::now() + kSpoolRetry;
      if (!failing) {
        deletedUpTo = std::max(deletedUpTo, sentUpTo);
        pending.clear();
        pendingRows = 0;
        sentUpTo = -1;
        sentRows = 0;
      }
    }
    if (!stopping && batchTaken && spool.newestId() > offeredUpTo &&
        (!failing || Steady::now() >= nextWrite)) {
      std::int64_t lastId = -1;
      std::vector<PlantRow> batch = spool.oldest(s.setup.batchRows, offeredUpTo, lastId);
      if (!batch.empty()) {
        failing = false;
        offeredUpTo = lastId;
        std::lock_guard lock(s.mutex);
        s.batch = std::move(batch);
        s.batchLastId = lastId;
        s.sendWake.notify_one();
      } else if (spool.waiting() > sentRows) {
        failing = true;
        error = "its rows cannot be read";
        nextWrite = Steady::now() + kSpoolRetry;
      } else {
        offeredUpTo = spool.newestId();  // none left after it: dropped from a full spool
      }
    }
    // Held in memory, the rows may not outgrow the spool either.
    dropped += trimmed(pending, pendingRows, s.setup.spoolCapacity);
    std::optional<std::string> droppedLine, spoolLine;
    {
      std::lock_guard lock(s.mutex);
      // Rows gathered for the next commit wait too; those a failing spool holds are
      // counted apart.
      s.status.rowsWaiting = std::max<std::int64_t>(0, spool.waiting() - sentRows - s.sentRows) +
                             (failing ? 0 : pendingRows + s.queuedRows);
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
    using Outcome = PlantServer::Outcome;
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
          if (s.spoolHasMore) s.spoolWake.notify_one();  // for the spool to offer the next
        }
      }
      if (retrying && Steady::now() < retryAt) continue;
      connectNow = false;

      std::string error;
      PlantServer::Series refused;
      auto outcome = Outcome::Done;
      if (!server.isOpen()) {
        if (server.connect(error)) {
          std::lock_guard lock(s.mutex);
          s.socket = server.socket();
          s.cancel = server.canceller();
          if (s.stopping) continue;  // ends at the top
        } else {
          outcome = Outcome::Failed;
        }
      }
      if (outcome == Outcome::Done) outcome = server.check(error);
      if (outcome == Outcome::Done && !batch.empty()) outcome = server.send(batch, error, refused);
      std::optional<std::string> line;
      bool stopping = false;
      {
        std::lock_guard lock(s.mutex);
        stopping = s.stopping;
        switch (outcome) {
          case Outcome::Done:
            if (!batch.empty()) {
              const auto rows = static_cast<std::int64_t>(batch.size());
              s.sentUpTo = lastId;
              s.sentRows += rows;
              s.status.rowsSent += rows;
              s.status.rowsWaiting = std::max<std::int64_t>(0, s.status.rowsWaiting - rows);
              if (s.spoolIdle) s.spoolWake.notify_one();
            }
            line = s.outages.succeeded(s.status);
            batch.clear();
            break;
          case Outcome::Failed:
            s.socket = -1;  // before the connection closes, so that stop() never shuts another
            s.cancel.reset();
            line = s.outages.failed(s.status, error);
            break;
          case Outcome::Refused:
            line = s.outages.refused(s.status, refused.station, refused.instrument);
            break;
          case Outcome::NewerSchema:
            line = s.outages.newerSchema(s.status, server.schemaVersion());
            break;
        }
      }
      if (outcome == Outcome::Failed) server.close();
      retrying = outcome != Outcome::Done;
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
