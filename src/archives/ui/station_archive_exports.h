// The exports as the station runs them: the text file opened with the desktop's program,
// the database through QtSql; one object the main window owns and hands to the reading.
#pragma once

#include <QWidget>

#include "archives/archive_exporter.h"
#include "archives/ui/desktop_document_opener.h"
#include "archives/ui/qt_archive_database.h"

namespace km8 {

class StationArchiveExports {
 public:
  // `mainWindow` owns the shell's open; message boxes and the front go through the core's
  // hosts, like every other prompt of the main window.
  StationArchiveExports(QWidget* mainWindow, MessageBoxHost& messages, MainWindowFront& front)
      : opener_(mainWindow), exporter_(messages, front, opener_, database_) {}

  ArchiveExports& exports() { return exporter_; }

 private:
  DesktopDocumentOpener opener_;
  QtArchiveDatabase database_;
  ArchiveExporter exporter_;
};

}  // namespace km8
