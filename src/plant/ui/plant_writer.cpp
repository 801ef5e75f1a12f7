#include "plant/ui/plant_writer.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtGlobal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <utility>

#include "plant/plant_schema.h"

namespace km8 {
namespace {

std::atomic<int> connectionSerial{0};

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

}  // namespace

// Lives on the writer thread only: the QSqlDatabase connections belong to it.
class PlantWriter::Connections {
 public:
  Connections(PlantWriter& owner)
      : owner_(owner),
        serial_(QString::number(connectionSerial.fetch_add(1))),
        pgName_(QStringLiteral("km8-plant-") + serial_),
        spoolName_(QStringLiteral("km8-plant-spool-") + serial_) {}

  ~Connections() {
    liveInsert_.reset();
    archiveInsert_.reset();
    {
      QSqlDatabase pg = QSqlDatabase::database(pgName_, false);
      pg.close();
      QSqlDatabase spool = QSqlDatabase::database(spoolName_, false);
      spool.close();
    }
    QSqlDatabase::removeDatabase(pgName_);
    QSqlDatabase::removeDatabase(spoolName_);
  }

  void openSpool() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), spoolName_);
    db.setDatabaseName(QString::fromStdString(owner_.setup_.spoolPath));
    if (!db.open() || !spoolSchema(db)) {
      owner_.log("km8-station: plant database spool " + owner_.setup_.spoolPath +
                 " cannot be used (" + oneLine(db.lastError()) +
                 "); rows are kept in memory until the station ends");
      db.close();
      db.setDatabaseName(QStringLiteral(":memory:"));
      db.open();
      spoolSchema(db);
    }
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT kind, count(*) FROM spool GROUP BY kind"));
    while (q.next()) {
      (q.value(0).toInt() == 0 ? live_ : archive_) = q.value(1).toLongLong();
    }
    publishWaiting();
  }

  // Appends the rows to the spool in one transaction, making room as MakeSpoolRoom says.
  void spoolRows(const std::vector<PlantRow>& rows) {
    QSqlDatabase db = QSqlDatabase::database(spoolName_, false);
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO spool (kind, station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    std::int64_t dropped = 0;
    std::size_t i = 0;
    while (i < rows.size()) {
      std::size_t end = i;
      while (end < rows.size() && rows[end].table == rows[i].table) ++end;
      const SpoolRoom room = MakeSpoolRoom(owner_.setup_.spoolCapacity, live_, archive_,
                                           static_cast<std::int64_t>(end - i));
      if (room.dropOldestLive > 0) {
        QSqlQuery drop(db);
        drop.prepare(QStringLiteral(
            "DELETE FROM spool WHERE id IN (SELECT id FROM spool WHERE kind = 0 ORDER BY id "
            "LIMIT ?)"));
        drop.addBindValue(static_cast<qlonglong>(room.dropOldestLive));
        drop.exec();
        live_ -= room.dropOldestLive;
        dropped += room.dropOldestLive;
      }
      if (rows[i].table == PlantTable::Live) dropped += room.refuseIncoming;
      for (std::size_t k = i + static_cast<std::size_t>(room.refuseIncoming); k < end; ++k) {
        const PlantRow& r = rows[k];
        insert.addBindValue(static_cast<int>(r.table));
        insert.addBindValue(QString::fromStdString(r.station));
        insert.addBindValue(r.instrument);
        insert.addBindValue(static_cast<qlonglong>(r.takenAt));
        for (const auto& d : r.degrees) insert.addBindValue(degreeValue(d));
        insert.exec();
        (r.table == PlantTable::Live ? live_ : archive_) += 1;
      }
      i = end;
    }
    db.commit();
    if (dropped > 0) {
      std::optional<std::string> line;
      {
        std::lock_guard lock(owner_.mutex_);
        line = owner_.outages_.dropped(owner_.status_, dropped);
      }
      if (line) owner_.log(*line);
    }
    publishWaiting();
  }

  std::int64_t waiting() const { return live_ + archive_; }

  // One batch of the oldest rows to the server. False on a failure (now an outage).
  bool sendBatch() {
    if (!QSqlDatabase::database(pgName_, false).isOpen() && !connect()) return false;
    QSqlDatabase pg = QSqlDatabase::database(pgName_, false);
    QSqlDatabase spool = QSqlDatabase::database(spoolName_, false);
    QSqlQuery select(spool);
    select.setForwardOnly(true);
    select.prepare(QStringLiteral(
        "SELECT id, kind, station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8 "
        "FROM spool ORDER BY id LIMIT ?"));
    select.addBindValue(owner_.setup_.batchRows);
    select.exec();

    if (!pg.transaction()) return failed(pg.lastError());
    // Prepared once a connection.
    if (!liveInsert_) {
      liveInsert_.emplace(pg);
      archiveInsert_.emplace(pg);
      if (!liveInsert_->prepare(qs(PlantInsertStatement(PlantTable::Live))) ||
          !archiveInsert_->prepare(qs(PlantInsertStatement(PlantTable::Archive)))) {
        const QSqlError error = liveInsert_->lastError();
        pg.rollback();
        return failed(error);
      }
    }
    QSqlQuery& live = *liveInsert_;
    QSqlQuery& archive = *archiveInsert_;
    qlonglong lastId = -1;
    std::int64_t sentLive = 0;
    std::int64_t sentArchive = 0;
    while (select.next()) {
      lastId = select.value(0).toLongLong();
      const bool isLive = select.value(1).toInt() == 0;
      QSqlQuery& q = isLive ? live : archive;
      for (int c = 2; c <= 12; ++c) q.addBindValue(select.value(c));
      if (!q.exec()) {
        const QSqlError error = q.lastError();
        pg.rollback();
        return failed(error);
      }
      ++(isLive ? sentLive : sentArchive);
    }
    select.finish();
    if (!pg.commit()) return failed(pg.lastError());
    if (lastId >= 0) {
      QSqlQuery done(spool);
      done.prepare(QStringLiteral("DELETE FROM spool WHERE id <= ?"));
      done.addBindValue(lastId);
      done.exec();
      live_ -= sentLive;
      archive_ -= sentArchive;
    }
    std::optional<std::string> line;
    {
      std::lock_guard lock(owner_.mutex_);
      owner_.status_.rowsWaiting = waiting();
      owner_.status_.rowsSent += sentLive + sentArchive;
      line = owner_.outages_.succeeded(owner_.status_);
    }
    if (line) owner_.log(*line);
    return true;
  }

 private:
  static bool spoolSchema(QSqlDatabase& db) {
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return q.exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS spool (id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER "
        "NOT NULL, station TEXT NOT NULL, instrument INTEGER NOT NULL, taken_at INTEGER NOT "
        "NULL, t1 REAL, t2 REAL, t3 REAL, t4 REAL, t5 REAL, t6 REAL, t7 REAL, t8 REAL)"));
  }

  bool connect() {
    QSqlDatabase pg = QSqlDatabase::contains(pgName_)
                          ? QSqlDatabase::database(pgName_, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), pgName_);
    QStringList options;
    bool timeoutGiven = false;
    for (const auto& [key, value] : owner_.setup_.connection) {
      if (key == "host") {
        pg.setHostName(QString::fromStdString(value));
      } else if (key == "dbname") {
        pg.setDatabaseName(QString::fromStdString(value));
      } else if (key == "user") {
        pg.setUserName(QString::fromStdString(value));
      } else {
        if (key == "connect_timeout") timeoutGiven = true;
        options << QString::fromStdString(key) + QLatin1Char('=') + quotedOption(value);
      }
    }
    // An unreachable host must not hold the writer for ever.
    if (!timeoutGiven) options << QStringLiteral("connect_timeout=10");
    pg.setConnectOptions(options.join(QLatin1Char(' ')));
    if (!pg.open()) return failed(pg.lastError());
    for (std::string_view statement : PlantSchemaStatements()) {
      if (statement == PlantSchemaStatements().front() && !pg.transaction()) {
        return failed(pg.lastError());
      }
      QSqlQuery q(pg);
      if (!q.exec(qs(statement))) {
        const QSqlError error = q.lastError();
        pg.rollback();
        return failed(error);
      }
    }
    if (!pg.commit()) return failed(pg.lastError());
    return true;
  }

  bool failed(const QSqlError& error) {
    liveInsert_.reset();
    archiveInsert_.reset();
    {
      QSqlDatabase pg = QSqlDatabase::database(pgName_, false);
      pg.close();
    }
    std::optional<std::string> line;
    {
      std::lock_guard lock(owner_.mutex_);
      owner_.status_.rowsWaiting = waiting();
      line = owner_.outages_.failed(owner_.status_, oneLine(error));
    }
    if (line) owner_.log(*line);
    return false;
  }

  void publishWaiting() {
    std::lock_guard lock(owner_.mutex_);
    owner_.status_.rowsWaiting = waiting();
  }

  PlantWriter& owner_;
  QString serial_;
  QString pgName_;
  QString spoolName_;
  std::int64_t live_ = 0;
  std::int64_t archive_ = 0;
  std::optional<QSqlQuery> liveInsert_;  // on the open connection
  std::optional<QSqlQuery> archiveInsert_;
};

PlantWriter::PlantWriter(PlantWriterSetup setup) : setup_(std::move(setup)) {
  if (!setup_.log) {
    setup_.log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  }
}

PlantWriter::~PlantWriter() { stop(); }

void PlantWriter::start() {
  if (thread_.joinable()) return;
  static std::once_flag filterInstalled;
  std::call_once(filterInstalled,
                 [] { previousHandler = qInstallMessageHandler(dropStatementWarnings); });
  thread_ = std::thread([this] { run(); });
}

void PlantWriter::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PlantWriter::submit(std::vector<PlantRow> rows) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
      queue_ = std::move(rows);
    } else {
      queue_.insert(queue_.end(), std::make_move_iterator(rows.begin()),
                    std::make_move_iterator(rows.end()));
    }
  }
  wake_.notify_all();
}

PlantFeedStatus PlantWriter::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void PlantWriter::log(const std::string& line) { setup_.log(line); }

void PlantWriter::run() {
  Connections c(*this);
  c.openSpool();
  using Clock = std::chrono::steady_clock;
  Clock::time_point nextAttempt = Clock::now();
  bool retrying = false;   // the last attempt failed: the next one waits for nextAttempt
  bool connectNow = true;  // the first attempt is made at once, rows or not
  while (true) {
    std::vector<PlantRow> incoming;
    bool stopping = false;
    {
      std::unique_lock lock(mutex_);
      auto ready = [&] { return stopping_ || !queue_.empty(); };
      if (retrying) {
        wake_.wait_until(lock, nextAttempt, ready);
      } else if (c.waiting() == 0 && !connectNow) {
        wake_.wait(lock, ready);
      }
      incoming.swap(queue_);
      stopping = stopping_;
    }
    if (!incoming.empty()) c.spoolRows(incoming);
    if (stopping) break;
    if (retrying && Clock::now() < nextAttempt) continue;
    if (c.waiting() == 0 && !retrying && !connectNow) continue;
    connectNow = false;
    retrying = !c.sendBatch();
    if (retrying) nextAttempt = Clock::now() + setup_.retryAfter;
  }
}

}  // namespace km8
