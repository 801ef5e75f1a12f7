#include "plant/ui/plant_sql_connections.h"

#include <mutex>

namespace km8 {
namespace {

std::mutex registry;

}  // namespace

QSqlDatabase AddSqlConnection(const QString& driver, const QString& name) {
  std::lock_guard lock(registry);
  return QSqlDatabase::addDatabase(driver, name);
}

void RemoveSqlConnection(QSqlDatabase& db) {
  const QString name = db.connectionName();
  db.close();
  db = QSqlDatabase();
  std::lock_guard lock(registry);
  QSqlDatabase::removeDatabase(name);
}

}  // namespace km8
