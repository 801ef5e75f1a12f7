#include "archives/archives_command.h"

#include <charconv>

namespace km8 {

std::optional<std::uint32_t> ParseRecordCount(std::string_view text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end) return std::nullopt;
  if (value < kMinRecordCount || value > kMaxRecordCount) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

Message recordCountNotice() {
  return {.text = "Кількість вимірів має бути від 1 до 60000",
          .caption = "Архіви",
          .icon = MessageIcon::Warning};
}

Message wrongExtensionNotice(const char* text) {
  return {.text = text, .caption = "Увага", .icon = MessageIcon::Warning};
}

bool RunArchivesCommand(SharedSettings& settings, ArchivesDialogRunner& dialog,
                        const std::function<void()>& saveSettings, ArchiveReading& reading) {
  const AppSettings current = settings.snapshot();
  ArchivesDialogFields fields{.recordCount = current.ArcNum,
                              .autoOpen = current.TextAutoOpen != 0,
                              .textFileName = current.TextFileName,
                              .dataBaseName = current.DataBaseName};
  if (!dialog.runArchivesDialog(fields)) return false;

  const bool changed =
      fields.recordCount != current.ArcNum || fields.autoOpen != (current.TextAutoOpen != 0) ||
      fields.textFileName != current.TextFileName || fields.dataBaseName != current.DataBaseName;
  if (changed) {
    settings.update([&](AppSettings& s) {
      s.ArcNum = static_cast<std::uint16_t>(fields.recordCount);
      s.TextAutoOpen = fields.autoOpen ? 1 : 0;
      s.TextFileName = fields.textFileName;
      s.DataBaseName = fields.dataBaseName;
    });
    if (saveSettings) saveSettings();
  }
  reading.StartArchiveReading(fields.mode);
  return true;
}

}  // namespace km8
