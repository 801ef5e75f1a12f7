#include "plant/ui/plant_server.h"

#include <libpq-fe.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>
#include <QtGlobal>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "plant/plant_archive_match.h"
#include "plant/plant_schema.h"
#include "plant/ui/plant_sql_connections.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace km8 {
namespace {

// Qt's PostgreSQL driver warns when a prepared statement outlives its connection ("Unable
// to free statement"), which every outage does; the outage has its own line already. The
// filter passes every other message on to the handler it replaces.
QtMessageHandler previousHandler = nullptr;
void dropStatementWarnings(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("Unable to free statement"))) {
    return;
  }
  if (previousHandler != nullptr) {
    previousHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// One line: the driver's reasons may run over several.
std::string oneLine(const QSqlError& error) {
  QString text = error.text().simplified();
  if (text.isEmpty()) text = QStringLiteral("no answer from the server");
  return text.toStdString();
}

QString quotedOption(const std::string& value) {
  QString v = QString::fromStdString(value);
  v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  v.replace(QLatin1Char('\''), QStringLiteral("\\'"));
  return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QVariant degreeValue(const std::optional<float>& v) {
  return v ? QVariant(static_cast<double>(*v)) : QVariant(QMetaType::fromType<double>());
}

void bindRow(QSqlQuery& q, const PlantRow& r, std::optional<int> n) {
  q.addBindValue(QString::fromStdString(r.station));
  q.addBindValue(r.instrument);
  q.addBindValue(static_cast<qlonglong>(r.takenAtMicros));
  if (n) q.addBindValue(*n);
  for (const auto& d : r.degrees) q.addBindValue(degreeValue(d));
}

PGconn* connectionOf(const QSqlDatabase& db) {
  const QVariant handle = db.driver()->handle();
  // The driver names the type by its struct tag.
  if (!handle.isValid() ||
      (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)) {
    return nullptr;
  }
  return *static_cast<PGconn* const*>(handle.data());
}

}  // namespace

PlantServer::PlantServer(ConnectionParameters connection) : connection_(std::move(connection)) {
  static std::atomic<int> serial{0};
  db_ = AddSqlConnection(QStringLiteral("QPSQL"), QStringLiteral("km8-plant-%1").arg(serial++));
  static std::once_flag filterInstalled;
  std::call_once(filterInstalled,
                 [] { previousHandler = qInstallMessageHandler(dropStatementWarnings); });
}

PlantServer::~PlantServer() {
  close();
  RemoveSqlConnection(db_);
}

bool PlantServer::isOpen() const { return db_.isOpen(); }

void PlantServer::close() {
  liveInsert_.reset();
  archiveInsert_.reset();
  storedArchive_.reset();
  seriesLock_.reset();
  series_.clear();
  socket_ = -1;
  db_.close();
}

// The connection stays open for the caller to close: its socket may still be in the
// caller's hands.
PlantServer::Outcome PlantServer::failed(const QSqlError& error, std::string& out) {
  out = oneLine(error);
  return Outcome::Failed;
}

bool PlantServer::connect(std::string& error) {
  close();
  auto fail = [&](const QSqlError& e) {
    failed(e, error);
    close();
    return false;
  };
  QSqlDatabase& pg = db_;
  QStringList options;
  for (const auto& [key, value] : connection_) {
    if (key == "host") {
      pg.setHostName(QString::fromStdString(value));
    } else if (key == "dbname") {
      pg.setDatabaseName(QString::fromStdString(value));
    } else if (key == "user") {
      pg.setUserName(QString::fromStdString(value));
    } else {
      options << QString::fromStdString(key) + QLatin1Char('=') + quotedOption(value);
    }
  }
  pg.setConnectOptions(options.join(QLatin1Char(' ')));
  if (!pg.open()) return fail(pg.lastError());

  // The tables, made or upgraded in one transaction under the schema's advisory lock.
  if (!pg.transaction()) return fail(pg.lastError());
  QSqlQuery q(pg);
  for (std::string_view statement : PlantSchemaStatements()) {
    if (!q.exec(qs(statement))) return fail(q.lastError());
  }
  if (!q.exec(qs(kPlantSchemaVersionQuery)) || !q.next()) return fail(q.lastError());
  int version = q.value(0).toInt();
  while (version < kPlantSchemaVersion && !PlantSchemaUpgrade(version).empty()) {
    for (std::string_view statement : PlantSchemaUpgrade(version)) {
      if (!q.exec(qs(statement))) return fail(q.lastError());
    }
    ++version;
  }
  if (version != kPlantSchemaVersion) {
    close();
    error = "its tables are of version " + std::to_string(version) + ", this station's are of " +
            std::to_string(kPlantSchemaVersion);
    return false;
  }
  q.finish();
  if (!pg.commit()) return fail(pg.lastError());
  PGconn* conn = connectionOf(pg);
  socket_ = conn != nullptr ? PQsocket(conn) : -1;
  return true;
}

PlantServer::Outcome PlantServer::send(std::span<const PlantRow> rows, std::string& error,
                                       Series& refused) {
  QSqlDatabase& pg = db_;
  if (!liveInsert_) {  // prepared once a connection
    liveInsert_.emplace(pg);
    archiveInsert_.emplace(pg);
    storedArchive_.emplace(pg);
    seriesLock_.emplace(pg);
    for (auto [query, text] : {std::pair{&*liveInsert_, PlantInsertStatement(PlantTable::Live)},
                               {&*archiveInsert_, PlantInsertStatement(PlantTable::Archive)},
                               {&*storedArchive_, kPlantStoredArchiveQuery},
                               {&*seriesLock_, kPlantSeriesLockQuery}}) {
      if (!query->prepare(qs(text))) return failed(query->lastError(), error);
    }
  }
  if (!pg.transaction()) return failed(pg.lastError(), error);
  for (const PlantRow& r : rows) {
    if (series_.contains({r.station, r.instrument})) continue;
    seriesLock_->addBindValue(QString::fromStdString(r.station));
    seriesLock_->addBindValue(r.instrument);
    if (!seriesLock_->exec() || !seriesLock_->next())
      return failed(seriesLock_->lastError(), error);
    const bool mine = seriesLock_->value(0).toBool();
    seriesLock_->finish();
    if (!mine) {
      pg.rollback();
      refused = {r.station, r.instrument};
      return Outcome::Refused;
    }
    series_.insert({r.station, r.instrument});
  }
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t end = i + 1;
    if (rows[i].table == PlantTable::Live) {
      bindRow(*liveInsert_, rows[i], std::nullopt);
      if (!liveInsert_->exec()) return failed(liveInsert_->lastError(), error);
    } else {
      while (end < rows.size() && rows[end].table == PlantTable::Archive &&
             rows[end].reading == rows[i].reading)
        ++end;
      QSqlError e;
      if (!sendReading(rows.subspan(i, end - i), e)) return failed(e, error);
    }
    i = end;
  }
  if (!pg.commit()) return failed(pg.lastError(), error);
  return Outcome::Sent;
}

bool PlantServer::sendReading(std::span<const PlantRow> reading, QSqlError& error) {
  const auto [from, to] = ArchiveMatchSpan(reading);
  QSqlQuery& stored = *storedArchive_;
  stored.addBindValue(QString::fromStdString(reading[0].station));
  stored.addBindValue(reading[0].instrument);
  stored.addBindValue(static_cast<qlonglong>(from));
  stored.addBindValue(static_cast<qlonglong>(to));
  if (!stored.exec()) {
    error = stored.lastError();
    return false;
  }
  std::vector<StoredArchiveRow> rows;
  while (stored.next()) {
    StoredArchiveRow& s = rows.emplace_back();
    s.takenAtMicros = stored.value(0).toLongLong();
    s.n = stored.value(1).toInt();
    for (int c = 0; c < kChannelCount; ++c) {
      if (!stored.isNull(2 + c)) s.degrees[c] = static_cast<float>(stored.value(2 + c).toDouble());
    }
  }
  stored.finish();
  const auto fresh = NewArchiveRows(reading, rows);
  for (std::size_t i = 0; i < reading.size(); ++i) {
    if (!fresh[i]) continue;
    bindRow(*archiveInsert_, reading[i], fresh[i]);
    if (!archiveInsert_->exec()) {
      error = archiveInsert_->lastError();
      return false;
    }
  }
  return true;
}

std::unique_ptr<PlantServerCancel> PlantServer::canceller() const {
  PGconn* conn = db_.isOpen() ? connectionOf(db_) : nullptr;
  PGcancel* cancel = conn != nullptr ? PQgetCancel(conn) : nullptr;
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
