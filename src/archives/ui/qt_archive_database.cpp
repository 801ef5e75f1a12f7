#include "archives/ui/qt_archive_database.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTimeZone>
#include <QVariant>

#include "archives/access_file.h"

namespace km8 {
namespace {

const QString kConnection = QStringLiteral("km8-archive-export");

// The engine's own words; the driver's when the engine gave none.
std::string Describe(const QSqlError& error) {
  const QString text = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
  return text.trimmed().toStdString();
}

QVariant TimeValue(DatabaseEngine engine, const LocalDateTime& t) {
  // SQLite has no date type: ISO 8601 text in local time sorts and reads as a date.
  if (engine == DatabaseEngine::Sqlite) return QString::fromStdString(IsoDateTime(t));
  // The fields as they stand; a zone without transitions keeps the driver from
  // shifting a local time that falls into a clock change.
  return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second),
                   QTimeZone::utc());
}

std::optional<std::string> WriteTable(QSqlDatabase& db, DatabaseEngine engine,
                                      const std::string& table, std::span<const ArchiveRow> rows) {
  if (!db.transaction()) return Describe(db.lastError());
  QSqlQuery query(db);
  const auto fail = [&db](const QSqlError& error) {
    const std::string description = Describe(error);
    db.rollback();
    return std::optional<std::string>(description);
  };
  const QSqlDriver* driver = db.driver();
  const auto field = [driver](const std::string& name) {
    return driver->escapeIdentifier(QString::fromStdString(name), QSqlDriver::FieldName);
  };
  const QString name = QString::fromStdString(table);
  const QString quoted = driver->escapeIdentifier(name, QSqlDriver::TableName);

  // Only a table of exactly this name is replaced.
  if (db.tables(QSql::Tables).contains(name, Qt::CaseSensitive)) {
    if (!query.exec(QStringLiteral("DROP TABLE ") + quoted)) return fail(query.lastError());
  }
  QString create = QStringLiteral("CREATE TABLE ") + quoted + QStringLiteral(" (") +
                   field(kDateTimeFieldName) + QStringLiteral(" DATETIME");
  QString insert = QStringLiteral("INSERT INTO ") + quoted + QStringLiteral(" VALUES (?");
  for (int channel = 0; channel < kChannelCount; ++channel) {
    create += QStringLiteral(", ") + field(TemperatureFieldName(channel)) + QStringLiteral(" REAL");
    insert += QStringLiteral(", ?");
  }
  if (!query.exec(create + QStringLiteral(")"))) return fail(query.lastError());

  if (!rows.empty()) {
    if (!query.prepare(insert + QStringLiteral(")"))) return fail(query.lastError());
    QVariantList times;
    std::array<QVariantList, kChannelCount> values;
    times.reserve(static_cast<qsizetype>(rows.size()));
    for (auto& column : values) column.reserve(static_cast<qsizetype>(rows.size()));
    const QVariant null{QMetaType::fromType<double>()};
    for (const ArchiveRow& row : rows) {
      times.append(TimeValue(engine, row.time));
      for (std::size_t channel = 0; channel < values.size(); ++channel) {
        const auto& value = row.values[channel];
        values[channel].append(value ? QVariant(*value) : null);
      }
    }
    query.addBindValue(times);
    for (const auto& column : values) query.addBindValue(column);
    if (!query.execBatch()) return fail(query.lastError());
  }
  query.finish();
  if (!db.commit()) return fail(db.lastError());
  return std::nullopt;
}

}  // namespace

std::optional<std::string> QtArchiveDatabase::replaceTable(const std::string& fileName,
                                                           DatabaseEngine engine,
                                                           const std::string& table,
                                                           std::span<const ArchiveRow> rows) {
  if (engine == DatabaseEngine::None) return NoEngineDescription(fileName);
  if (engine == DatabaseEngine::Access) {
    if (auto failure = PrepareAccessFile(fileName)) return failure;
  }
  std::optional<std::string> result;
  {
    QSqlDatabase db;
    if (engine == DatabaseEngine::Access) {
      db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kConnection);
      db.setDatabaseName(QString::fromStdString(AccessConnectionString(fileName)));
    } else {
      db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
      db.setDatabaseName(QString::fromStdString(fileName));
    }
    if (!db.open()) {
      result = Describe(db.lastError());
    } else {
      result = WriteTable(db, engine, table, rows);
      db.close();
    }
  }
  QSqlDatabase::removeDatabase(kConnection);
  return result;
}

}  // namespace km8
