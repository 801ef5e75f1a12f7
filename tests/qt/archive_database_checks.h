// Shared by the database export tests: the exporter with a recording message host, and
// a second, independent connection that reads back what the export wrote.
#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <string>

#include "archives/database_export.h"
#include "archives/ui/qt_archive_database.h"
#include "support/scripted_message_host.h"

namespace km8::test {

struct CountingFront : MainWindowFront {
  bool BringToFront() override {
    ++fronts;
    return false;
  }
  void minimise() override {}
  int fronts = 0;
};

struct ExportRig {
  QtArchiveDatabase database;
  ScriptedMessageHost messages;
  CountingFront front;
  void run(const ArchiveBuffer& buffer, const DatabaseExportSettings& settings) {
    ExportArchiveDatabase(buffer, settings, database, messages, front);
  }
};

class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path) {
    db_ = QSqlDatabase::addDatabase("QSQLITE", kName);
    db_.setDatabaseName(QString::fromStdString(path));
    db_.open();
  }
  ~SqliteFile() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(kName);
  }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  QStringList tables() {
    QStringList names = db_.tables(QSql::Tables);
    names.sort();
    return names;
  }
  // "name TYPE" of each column, in order.
  QStringList columns(const QString& table) {
    QStringList out;
    QSqlQuery q(db_);
    q.exec("PRAGMA table_info(" + quoted(table) + ")");
    while (q.next()) out << q.value(1).toString() + " " + q.value(2).toString();
    return out;
  }
  int count(const QString& table) {
    QSqlQuery q(db_);
    if (!q.exec("SELECT COUNT(*) FROM " + quoted(table)) || !q.next()) return -1;
    return q.value(0).toInt();
  }
  QList<QVariantList> rows(const QString& table) {
    QList<QVariantList> out;
    QSqlQuery q(db_);
    q.exec("SELECT * FROM " + quoted(table) + " ORDER BY rowid");
    while (q.next()) {
      QVariantList row;
      for (int i = 0; i < q.record().count(); ++i) row << q.value(i);
      out << row;
    }
    return out;
  }

 private:
  static constexpr const char* kName = "km8-test-reader";
  QString quoted(const QString& table) {
    return db_.driver()->escapeIdentifier(table, QSqlDriver::TableName);
  }
  QSqlDatabase db_;
};

}  // namespace km8::test
