#include "controls/ui/control_font.h"

#include <QFontDatabase>

namespace km8 {

QFont controlFont(const QString& family, int pixelHeight, bool bold) {
  QFont font(family);
  if (!QFontDatabase::hasFamily(family)) {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  }
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight);
  font.setBold(bold);
  return font;
}

}  // namespace km8
