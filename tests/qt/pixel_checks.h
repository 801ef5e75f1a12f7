// Pixel checks on rendered widgets: grab a widget as an image and count or locate the
// pixels of one colour.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdlib>

namespace km8::test {

inline QImage Grab(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline bool Is(const QImage& image, int x, int y, const QColor& color) {
  return QColor(image.pixel(x, y)).rgb() == color.rgb();
}

// Pixels of exactly this colour inside the area (the whole image by default).
inline int Count(const QImage& image, const QColor& color, QRect area = {}) {
  if (area.isNull()) area = image.rect();
  area = area.intersected(image.rect());
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) n += Is(image, x, y, color) ? 1 : 0;
  }
  return n;
}

// Pixels close to this colour (each component within the tolerance), as antialiased
// text leaves them.
inline int CountNear(const QImage& image, const QColor& color, QRect area, int tolerance) {
  area = area.intersected(image.rect());
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c(image.pixel(x, y));
      n += std::abs(c.red() - color.red()) <= tolerance &&
                   std::abs(c.green() - color.green()) <= tolerance &&
                   std::abs(c.blue() - color.blue()) <= tolerance
               ? 1
               : 0;
    }
  }
  return n;
}

// The smallest rectangle holding every pixel of this colour; null when there is none.
inline QRect Extent(const QImage& image, const QColor& color) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (Is(image, x, y, color)) box = box.united(QRect(x, y, 1, 1));
    }
  }
  return box;
}

}  // namespace km8::test
