// Archive records as the instrument may send them, through everything that shows or
// writes them: the list's cells, local time and the text file. Nothing may crash, and
// the text file has one line per record after the header.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "archives/archive_clock.h"
#include "archives/archive_rows.h"
#include "archives/text_export.h"

namespace {

void require(bool ok) {
  if (!ok) __builtin_trap();
}

std::size_t countLines(const std::string& text) {
  std::size_t lines = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\r' && text[i + 1] == '\n') ++lines;
  }
  return lines;
}

}  // namespace

// Input: a 32-bit starting instant, then 18-byte records. Each record moves the running
// time back by its interval, as a reading does.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* in, std::size_t size) {
  if (size < 4) return 0;
  std::uint32_t start = 0;
  std::memcpy(&start, in, sizeof start);
  std::int64_t instant = start;

  km8::ArchiveBuffer buffer;
  for (std::size_t at = 4; at + km8::kArchiveRecordBytes <= size; at += km8::kArchiveRecordBytes) {
    km8::ArchiveEntry entry;
    std::memcpy(entry.record.bytes.data(), in + at, km8::kArchiveRecordBytes);
    entry.instant = instant;
    entry.local = km8::LocalDateTimeOf(instant);
    require(entry.local.month >= 1 && entry.local.month <= 12);
    require(entry.local.day >= 1 && entry.local.day <= 31);
    if (entry.kind() == km8::ArchiveRecordKind::Valid) {
      instant -= std::int64_t{entry.record.intervalMinutes()} * 60;
    }
    for (int column = 0; column < km8::kArchiveColumnCount; ++column) {
      (void)km8::ArchiveCellText(buffer.size(), entry, column);
    }
    require(buffer.append(entry));
  }

  const std::string text = km8::BuildArchiveText(buffer);
  require(countLines(text) == buffer.size() + 1);
  return 0;
}
