// The writer's side of the PostgreSQL server, the one place that talks to it: the
// connection (Qt's QPSQL driver), the tables made or upgraded on connecting, the series
// this connection feeds (an advisory lock each), and the rows sent in one transaction.
// Lives on the writer's sending thread only.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>

#include "plant/plant_connection.h"
#include "plant/plant_rows.h"

class QSqlError;

namespace km8 {

class PlantServerCancel;

class PlantServer {
 public:
  explicit PlantServer(ConnectionParameters connection);  // as BoundedConnection gives it
  ~PlantServer();
  PlantServer(const PlantServer&) = delete;
  PlantServer& operator=(const PlantServer&) = delete;

  bool isOpen() const;
  // Connects, then makes or upgrades the tables. False with the reason in `error`.
  bool connect(std::string& error);
  void close();
  // The open connection's socket, -1 without one: ShutDownSocket() from another thread
  // ends whatever call waits on it.
  std::int64_t socket() const { return socket_; }
  // What asks the server to cancel the statement under way on the open connection, from
  // any thread and for as long as it lives; null without a connection.
  std::unique_ptr<PlantServerCancel> canceller() const;

  enum class Outcome { Sent, Failed, Refused };
  struct Series {
    std::string station;
    int instrument = 0;
  };
  // Commits `rows` (oldest first, whole readings) in one transaction on the open
  // connection: the live rows, and of each reading the records the database lacks.
  // Failed: `error` says why, and the connection is to be closed. Refused: another
  // connection feeds `refused`; nothing is sent.
  Outcome send(std::span<const PlantRow> rows, std::string& error, Series& refused);

 private:
  bool sendReading(std::span<const PlantRow> reading, QSqlError& error);
  Outcome failed(const QSqlError& error, std::string& out);

  ConnectionParameters connection_;
  QSqlDatabase db_;
  std::int64_t socket_ = -1;
  std::set<std::pair<std::string, int>> series_;  // locked by this connection
  std::optional<QSqlQuery> liveInsert_;           // prepared on the open connection
  std::optional<QSqlQuery> archiveInsert_;
  std::optional<QSqlQuery> storedArchive_;
  std::optional<QSqlQuery> seriesLock_;
};

class PlantServerCancel {
 public:
  ~PlantServerCancel();
  PlantServerCancel(const PlantServerCancel&) = delete;
  PlantServerCancel& operator=(const PlantServerCancel&) = delete;
  // A connection of its own to the server, which then ends the statement with an error.
  void cancel();

 private:
  friend class PlantServer;
  explicit PlantServerCancel(void* cancel) : cancel_(cancel) {}
  void* cancel_;  // libpq's PGcancel
};

// Shuts both directions of a socket of PlantServer::socket(), so that a call waiting on
// it returns at once with an error (not under wine, whose select() goes on waiting).
void ShutDownSocket(std::int64_t socket);

}  // namespace km8
