#!/usr/bin/env bash
# Checks a Qt for Windows made by build-qt-windows.sh: builds a small Widgets + Sql
# program against it with mingw-w64, lays it out with the Qt DLLs and plugins beside it
# as a deployment would, and runs it under wine in a throwaway prefix: offscreen, then,
# where xvfb-run exists, on the windows platform plugin. The program opens an in-memory
# SQLite database, shows a widget, and writes and reads back a JPEG and a BMP.
# Usage: scripts/qt-windows-smoke.sh [QT_PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=${1:-$(scripts/build-qt-windows.sh --prefix)}
if [[ ! -f "$prefix/.km8-complete" ]]; then
  echo "No finished Qt for Windows in $prefix (run scripts/build-qt-windows.sh)" >&2
  exit 1
fi

tmp=$(mktemp -d /tmp/km8-qt-smoke.XXXXXX)
export WINEPREFIX="$tmp/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  local status=$?
  if [[ -d "$WINEPREFIX" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT

mkdir -p "$tmp/src"
cat >"$tmp/src/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.22)
project(qt_smoke CXX)
find_package(Qt6 REQUIRED COMPONENTS Widgets Sql)
add_executable(qt_smoke main.cpp)
target_link_libraries(qt_smoke PRIVATE Qt6::Widgets Qt6::Sql)
EOF
cat >"$tmp/src/main.cpp" <<'EOF'
#include <QApplication>
#include <QBuffer>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWidget>
#include <cstdio>

static int failures = 0;
static void check(bool ok, const QString& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
  if (!ok) ++failures;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  check(true, "platform " + QGuiApplication::platformName());

  const QStringList drivers = QSqlDatabase::drivers();
  check(drivers.contains("QSQLITE") && drivers.contains("QODBC"), "sql drivers " + drivers.join(' '));
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "smoke");
    db.setDatabaseName(":memory:");
    check(db.open(), "open in-memory SQLite");
    QSqlQuery q(db);
    const bool made = q.exec("CREATE TABLE t(n INTEGER, s TEXT)") &&
                      q.exec("INSERT INTO t VALUES (7, 'сім')") && q.exec("SELECT n, s, sqlite_version() FROM t");
    const bool read = made && q.next() && q.value(0).toInt() == 7 && q.value(1).toString() == QString("сім");
    check(read, "SQLite round trip, SQLite " + (read ? q.value(2).toString() : QString("?")));
  }
  QSqlDatabase::removeDatabase("smoke");

  QWidget widget;
  widget.resize(120, 80);
  widget.show();
  const QImage shot = widget.grab().toImage();
  check(widget.isVisible() && shot.width() == 120, "widget shown and grabbed");

  const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
  QStringList names;
  for (const QByteArray& f : formats) names << QString::fromLatin1(f);
  check(formats.contains("jpeg") && formats.contains("jpg") && formats.contains("bmp"),
        "image formats " + names.join(' '));
  for (const char* format : {"jpg", "bmp"}) {
    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    const bool written = QImageWriter(&buffer, format).write(picture);
    buffer.seek(0);
    const QImage back = QImageReader(&buffer, format).read();
    check(written && back.size() == picture.size(), QString("write and read back %1").arg(format));
  }

  const QStringList families = QFontDatabase::families();
  check(!families.isEmpty(), QString("%1 font families, first %2").arg(families.size()).arg(families.value(0)));

  std::printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
EOF

echo "--- build"
cmake -G Ninja -S "$tmp/src" -B "$tmp/build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" >/dev/null
cmake --build "$tmp/build"

echo "--- deploy"
app="$tmp/app"
mkdir -p "$app"
cp "$tmp/build/qt_smoke.exe" "$prefix"/bin/*.dll "$app/"
for dir in platforms sqldrivers imageformats styles; do
  [[ -d "$prefix/plugins/$dir" ]] && cp -r "$prefix/plugins/$dir" "$app/"
done
(cd "$app" && find . -type f | sort | sed 's/^\.\//  /')

wineboot -i >/dev/null 2>&1 || true
# The offscreen platform draws text with FreeType from a font folder of its own.
fonts=$(winepath -w /usr/share/fonts/truetype/dejavu 2>/dev/null || echo 'Z:\usr\share\fonts\truetype\dejavu')

# wine keeps the host's QT_* variables from Windows programs: WINEQT_* reach them as QT_*.
echo "--- run: offscreen"
WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR="$fonts" wine "$app/qt_smoke.exe"
if command -v xvfb-run >/dev/null; then
  echo "--- run: windows"
  WINEQT_QPA_PLATFORM=windows xvfb-run -a wine "$app/qt_smoke.exe"
fi
