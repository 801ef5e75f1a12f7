// The Windows shell's "open" verb for a document, owned by a window: what the text
// export's auto-open does on Windows (elsewhere the desktop services of the Qt layer).
#pragma once

#include <cstdint>
#include <string>

namespace km8 {

// `path` in UTF-8; `ownerWindow` is the owner's native handle (0 for none). The
// shell's result is not reported. Windows only.
void ShellOpenDocument(const std::string& path, std::uintptr_t ownerWindow);

}  // namespace km8
