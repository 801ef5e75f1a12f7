#include "archives/access_file.h"
#include "archives/database_export.h"

namespace km8 {

std::optional<std::string> PrepareAccessFile(const std::string& path) {
  return NoEngineDescription(path);
}

}  // namespace km8
