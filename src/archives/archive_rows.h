// What the archive list window shows: its ten columns (headers and widths) and the text
// of every cell of a record's row.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "archives/archive_record.h"

namespace km8 {

inline constexpr int kArchiveColumnCount = 10;

const char* ArchiveColumnHeader(int column);  // "" outside 0..9

// Column widths in pixels for a list of the given client width: b = width × 0.0887,
// then number b × 1.2, time b × 1.8, each temperature b; single precision, truncated.
std::array<int, kArchiveColumnCount> ArchiveColumnWidths(int clientWidth);

// "%H:%M  %d.%m": two spaces between time and date.
std::string FormatListTime(const LocalDateTime& time);

// A temperature as the list and the text file show it: "%.1f", or "----" for a marker.
std::string FormatTemperatureCell(double degrees);

// The text of one cell of the row at `rowIndex` (record rowIndex, counted from 0).
std::string ArchiveCellText(std::size_t rowIndex, const ArchiveEntry& entry, int column);

}  // namespace km8
