#include "archives/database_file_rule.h"
#include "config/program_folder.h"

namespace km8 {

bool AccessEngineAvailable() { return true; }

const ArchiveFileRule& DatabaseFileRule() {
  static const ArchiveFileRule rule{
      .filter = "База даних Microsoft Access (*.mdb)",
      .extension = "MDB",
      .appendedSuffix = ".mdb",
      .wrongExtensionText = "Розширення файла має бути 'MDB'",
      .defaultFileName = DefaultDatabaseFileName(),
  };
  return rule;
}

}  // namespace km8
