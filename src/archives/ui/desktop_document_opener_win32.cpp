#include "archives/shell_open.h"
#include "archives/ui/desktop_document_opener.h"

namespace km8 {

void DesktopDocumentOpener::openDocument(const std::string& path) {
  // The handle the owner's window already has: winId() would make a child widget native,
  // and with it every sibling.
  const WId owner = owner_ ? owner_->window()->effectiveWinId() : 0;
  ShellOpenDocument(path, static_cast<std::uintptr_t>(owner));
}

}  // namespace km8
