// The archive database table: one row per valid record, in buffer order, written by an
// engine layer (QtSql) that replaces the instrument's table in one transaction; the
// error message when it cannot.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archives/archive_exports.h"
#include "archives/archive_record.h"
#include "archives/database_file_rule.h"
#include "monitor/display_hooks.h"
#include "res/message_box.h"

namespace km8 {

inline constexpr char kDatabaseErrorCaption[] = "Помилка бази даних";
inline constexpr char kDateTimeFieldName[] = "Дата/Час";

struct ArchiveRow {
  LocalDateTime time;
  // Channels 1..8 as the engine keeps them; empty for the range markers.
  std::array<std::optional<double>, kChannelCount> values;
};

// "#<deviceId>".
std::string ArchiveTableName(std::uint8_t deviceId);
// "T1".."T8" for channel 0..7.
std::string TemperatureFieldName(int channel);
// "YYYY-MM-DD HH:MM:SS", how a date-time is kept where the engine has no date type.
std::string IsoDateTime(const LocalDateTime& t);

// The valid records of the buffer, newest first; reset markers and empty slots left out.
// Access keeps a temperature as Single, the degrees rounded to single precision; SQLite has
// no single precision and keeps the value the instrument meant, tenths / 10 as a double
// (20.1 rather than the widened single 20.1000003814697).
std::vector<ArchiveRow> BuildArchiveRows(const ArchiveBuffer& buffer, DatabaseEngine engine);

// The engine layer.
class ArchiveDatabase {
 public:
  virtual ~ArchiveDatabase() = default;
  // Opens (or creates) the database file, then in one transaction drops a table named
  // exactly `table` if there is one, creates it anew and inserts the rows. On failure
  // the transaction is rolled back, so the file holds what it held before. Returns
  // nothing on success, else the engine's description of the failure (maybe empty).
  virtual std::optional<std::string> replaceTable(const std::string& fileName,
                                                  DatabaseEngine engine, const std::string& table,
                                                  std::span<const ArchiveRow> rows) = 0;
};

// Shown when the file's extension selects no engine on this platform, and when the
// engine failed without a word.
std::string NoEngineDescription(const std::string& fileName);
std::string SilentFailureDescription(const std::string& fileName, const std::string& table);

// Chooses the engine by the file's extension, writes the table and shows any failure
// (after bringing the main window to the front) with OK and the error icon.
void ExportArchiveDatabase(const ArchiveBuffer& buffer, const DatabaseExportSettings& settings,
                           ArchiveDatabase& database, MessageBoxHost& messages,
                           MainWindowFront& window);

}  // namespace km8
