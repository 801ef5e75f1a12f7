#include "archives/database_file_rule.h"
#include "config/program_folder.h"

namespace km8 {

// No Access driver here: the embedded SQLite engine is the database.
bool AccessEngineAvailable() { return false; }

const ArchiveFileRule& DatabaseFileRule() {
  static const ArchiveFileRule rule{
      .filter = "База даних SQLite (*.sqlite)",
      .extension = "SQLITE",
      .appendedSuffix = ".sqlite",
      .wrongExtensionText = "Розширення файла має бути 'SQLITE'",
      .defaultFileName = DefaultDatabaseFileName(),
  };
  return rule;
}

}  // namespace km8
