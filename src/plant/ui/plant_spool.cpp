#include "plant/ui/plant_spool.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <optional>

#include "plant/plant_status.h"
#include "plant/ui/plant_sql_connections.h"

namespace km8 {
namespace {

constexpr int kNumberedSpools = 9;  // path-2 to path-9 beside the one named

std::string oneLine(const QSqlError& error) {
  QString text = error.text().simplified();
  if (text.isEmpty()) text = QStringLiteral("unknown error");
  return text.toStdString();
}

bool busy(const QSqlError& error) {
  // SQLITE_BUSY, SQLITE_LOCKED: another connection holds the file.
  return error.nativeErrorCode() == QLatin1String("5") ||
         error.nativeErrorCode() == QLatin1String("6");
}

std::string numbered(const std::string& path, int n) {
  const std::string suffix = ".sqlite";
  const std::string number = "-" + std::to_string(n);
  if (path.size() > suffix.size() && path.ends_with(suffix))
    return path.substr(0, path.size() - suffix.size()) + number + suffix;
  return path + number;
}

QVariant degreeValue(const std::optional<float>& v) {
  return v ? QVariant(static_cast<double>(*v)) : QVariant(QMetaType::fromType<double>());
}

// Runs statements in order; the first failure's reason in `error`.
bool run(QSqlDatabase& db, std::initializer_list<QString> statements, std::string& error) {
  QSqlQuery q(db);
  for (const QString& s : statements) {
    if (!q.exec(s)) {
      error = oneLine(q.lastError());
      return false;
    }
  }
  return true;
}

}  // namespace

PlantSpool::PlantSpool(Log log) : log_(std::move(log)) {
  static std::atomic<int> serial{0};
  db_ = AddSqlConnection(QStringLiteral("QSQLITE"),
                         QStringLiteral("km8-plant-spool-%1").arg(serial++));
}

PlantSpool::~PlantSpool() {
  statements_.clear();
  RemoveSqlConnection(db_);
}

void PlantSpool::open(const std::string& path, const std::string& former,
                      const std::string& station) {
  std::string error;
  std::string used;
  Opening opening = Opening::Taken;
  for (int n = 1; n <= kNumberedSpools && opening == Opening::Taken; ++n) {
    const std::string candidate = n == 1 ? path : numbered(path, n);
    opening = tryOpen(QString::fromStdString(candidate), error);
    if (opening == Opening::Opened) used = candidate;
  }
  if (used.empty()) {
    if (opening == Opening::Taken) error = "it and those numbered beside it are all in use";
    log_("km8-station: plant database spool " + path + " cannot be used (" + error +
         "); rows are kept in memory until the station ends");
    tryOpen(QStringLiteral(":memory:"), error);
  } else {
    if (used != path) {
      log_("km8-station: plant database spool " + path +
           " is in use by another station; this one keeps its rows in " + used);
    }
    for (int n = 1; n <= kNumberedSpools; ++n) {
      const std::string other = n == 1 ? path : numbered(path, n);
      if (other != used) takeOver(other, station);
    }
    if (!former.empty() && former != path) takeOver(former, station);
  }
  if (!prepareStatements(error)) {
    log_("km8-station: plant database spool " + used + " cannot be used (" + error +
         "); rows are kept in memory until the station ends");
    tryOpen(QStringLiteral(":memory:"), error);
    prepareStatements(error);
  }
  count();
}

bool PlantSpool::prepareStatements(std::string& error) {
  static const char* const kText[kStatements] = {
      "BEGIN",
      "COMMIT",
      "ROLLBACK",
      "INSERT INTO spool (kind, station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8, "
      "reading) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      "UPDATE spool SET reading = id WHERE id = ?",  // the first row of a reading
      "DELETE FROM spool WHERE id IN (SELECT id FROM spool WHERE kind = 0 ORDER BY id LIMIT ?)",
      "SELECT kind, count(*) FROM spool WHERE id <= ? GROUP BY kind",
      "DELETE FROM spool WHERE id <= ?",
      "SELECT id, kind, station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8, reading "
      "FROM spool WHERE id > ? ORDER BY id LIMIT ?",
      "SELECT id, kind, station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8, reading "
      "FROM spool WHERE id > ? AND reading = ? ORDER BY id",
  };
  statements_.clear();
  for (const char* text : kText) {
    QSqlQuery& q = statements_.emplace_back(db_);
    q.setForwardOnly(true);
    if (!q.prepare(QString::fromLatin1(text))) {
      error = oneLine(q.lastError());
      statements_.clear();
      return false;
    }
  }
  return true;
}

PlantSpool::Opening PlantSpool::tryOpen(const QString& path, std::string& error) {
  QSqlDatabase& db = db_;
  statements_.clear();
  db.close();
  db.setDatabaseName(path);
  // A spool another station holds is not waited for.
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
  if (!db.open()) {
    error = oneLine(db.lastError());
    return Opening::Unusable;
  }
  // The lock is taken by the first transaction and kept until the connection closes;
  // with it, the WAL index lives in this process's memory.
  QSqlQuery q(db);
  q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
  const bool opened = q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
                      q.exec(QStringLiteral("PRAGMA synchronous=FULL")) &&
                      q.exec(QStringLiteral("BEGIN EXCLUSIVE"));
  if (!opened) {
    const QSqlError e = q.lastError();
    db.close();
    error = oneLine(e);
    return busy(e) ? Opening::Taken : Opening::Unusable;
  }
  if (!upgrade(error) || !q.exec(QStringLiteral("COMMIT"))) {
    if (error.empty()) error = oneLine(q.lastError());
    db.close();
    return Opening::Unusable;
  }
  return Opening::Opened;
}

// A spool of an earlier version (user_version 0) had stamps in whole seconds and no
// readings: each of its archive records counts as a reading of its own.
bool PlantSpool::upgrade(std::string& error) {
  QSqlDatabase& db = db_;
  QSqlQuery q(db);
  if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'spool'")) ||
      !q.next()) {
    error = oneLine(q.lastError());
    return false;
  }
  if (q.value(0).toInt() == 0) {
    return run(db,
               {QStringLiteral(
                    "CREATE TABLE spool (id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT "
                    "NULL, station TEXT NOT NULL, instrument INTEGER NOT NULL, taken_at INTEGER "
                    "NOT NULL, t1 REAL, t2 REAL, t3 REAL, t4 REAL, t5 REAL, t6 REAL, t7 REAL, t8 "
                    "REAL, reading INTEGER)"),
                QStringLiteral("PRAGMA user_version = 1")},
               error);
  }
  if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
    error = oneLine(q.lastError());
    return false;
  }
  if (q.value(0).toInt() != 0) return true;
  return run(db,
             {QStringLiteral("ALTER TABLE spool ADD COLUMN reading INTEGER"),
              QStringLiteral("UPDATE spool SET taken_at = taken_at * 1000000, reading = CASE "
                             "kind WHEN 1 THEN id END"),
              QStringLiteral("PRAGMA user_version = 1")},
             error);
}

// Moves the rows of `station` from the spool at `path`, when no other station holds it,
// to the end of this one; its readings get ids of this spool.
void PlantSpool::takeOver(const std::string& path, const std::string& station) {
  if (!QFileInfo::exists(QString::fromStdString(path))) return;
  QSqlDatabase& db = db_;
  QSqlQuery q(db);
  q.prepare(QStringLiteral("ATTACH DATABASE ? AS other"));
  q.addBindValue(QString::fromStdString(path));
  if (!q.exec()) return;
  std::string error;
  std::int64_t moved = 0;
  int version = -1;
  if (q.exec(QStringLiteral("BEGIN")) &&
      q.exec(QStringLiteral("SELECT count(*) FROM other.sqlite_master WHERE name = 'spool'")) &&
      q.next() && q.value(0).toInt() == 1 && q.exec(QStringLiteral("PRAGMA other.user_version")) &&
      q.next()) {
    version = q.value(0).toInt();
  }
  q.finish();  // no statement may stay open on the tables changed below
  if (version >= 0) {
    const QString stamp = version == 0 ? QStringLiteral("taken_at * 1000000") : "taken_at";
    const QString reading = version == 0 ? QStringLiteral("id") : "coalesce(reading, id)";
    QSqlQuery insert(db);
    insert.prepare(
        "INSERT INTO main.spool (kind, station, instrument, taken_at, t1, t2, t3, t4, t5, t6, "
        "t7, t8, reading) SELECT kind, station, instrument, " +
        stamp + ", t1, t2, t3, t4, t5, t6, t7, t8, CASE kind WHEN 1 THEN -(" + reading +
        ") END FROM other.spool WHERE station = ? ORDER BY id");
    insert.addBindValue(QString::fromStdString(station));
    QSqlQuery remove(db);
    remove.prepare(QStringLiteral("DELETE FROM other.spool WHERE station = ?"));
    remove.addBindValue(QString::fromStdString(station));
    if (insert.exec()) {
      moved = insert.numRowsAffected();
      const bool done =
          run(db,
              {QStringLiteral("CREATE TEMP TABLE km8_readings AS SELECT reading AS old, min(id) "
                              "AS new FROM main.spool WHERE reading < 0 GROUP BY reading"),
               QStringLiteral("UPDATE main.spool SET reading = (SELECT new FROM km8_readings "
                              "WHERE old = spool.reading) WHERE reading < 0"),
               QStringLiteral("DROP TABLE km8_readings")},
              error) &&
          remove.exec() && q.exec(QStringLiteral("COMMIT"));
      if (!done) moved = 0;
    }
  }
  if (moved == 0) q.exec(QStringLiteral("ROLLBACK"));
  q.exec(QStringLiteral("DETACH DATABASE other"));
  if (moved > 0) {
    log_("km8-station: plant database: " + std::to_string(moved) + " rows of station \"" + station +
         "\" taken over from the spool " + path);
  }
}

void PlantSpool::count() {
  live_ = archive_ = 0;
  QSqlQuery q(db_);
  q.exec(QStringLiteral("SELECT kind, count(*) FROM spool GROUP BY kind"));
  while (q.next()) (q.value(0).toInt() == 0 ? live_ : archive_) = q.value(1).toLongLong();
  if (q.exec(QStringLiteral("SELECT max(seq) FROM sqlite_sequence WHERE name = 'spool'")) &&
      q.next()) {
    newest_ = q.value(0).toLongLong();
  }
}

bool PlantSpool::write(const std::vector<std::vector<PlantRow>>& submissions, std::int64_t sentUpTo,
                       std::int64_t capacity, std::int64_t& dropped, std::string& error) {
  if (statements_.empty()) {
    error = "its statements cannot be prepared";
    return false;
  }
  QSqlQuery& insert = statements_[Insert];
  QSqlQuery& first = statements_[MarkReading];
  QSqlQuery& drop = statements_[DropLive];
  QSqlQuery& counted = statements_[CountUpTo];
  QSqlQuery& removed = statements_[RemoveUpTo];
  std::int64_t live = live_;
  std::int64_t archive = archive_;
  std::int64_t newest = newest_;
  std::int64_t droppedHere = 0;
  QSqlQuery* failed = &statements_[Begin];
  bool ok = failed->exec();
  if (ok && sentUpTo >= 0) {
    counted.addBindValue(static_cast<qlonglong>(sentUpTo));
    failed = &counted;
    ok = counted.exec();
    while (ok && counted.next())
      (counted.value(0).toInt() == 0 ? live : archive) -= counted.value(1).toLongLong();
    counted.finish();
    if (ok) {
      removed.addBindValue(static_cast<qlonglong>(sentUpTo));
      failed = &removed;
      ok = removed.exec();
    }
  }
  for (const auto& rows : submissions) {
    std::optional<qlonglong> reading;  // the id of the submission's first archive row
    std::size_t i = 0;
    while (ok && i < rows.size()) {
      std::size_t end = i;
      while (end < rows.size() && rows[end].table == rows[i].table) ++end;
      const SpoolRoom room =
          MakeSpoolRoom(capacity, live, archive, static_cast<std::int64_t>(end - i));
      if (room.dropOldestLive > 0) {
        drop.addBindValue(static_cast<qlonglong>(room.dropOldestLive));
        ok = drop.exec();
        failed = &drop;
        live -= room.dropOldestLive;
        droppedHere += room.dropOldestLive;
      }
      if (rows[i].table == PlantTable::Live) droppedHere += room.refuseIncoming;
      for (std::size_t k = i + static_cast<std::size_t>(room.refuseIncoming); ok && k < end; ++k) {
        const PlantRow& r = rows[k];
        const bool isArchive = r.table == PlantTable::Archive;
        insert.addBindValue(static_cast<int>(r.table));
        insert.addBindValue(QString::fromStdString(r.station));
        insert.addBindValue(r.instrument);
        insert.addBindValue(static_cast<qlonglong>(r.takenAtMicros));
        for (const auto& d : r.degrees) insert.addBindValue(degreeValue(d));
        insert.addBindValue(isArchive && reading ? QVariant(*reading)
                                                 : QVariant(QMetaType::fromType<qlonglong>()));
        ok = insert.exec();
        failed = &insert;
        if (ok) newest = insert.lastInsertId().toLongLong();
        if (ok && isArchive && !reading) {
          reading = newest;
          first.addBindValue(*reading);
          ok = first.exec();
          failed = &first;
        }
        (isArchive ? archive : live) += 1;
      }
      i = end;
    }
  }
  if (ok) {
    failed = &statements_[Commit];
    ok = failed->exec();
  }
  if (!ok) {
    error = oneLine(failed->lastError());
    statements_[Rollback].exec();
    return false;
  }
  live_ = live;
  archive_ = archive;
  newest_ = newest;
  dropped += droppedHere;
  return true;
}

std::vector<PlantRow> PlantSpool::oldest(int limit, std::int64_t after, std::int64_t& lastId) {
  std::vector<PlantRow> rows;
  if (statements_.empty()) return rows;
  auto read = [&](QSqlQuery& q) {
    if (q.exec()) {
      while (q.next()) {
        PlantRow& r = rows.emplace_back();
        lastId = q.value(0).toLongLong();
        r.table = q.value(1).toInt() == 0 ? PlantTable::Live : PlantTable::Archive;
        r.station = q.value(2).toString().toStdString();
        r.instrument = q.value(3).toInt();
        r.takenAtMicros = q.value(4).toLongLong();
        for (int c = 0; c < kChannelCount; ++c) {
          if (!q.isNull(5 + c)) r.degrees[c] = static_cast<float>(q.value(5 + c).toDouble());
        }
        r.reading = q.value(13).toLongLong();
      }
    }
    q.finish();
  };
  QSqlQuery& first = statements_[Oldest];
  first.addBindValue(static_cast<qlonglong>(after));
  first.addBindValue(limit);
  read(first);
  if (!rows.empty() && rows.back().table == PlantTable::Archive) {
    QSqlQuery& rest = statements_[RestOfReading];
    rest.addBindValue(static_cast<qlonglong>(lastId));
    rest.addBindValue(static_cast<qlonglong>(rows.back().reading));
    read(rest);
  }
  if (rows.empty()) count();  // nothing there after all: the counts follow the file
  return rows;
}

}  // namespace km8
