// The writer's side of the PostgreSQL server, the one place that talks to it (libpq): the
// connection, the tables checked (made or upgraded only where they are missing or older),
// the series this connection feeds (an advisory lock each), and each batch of rows sent
// in one statement, archive readings matched against the rows stored first. Lives on the
// writer's sending thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>

#include "plant/plant_rows.h"
#include "plant/ui/plant_connection.h"

struct pg_conn;

namespace km8 {

class PlantServerCancel;

class PlantServer {
 public:
  explicit PlantServer(ConnectionParameters connection);  // as BoundedConnection gives it
  ~PlantServer();
  PlantServer(const PlantServer&) = delete;
  PlantServer& operator=(const PlantServer&) = delete;

  enum class Outcome { Done, Failed, Refused, NewerSchema };

  bool isOpen() const { return conn_ != nullptr; }
  // Connects; false with the reason in `error`, and the connection is to be closed.
  bool connect(std::string& error);
  // Looks at the tables of the open connection until they are of this station's version:
  // makes them where they are missing, upgrades older ones, and asks nothing more once
  // they are right. Done: rows may be sent. Failed: `error` says why, and the connection
  // is to be closed. NewerSchema: the tables are of schemaVersion(), which this station
  // does not know; the connection stays open, to look again.
  Outcome check(std::string& error);
  int schemaVersion() const { return schemaVersion_; }
  void close();
  // The open connection's socket, -1 without one: ShutDownSocket() from another thread
  // ends whatever call waits on it.
  std::int64_t socket() const;
  // What asks the server to cancel the statement under way on the open connection, from
  // any thread and for as long as it lives; null without a connection.
  std::unique_ptr<PlantServerCancel> canceller() const;

  struct Series {
    std::string station;
    int instrument = 0;
  };
  // Commits `rows` (oldest first, whole readings) once check() said Done: the live rows in
  // one statement, and with archive readings, in one transaction, the records of each
  // that the database lacks. Failed: `error` says why, and the connection is to be
  // closed. Refused: another connection feeds `refused`; nothing is sent.
  Outcome send(std::span<const PlantRow> rows, std::string& error, Series& refused);

 private:
  bool checkTables(std::string& error);
  bool sendReading(std::span<const PlantRow> reading, std::string& error);

  ConnectionParameters connection_;
  pg_conn* conn_ = nullptr;
  bool tablesChecked_ = false;
  int schemaVersion_ = 0;
  std::set<std::pair<std::string, int>> series_;  // locked by this connection
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
