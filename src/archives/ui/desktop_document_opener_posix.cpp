#include <QDesktopServices>
#include <QUrl>

#include "archives/ui/desktop_document_opener.h"

namespace km8 {

void DesktopDocumentOpener::openDocument(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace km8
