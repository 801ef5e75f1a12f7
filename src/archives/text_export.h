// The archive text file: fixed-width columns in code page 1251, built whole in memory,
// written through a ReplacementFile with the Retry/Cancel prompts, then optionally opened.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "archives/archive_exports.h"
#include "archives/archive_record.h"
#include "archives/document_opener.h"
#include "archives/replacement_file.h"
#include "monitor/display_hooks.h"
#include "res/message_box.h"

namespace km8 {

inline constexpr char kTextExportCaption[] = "Створення текстового файлу";

// Appends `text` padded with spaces up to `width` bytes; a text as long as the width or
// longer goes in whole, with no padding, so the next field touches it.
void AppendField(std::string& line, std::string_view text, std::size_t width);

// The whole file content in code page 1251: the header line, then one line per entry in
// buffer order, each ending in CR LF.
std::string BuildArchiveText(const ArchiveBuffer& buffer);

struct TextExportServices {
  MessageBoxHost& messages;
  MainWindowFront& window;  // brought to the front before each prompt
  DocumentOpener& opener;
  std::function<std::unique_ptr<ReplacementFile>()> makeFile = MakeReplacementFile;
};

// Writes the buffer to settings.textFileName; a create or write failure asks Retry or
// Cancel, and Cancel leaves the previous file (if any) as it was. Opens the file
// afterwards when settings.autoOpen is on and the file was written.
void ExportArchiveText(const ArchiveBuffer& buffer, const TextExportSettings& settings,
                       TextExportServices services);

}  // namespace km8
