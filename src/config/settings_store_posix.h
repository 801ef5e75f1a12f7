// The settings file on POSIX: the whole set as text (settings_file_format.h), read at
// once and replaced atomically on save, so a crash never leaves half a file behind.
#pragma once

#include <string>

#include "config/settings_store.h"

namespace km8 {

class FileSettingsStore : public SettingsStore {
 public:
  // `path` chooses the file, so that tests and several stations never share one by
  // accident.
  explicit FileSettingsStore(std::string path);

  const std::string& path() const { return path_; }

  // nullopt when the file is missing (silently), or unreadable or not a regular file
  // (then unreadableReason() says why).
  std::optional<StoredValues> read(std::span<const std::string> names) override;
  // Creates the folder when missing, writes a temporary file beside the old one, syncs
  // it and renames it over the old one: the old file stays whole when anything fails.
  // A symbolic link is kept and its target replaced (created when dangling). Refuses a
  // file the last read could not read, one this process cannot read, and anything
  // that is not a regular file (a FIFO, a device, a folder, a loop of links).
  bool write(std::span<const NamedValue> values) override;
  std::string unreadableReason() const override { return unreadable_; }
  bool holdsPortPaths() const override { return true; }

 private:
  std::string path_;
  std::string unreadable_;
};

// $XDG_CONFIG_HOME/km8/km8.conf, or ~/.config/km8/km8.conf when XDG_CONFIG_HOME is
// unset or not an absolute path.
std::string DefaultSettingsPath();
// The same rule on given values; either may be null. An empty home gives a path
// relative to the working folder.
std::string SettingsPathFor(const char* xdgConfigHome, const char* home);

}  // namespace km8
