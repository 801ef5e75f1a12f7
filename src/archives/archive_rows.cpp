#include "archives/archive_rows.h"

#include <charconv>
#include <cstdio>

namespace km8 {
namespace {

constexpr const char* kHeaders[kArchiveColumnCount] = {
    "Номер",  "Час/Дата", "T1, °C", "T2, °C", "T3, °C",
    "T4, °C", "T5, °C",   "T6, °C", "T7, °C", "T8, °C",
};

}  // namespace

const char* ArchiveColumnHeader(int column) {
  if (column < 0 || column >= kArchiveColumnCount) return "";
  return kHeaders[column];
}

std::array<int, kArchiveColumnCount> ArchiveColumnWidths(int clientWidth) {
  const int b = static_cast<int>(static_cast<float>(clientWidth) * 0.0887f);
  std::array<int, kArchiveColumnCount> widths{};
  widths.fill(b);
  widths[0] = static_cast<int>(static_cast<float>(b) * 1.2f);
  widths[1] = static_cast<int>(static_cast<float>(b) * 1.8f);
  return widths;
}

std::string FormatListTime(const LocalDateTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d  %02d.%02d", time.hour, time.minute, time.day,
                time.month);
  return text;
}

std::string FormatTemperatureCell(double degrees) {
  if (IsTemperatureMarker(degrees)) return "----";
  // Not printf: the user's locale could make the point a comma.
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, degrees, std::chars_format::fixed, 1);
  return std::string(text, result.ptr);
}

std::string ArchiveCellText(std::size_t rowIndex, const ArchiveEntry& entry, int column) {
  if (column == 0) return std::to_string(rowIndex + 1);
  const ArchiveRecordKind kind = entry.kind();
  if (column == 1) {
    switch (kind) {
      case ArchiveRecordKind::Valid:
        return FormatListTime(entry.local);
      case ArchiveRecordKind::ResetMarker:
        return "СКИД";
      case ArchiveRecordKind::EmptySlot:
        return "ПУСТО";
    }
  }
  if (kind != ArchiveRecordKind::Valid || column < 2 || column >= kArchiveColumnCount) return {};
  return FormatTemperatureCell(entry.record.temperature(column - 2));
}

}  // namespace km8
