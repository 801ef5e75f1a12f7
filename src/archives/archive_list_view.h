// What the archive reading needs of the archive list window: its rows, its caption, its
// place on screen and the listOpen flag the poll cycle consults.
#pragma once

#include <string>

#include "archives/archive_record.h"

namespace km8 {

class ArchiveListView {
 public:
  virtual ~ArchiveListView() = default;

  virtual void deleteAllRows() = 0;
  // Adds the row of record n at index n (n = rows so far); the window formats its cells.
  virtual void appendRow(const ArchiveEntry& entry) = 0;
  virtual void setCaption(const std::string& caption) = 0;
  virtual void showOrFocus() = 0;  // shown if hidden, focused if visible
  virtual void activate() = 0;     // made the active window

  // Set by the Archives command, cleared when the user closes the window.
  virtual bool listOpen() const = 0;
  virtual void setListOpen(bool open) = 0;
};

}  // namespace km8
