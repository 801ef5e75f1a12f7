#include "archives/shell_open.h"
#include "archives/ui/desktop_document_opener.h"

namespace km8 {

void DesktopDocumentOpener::openDocument(const std::string& path) {
  ShellOpenDocument(path, owner_ ? static_cast<std::uintptr_t>(owner_->winId()) : 0);
}

}  // namespace km8
