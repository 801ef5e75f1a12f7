// The database engine layer on QtSql: SQLite (QSQLITE) on every platform, Access through
// QODBC and the Access driver on Windows; the table replaced in one transaction.
#pragma once

#include "archives/database_export.h"

namespace km8 {

class QtArchiveDatabase final : public ArchiveDatabase {
 public:
  std::optional<std::string> replaceTable(const std::string& fileName, DatabaseEngine engine,
                                          const std::string& table,
                                          std::span<const ArchiveRow> rows) override;
};

}  // namespace km8
