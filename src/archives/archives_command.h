// The "Архіви" command: the archives dialog's fields and checks, the settings it
// changes, and the reading it starts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "archives/archive_reading.h"
#include "archives/archive_record.h"
#include "config/app_settings.h"
#include "res/message_box.h"

namespace km8 {

inline constexpr std::uint32_t kMinRecordCount = 1;
inline constexpr std::uint32_t kMaxRecordCount = ArchiveBuffer::kMaxEntries;

struct ArchivesDialogFields {
  std::uint32_t recordCount = 100;  // ArcNum
  bool autoOpen = true;             // TextAutoOpen
  std::string textFileName;         // TextFileName
  std::string dataBaseName;         // DataBaseName
  ArchiveMode mode = ArchiveMode::View;
};

// The record count as typed: digits only, 1 to 60000; nothing otherwise.
std::optional<std::uint32_t> ParseRecordCount(std::string_view text);
// Shown when the record count is refused.
Message recordCountNotice();
// Shown when a chosen file has another extension than the rule's.
Message wrongExtensionNotice(const char* text);

class ArchivesDialogRunner {
 public:
  virtual ~ArchivesDialogRunner() = default;
  // Runs the dialog modally on `fields`; false when it was closed without an action.
  virtual bool runArchivesDialog(ArchivesDialogFields& fields) = 0;
};

// Fills the dialog from the settings, runs it, stores and saves the four values when
// any of them changed, and starts the reading. False when the dialog was left.
bool RunArchivesCommand(SharedSettings& settings, ArchivesDialogRunner& dialog,
                        const std::function<void()>& saveSettings, ArchiveReading& reading);

}  // namespace km8
