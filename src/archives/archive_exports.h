// What a complete export-mode reading hands over on the next timer tick: the text
// export and the database export, run on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "archives/archive_record.h"

namespace km8 {

// Settings an export reads, taken when the export starts.
struct TextExportSettings {
  std::string textFileName;  // TextFileName
  bool autoOpen = true;      // TextAutoOpen
};

struct DatabaseExportSettings {
  std::string dataBaseName;   // DataBaseName; the engine follows its extension
  std::uint8_t deviceId = 1;  // DeviceID: the table is "#<DeviceID>"
};

// Each call may show message boxes (their nested loops keep the poll cycle running)
// and returns when the export is over, whatever its outcome. The buffer stays unchanged
// and is not touched by anything else during the call.
class ArchiveExports {
 public:
  virtual ~ArchiveExports() = default;
  virtual void exportText(const ArchiveBuffer& buffer, const TextExportSettings& settings) = 0;
  virtual void exportDatabase(const ArchiveBuffer& buffer,
                              const DatabaseExportSettings& settings) = 0;
};

// Until the exports are attached a complete reading writes nothing.
class NullArchiveExports final : public ArchiveExports {
 public:
  void exportText(const ArchiveBuffer&, const TextExportSettings&) override {}
  void exportDatabase(const ArchiveBuffer&, const DatabaseExportSettings&) override {}
};

}  // namespace km8
