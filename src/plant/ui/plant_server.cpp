#include "plant/ui/plant_server.h"

#include <libpq-fe.h>

#include <cstring>
#include <optional>
#include <vector>

#include "plant/plant_archive_match.h"
#include "plant/plant_row_arrays.h"
#include "plant/plant_schema.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace km8 {
namespace {

// The statements prepared on each connection.
constexpr const char* kLiveInsert = "km8_insert_live";
constexpr const char* kArchiveInsert = "km8_insert_archive";
constexpr const char* kStoredArchive = "km8_stored_archive";
constexpr const char* kSeriesLock = "km8_lock_series";

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// One line: the server's reasons may run over several.
std::string oneLine(const char* text) {
  std::string out;
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    const bool space = *p == ' ' || *p == '\n' || *p == '\r' || *p == '\t';
    if (!space) {
      out += *p;
    } else if (!out.empty() && out.back() != ' ') {
      out += ' ';
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out.empty() ? "no answer from the server" : out;
}

bool succeeded(const Result& r) {
  const ExecStatusType status = PQresultStatus(r.get());
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

// The statement's result; on failure nullopt and the reason in `error`.
std::optional<Result> run(PGconn* conn, Result r, std::string& error) {
  if (r && succeeded(r)) return r;
  const char* reason = r ? PQresultErrorMessage(r.get()) : "";
  error = oneLine(*reason != '\0' ? reason : PQerrorMessage(conn));
  return std::nullopt;
}

std::optional<Result> exec(PGconn* conn, std::string_view sql, std::string& error) {
  return run(conn, Result(PQexec(conn, std::string(sql).c_str()), &PQclear), error);
}

std::optional<Result> execPrepared(PGconn* conn, const char* name,
                                   const std::vector<const char*>& values, std::string& error,
                                   int resultFormat = 0) {
  return run(conn,
             Result(PQexecPrepared(conn, name, static_cast<int>(values.size()), values.data(),
                                   nullptr, nullptr, resultFormat),
                    &PQclear),
             error);
}

// A column of a binary result: big-endian, as the server sends it.
std::uint64_t bigEndian(const char* data, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(data[i]);
  return v;
}

float binaryFloat(const char* data) {
  const auto bits = static_cast<std::uint32_t>(bigEndian(data, 4));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Sends the rows of `arrays` with the prepared insert `name`; the archive's takes n too.
bool insert(PGconn* conn, const char* name, const PlantRowArrays& arrays, bool withOrdinal,
            std::string& error) {
  const auto literals = arrays.literals();
  std::vector<const char*> values;
  for (int c = 0; c < PlantRowArrays::kColumns - (withOrdinal ? 0 : 1); ++c)
    values.push_back(literals[c].c_str());
  return execPrepared(conn, name, values, error).has_value();
}

}  // namespace

PlantServer::PlantServer(ConnectionParameters connection) : connection_(std::move(connection)) {
  // The station writes UTF-8 whatever the setting says; it names itself where the
  // setting does not.
  std::erase_if(connection_, [](const auto& p) { return p.first == "client_encoding"; });
  connection_.emplace_back("client_encoding", "UTF8");
  if (!ParameterValue(connection_, "application_name")) {
    connection_.emplace_back("fallback_application_name", "km8-station");
  }
}

PlantServer::~PlantServer() { close(); }

void PlantServer::close() {
  series_.clear();
  tablesChecked_ = false;
  if (conn_ != nullptr) PQfinish(conn_);
  conn_ = nullptr;
}

std::int64_t PlantServer::socket() const { return conn_ != nullptr ? PQsocket(conn_) : -1; }

bool PlantServer::connect(std::string& error) {
  close();
  std::vector<const char*> keys, values;
  for (const auto& [key, value] : connection_) {
    keys.push_back(key.c_str());
    values.push_back(value.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  conn_ = PQconnectdbParams(keys.data(), values.data(), 0);
  if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
    error = conn_ != nullptr ? oneLine(PQerrorMessage(conn_)) : "out of memory";
    return false;
  }
  // The notices of what is there already (CREATE ... IF NOT EXISTS) say nothing new.
  PQsetNoticeProcessor(
      conn_, [](void*, const char*) {}, nullptr);
  return true;
}

PlantServer::Outcome PlantServer::check(std::string& error) {
  if (!tablesChecked_ && !checkTables(error)) return Outcome::Failed;
  return schemaVersion_ == kPlantSchemaVersion ? Outcome::Done : Outcome::NewerSchema;
}

// Reads, and makes or upgrades only where needed, so that a role that may only insert
// into the administrator's tables never meets a statement it may not run.
bool PlantServer::checkTables(std::string& error) {
  auto there = exec(conn_, kPlantTablesQuery, error);
  if (!there) return false;
  bool all = true;
  for (int c = 0; c < 3; ++c) all = all && std::strcmp(PQgetvalue(there->get(), 0, c), "t") == 0;
  if (!all) {
    if (!exec(conn_, PlantTablesStatements(), error)) {  // one implicit transaction
      error = "its tables are missing and cannot be made: " + error;
      return false;
    }
  }
  auto readVersion = [&]() -> std::optional<int> {
    auto v = exec(conn_, kPlantSchemaVersionQuery, error);
    if (!v) return std::nullopt;
    if (PQgetisnull(v->get(), 0, 0)) {
      error = "its table km8_schema holds no version";
      return std::nullopt;
    }
    return std::atoi(PQgetvalue(v->get(), 0, 0));
  };
  auto version = readVersion();
  if (!version) return false;
  if (*version < kPlantSchemaVersion) {
    // Read again under the lock: another station may have upgraded meanwhile. An upgrade
    // reads and indexes a table of years once, which may take longer than the statement
    // time-out allows; stopping the station still cancels it.
    if (!exec(conn_, "BEGIN", error) || !exec(conn_, "SET LOCAL statement_timeout = 0", error) ||
        !exec(conn_, kPlantSchemaLock, error) || !(version = readVersion())) {
      return false;
    }
    const int from = *version;
    while (*version < kPlantSchemaVersion && !PlantSchemaUpgrade(*version).empty()) {
      for (std::string_view statement : PlantSchemaUpgrade(*version)) {
        if (!exec(conn_, statement, error)) {
          error = "its tables of version " + std::to_string(from) + " cannot be upgraded: " + error;
          return false;
        }
      }
      ++*version;
    }
    if (!exec(conn_, "COMMIT", error)) return false;
    if (*version < kPlantSchemaVersion) {
      error = "its tables are of version " + std::to_string(*version) + ", this station's are of " +
              std::to_string(kPlantSchemaVersion);
      return false;
    }
  }
  schemaVersion_ = *version;
  if (schemaVersion_ != kPlantSchemaVersion) return true;  // newer: looked at again later
  const std::pair<const char*, std::string_view> statements[] = {
      {kLiveInsert, PlantInsertStatement(PlantTable::Live)},
      {kArchiveInsert, PlantInsertStatement(PlantTable::Archive)},
      {kStoredArchive, kPlantStoredArchiveQuery},
      {kSeriesLock, kPlantSeriesLockQuery},
  };
  for (const auto& [name, text] : statements) {
    if (!run(conn_, Result(PQprepare(conn_, name, std::string(text).c_str(), 0, nullptr), &PQclear),
             error)) {
      return false;
    }
  }
  tablesChecked_ = true;
  return true;
}

PlantServer::Outcome PlantServer::send(std::span<const PlantRow> rows, std::string& error,
                                       Series& refused) {
  for (const PlantRow& r : rows) {
    if (series_.contains({r.station, r.instrument})) continue;
    const std::string instrument = std::to_string(r.instrument);
    const auto mine =
        execPrepared(conn_, kSeriesLock, {r.station.c_str(), instrument.c_str()}, error);
    if (!mine) return Outcome::Failed;
    if (std::strcmp(PQgetvalue(mine->get(), 0, 0), "t") != 0) {
      refused = {r.station, r.instrument};
      return Outcome::Refused;
    }
    series_.insert({r.station, r.instrument});
  }
  PlantRowArrays live;
  for (const PlantRow& r : rows)
    if (r.table == PlantTable::Live) live.add(r);
  // Live rows alone: one statement, its own transaction.
  if (static_cast<std::size_t>(live.rows()) == rows.size()) {
    return insert(conn_, kLiveInsert, live, false, error) ? Outcome::Done : Outcome::Failed;
  }
  if (!exec(conn_, "BEGIN", error)) return Outcome::Failed;
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t end = i + 1;
    if (rows[i].table == PlantTable::Archive) {
      while (end < rows.size() && rows[end].table == PlantTable::Archive &&
             rows[end].reading == rows[i].reading)
        ++end;
      if (!sendReading(rows.subspan(i, end - i), error)) return Outcome::Failed;
    }
    i = end;
  }
  if (live.rows() > 0 && !insert(conn_, kLiveInsert, live, false, error)) return Outcome::Failed;
  return exec(conn_, "COMMIT", error) ? Outcome::Done : Outcome::Failed;
}

bool PlantServer::sendReading(std::span<const PlantRow> reading, std::string& error) {
  const auto [from, to] = ArchiveMatchSpan(reading);
  const std::string instrument = std::to_string(reading[0].instrument);
  const std::string first = std::to_string(from);
  const std::string last = std::to_string(to);
  const auto stored = execPrepared(
      conn_, kStoredArchive,
      {reading[0].station.c_str(), instrument.c_str(), first.c_str(), last.c_str()}, error, 1);
  if (!stored) return false;
  PGresult* r = stored->get();
  std::vector<StoredArchiveRow> rows(PQntuples(r));
  for (int i = 0; i < PQntuples(r); ++i) {
    StoredArchiveRow& s = rows[i];
    s.takenAtMicros = static_cast<std::int64_t>(bigEndian(PQgetvalue(r, i, 0), 8));
    s.n = static_cast<std::int16_t>(bigEndian(PQgetvalue(r, i, 1), 2));
    for (int c = 0; c < kChannelCount; ++c) {
      if (!PQgetisnull(r, i, 2 + c)) s.degrees[c] = binaryFloat(PQgetvalue(r, i, 2 + c));
    }
  }
  const auto fresh = NewArchiveRows(reading, rows);
  PlantRowArrays records;
  for (std::size_t i = 0; i < reading.size(); ++i)
    if (fresh[i]) records.add(reading[i], *fresh[i]);
  return records.rows() == 0 || insert(conn_, kArchiveInsert, records, true, error);
}

std::unique_ptr<PlantServerCancel> PlantServer::canceller() const {
  PGcancel* cancel = conn_ != nullptr ? PQgetCancel(conn_) : nullptr;
  if (cancel == nullptr) return nullptr;
  return std::unique_ptr<PlantServerCancel>(new PlantServerCancel(cancel));
}

PlantServerCancel::~PlantServerCancel() { PQfreeCancel(static_cast<PGcancel*>(cancel_)); }

void PlantServerCancel::cancel() {
  char error[256];
  PQcancel(static_cast<PGcancel*>(cancel_), error, sizeof error);
}

void ShutDownSocket(std::int64_t socket) {
  if (socket < 0) return;
#ifdef _WIN32
  ::shutdown(static_cast<SOCKET>(socket), SD_BOTH);
#else
  ::shutdown(static_cast<int>(socket), SHUT_RDWR);
#endif
}

}  // namespace km8
