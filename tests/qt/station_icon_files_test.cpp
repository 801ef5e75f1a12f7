// The icon's committed files (src/res/icons, written by scripts/make-icons.sh) against what
// the station paints: a changed painting without new files fails here, on every platform.
#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "res/ui/station_icon.h"
#include "support/icon_files.h"

namespace km8 {
namespace {

// A component may differ by rounding (another build of Qt under wine), never by a change.
constexpr int kTolerance = 3;

QImage premultiplied(const QImage& image) {
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage painted(int size) {
  return premultiplied(stationIcon().pixmap(QSize(size, size), 1.0).toImage());
}

// The largest difference of one colour or alpha component; when the sizes differ, 256,
// more than any two components can differ by.
int largestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 256;
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
    }
  }
  return largest;
}

// A little-endian number of BYTES bytes at AT; 0 past the end.
quint32 le(const QByteArray& data, qsizetype at, int bytes) {
  if (at < 0 || at + bytes > data.size()) return 0;
  quint32 value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<uchar>(data[at + i]);
  return value;
}
quint32 le32(const QByteArray& data, qsizetype at) { return le(data, at, 4); }
quint16 le16(const QByteArray& data, qsizetype at) { return static_cast<quint16>(le(data, at, 2)); }

// A 32-bit DIB as an .ico keeps it: BITMAPINFOHEADER, rows bottom-up in BGRA, then the
// AND mask, which the alpha makes redundant. Null for anything else.
QImage fromDib(const QByteArray& dib, int size) {
  if (le32(dib, 0) != 40 || le16(dib, 14) != 32 || dib.size() < 40 + size * size * 4) return {};
  QImage image(size, size, QImage::Format_ARGB32);
  const auto* pixels = reinterpret_cast<const uchar*>(dib.constData()) + 40;
  for (int y = 0; y < size; ++y) {
    const uchar* row = pixels + (size - 1 - y) * size * 4;
    for (int x = 0; x < size; ++x) {
      const uchar* p = row + 4 * x;
      image.setPixel(x, y, qRgba(p[2], p[1], p[0], p[3]));
    }
  }
  return image;
}

// The pictures of an .ico by size. Its directory: reserved 0, type 1, count, then 16 bytes
// an entry (width and height with 0 for 256, ..., size and offset of the data), and the
// data a PNG or a DIB. Qt's own .ico reader is not in every build of Qt we run on.
std::map<int, QImage> readIco(const QByteArray& data) {
  std::map<int, QImage> pictures;
  if (le16(data, 0) != 0 || le16(data, 2) != 1) return pictures;
  for (int i = 0; i < le16(data, 4); ++i) {
    const qsizetype entry = 6 + 16 * i;
    if (entry + 16 > data.size()) break;
    const int size = static_cast<uchar>(data[entry]) == 0 ? 256 : static_cast<uchar>(data[entry]);
    const QByteArray bytes = data.mid(le32(data, entry + 12), le32(data, entry + 8));
    pictures[size] =
        bytes.startsWith("\x89PNG") ? QImage::fromData(bytes, "PNG") : fromDib(bytes, size);
  }
  return pictures;
}

TEST(StationIconFiles, ThemePicturesAreWhatTheStationPaints) {
  for (const int size : test::kIconPngSizes) {
    const QImage file(QStringLiteral(":/icons/km8-station-%1.png").arg(size));
    ASSERT_FALSE(file.isNull()) << "no src/res/icons/km8-station-" << size << ".png";
    EXPECT_LE(largestDifference(premultiplied(file), painted(size)), kTolerance)
        << size << " px: the file differs from the painting; run scripts/make-icons.sh";
  }
}

TEST(StationIconFiles, WindowsIconHoldsWhatTheStationPaints) {
  QFile ico(QStringLiteral(":/icons/km8-station.ico"));
  ASSERT_TRUE(ico.open(QIODevice::ReadOnly)) << "no src/res/icons/km8-station.ico";
  const auto pictures = readIco(ico.readAll());
  ASSERT_EQ(pictures.size(), test::kIconIcoSizes.size());
  for (const int size : test::kIconIcoSizes) {
    const auto found = pictures.find(size);
    ASSERT_NE(found, pictures.end()) << "no " << size << " px picture in the .ico";
    ASSERT_FALSE(found->second.isNull()) << size << " px: not a 32-bit DIB nor a PNG";
    EXPECT_LE(largestDifference(premultiplied(found->second), painted(size)), kTolerance)
        << size << " px: the .ico differs from the painting; run scripts/make-icons.sh";
  }
}

}  // namespace
}  // namespace km8
