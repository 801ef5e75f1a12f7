// km8-icons: writes the station's icon, as stationIcon() paints it, into a folder as
// km8-station-SIZE.png; scripts/make-icons.sh makes the theme's files and the .ico from them.
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>

#include "res/ui/station_icon.h"
#include "support/icon_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: km8-icons FOLDER\n", stderr);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  int qtArgc = 1;
  QGuiApplication application(qtArgc, argv);
  const QIcon icon = km8::stationIcon();
  for (const int size : km8::test::kIconPngSizes) {
    const QString path = folder.filePath(QStringLiteral("km8-station-%1.png").arg(size));
    const QPixmap pixmap = icon.pixmap(QSize(size, size), 1.0);
    if (pixmap.size() != QSize(size, size) || !pixmap.save(path, "PNG")) {
      std::fprintf(stderr, "km8-icons: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
