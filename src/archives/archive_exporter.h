// The station's ArchiveExports: the text file through the platform's replacement file
// and the desktop's opener, the database through the engine layer it is given.
#pragma once

#include <functional>
#include <memory>

#include "archives/archive_exports.h"
#include "archives/database_export.h"
#include "archives/text_export.h"

namespace km8 {

class ArchiveExporter final : public ArchiveExports {
 public:
  ArchiveExporter(MessageBoxHost& messages, MainWindowFront& window, DocumentOpener& opener,
                  ArchiveDatabase& database,
                  std::function<std::unique_ptr<ReplacementFile>()> makeFile = MakeReplacementFile)
      : messages_(messages),
        window_(window),
        opener_(opener),
        database_(database),
        makeFile_(std::move(makeFile)) {}

  void exportText(const ArchiveBuffer& buffer, const TextExportSettings& settings) override {
    ExportArchiveText(buffer, settings, {messages_, window_, opener_, makeFile_});
  }

  void exportDatabase(const ArchiveBuffer& buffer,
                      const DatabaseExportSettings& settings) override {
    ExportArchiveDatabase(buffer, settings, database_, messages_, window_);
  }

 private:
  MessageBoxHost& messages_;
  MainWindowFront& window_;
  DocumentOpener& opener_;
  ArchiveDatabase& database_;
  std::function<std::unique_ptr<ReplacementFile>()> makeFile_;
};

}  // namespace km8
