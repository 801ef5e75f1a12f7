// Loading and saving the station's settings through a SettingsStore: the value names,
// their types and widths, and what becomes of a value that is missing or does not fit.
#pragma once

#include <cstddef>
#include <string>

#include "config/app_settings.h"
#include "config/settings_store.h"
#include "res/message_box.h"

namespace km8 {

// Longest file name (in bytes, without a terminating zero) that loading accepts; also
// the limit of a COMn device path.
inline constexpr std::size_t kFileNameLimit = 525;

inline constexpr char kSettingsCaption[] = "KM410-8";
inline constexpr char kSaveFailedText[] = "Неможливо зберегти конфігурацію";

inline constexpr char kLoadFailedText[] =
    "Неможливо прочитати конфігурацію; вона не буде перезаписана:";

// Replaces each setting whose stored value is well formed; everything else keeps its
// current value. Returns non-zero when the store could be opened (zero, silently, on a
// first run).
int LoadSettings(AppSettings& settings, SettingsStore& store);

// Writes the whole set. When the store cannot be written, tells the user through
// `messages` and returns zero; the settings in memory stay in force either way.
int SaveSettings(const AppSettings& settings, SettingsStore& store, MessageBoxHost& messages);

// The start-up notice for a store that is there but cannot be read (`reason` from
// SettingsStore::unreadableReason): which file and why.
Message SettingsUnreadableNotice(const std::string& reason);

}  // namespace km8
