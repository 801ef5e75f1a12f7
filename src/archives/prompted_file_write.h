// A whole file written through a ReplacementFile, with the station's Retry/Cancel boxes
// for a failed create or write, under the caption of the operation that writes it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "archives/replacement_file.h"
#include "res/message_box.h"

namespace km8 {

// What the boxes say, in UTF-8: a write-protected disk, any other create failure, a
// failed write.
Message FileCreateFailedMessage(FileCreateError error, const std::string& fileName,
                                const std::string& caption);
Message FileWriteFailedMessage(const std::string& fileName, const std::string& caption);

struct PromptedFileWrite {
  MessageBoxHost& messages;
  std::string caption;
  std::function<void()> beforePrompt;  // e.g. the main window to the front; may be empty
};

// Writes `bytes` as the whole file `name`. Retry tries the failed step again; Cancel
// leaves the previous file (if any) as it was and returns false.
bool WriteFileWithPrompts(ReplacementFile& file, const std::string& name, std::string_view bytes,
                          const PromptedFileWrite& prompts);

}  // namespace km8
