#include "archives/database_export.h"

#include <cstdio>

namespace km8 {

std::string ArchiveTableName(std::uint8_t deviceId) { return "#" + std::to_string(deviceId); }

std::string TemperatureFieldName(int channel) { return "T" + std::to_string(channel + 1); }

std::string IsoDateTime(const LocalDateTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::vector<ArchiveRow> BuildArchiveRows(const ArchiveBuffer& buffer, DatabaseEngine engine) {
  std::vector<ArchiveRow> rows;
  rows.reserve(buffer.size());
  for (const ArchiveEntry& entry : buffer) {
    if (entry.kind() != ArchiveRecordKind::Valid) continue;
    ArchiveRow& row = rows.emplace_back();
    row.time = entry.local;
    for (int channel = 0; channel < kChannelCount; ++channel) {
      // Rounded to single precision first, then tested against the markers.
      const float single = static_cast<float>(entry.record.temperature(channel));
      if (IsTemperatureMarker(single)) continue;
      row.values[static_cast<std::size_t>(channel)] =
          engine == DatabaseEngine::Access ? single : entry.record.tenths(channel) / 10.0;
    }
  }
  return rows;
}

std::string NoEngineDescription(const std::string& fileName) {
  const std::string ext = UpperExtension(fileName);
  if (ext == "MDB" || ext == "ACCDB") {
    return "Бази даних Microsoft Access (.mdb, .accdb) записуються лише у Windows. "
           "Вкажіть файл з розширенням .sqlite: база даних SQLite працює на будь-якій системі.\n" +
           fileName;
  }
  if (AccessEngineAvailable()) {
    return "Невідомий тип бази даних: розширення файла має бути .mdb, .accdb або .sqlite.\n" +
           fileName;
  }
  return "Невідомий тип бази даних: розширення файла має бути .sqlite.\n" + fileName;
}

std::string SilentFailureDescription(const std::string& fileName, const std::string& table) {
  return "Не вдалося записати таблицю '" + table + "' у базу даних '" + fileName +
         "'; попередній вміст бази даних не змінено.";
}

void ExportArchiveDatabase(const ArchiveBuffer& buffer, const DatabaseExportSettings& settings,
                           ArchiveDatabase& database, MessageBoxHost& messages,
                           MainWindowFront& window) {
  const std::string& fileName = settings.dataBaseName;
  const DatabaseEngine engine = DatabaseEngineFor(fileName);
  std::string error;
  if (engine == DatabaseEngine::None) {
    error = NoEngineDescription(fileName);
  } else {
    const std::string table = ArchiveTableName(settings.deviceId);
    const auto failure = database.replaceTable(fileName, engine, table, BuildArchiveRows(buffer, engine));
    if (!failure) return;
    error = failure->empty() ? SilentFailureDescription(fileName, table) : *failure;
  }
  window.BringToFront();
  Message m;
  m.text = error;
  m.caption = kDatabaseErrorCaption;
  m.buttons = MessageButtons::Ok;
  m.icon = MessageIcon::Error;
  messages.showMessage(m);
}

}  // namespace km8
