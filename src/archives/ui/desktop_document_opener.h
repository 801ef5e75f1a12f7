// The text export's auto-open: the desktop's default program for the file (the
// desktop services on Linux, the shell's "open" verb owned by the main window on Windows).
#pragma once

#include <QPointer>
#include <QWidget>

#include "archives/document_opener.h"

namespace km8 {

class DesktopDocumentOpener final : public DocumentOpener {
 public:
  explicit DesktopDocumentOpener(QWidget* owner) : owner_(owner) {}
  void openDocument(const std::string& path) override;  // per platform

 private:
  QPointer<QWidget> owner_;
};

}  // namespace km8
