// QtSql's registry of named connections is one per process, and the lock it takes is one
// that ThreadSanitizer cannot see: the writer's threads (and the tests' own connections)
// add and remove theirs here, under one std::mutex.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace km8 {

QSqlDatabase AddSqlConnection(const QString& driver, const QString& name);
// Closes the connection, which `db` must be the last handle of, and removes it.
void RemoveSqlConnection(QSqlDatabase& db);

}  // namespace km8
