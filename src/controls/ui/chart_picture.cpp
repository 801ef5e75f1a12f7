#include "controls/ui/chart_picture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <algorithm>

#include "controls/display_controls.h"

namespace km8 {

namespace {

void writePicture(const QImage& picture, const std::string& path, const char* format, int quality,
                  bool progressive) {
  const std::string failure = "Cannot write file " + path;
  if (path.empty()) throw ControlError(failure);
  if (picture.isNull()) throw ControlError(failure + ": the chart has no picture");
  QImageWriter writer(QString::fromStdString(path), format);
  if (quality >= 0) writer.setQuality(quality);
  writer.setProgressiveScanWrite(progressive);
  if (!writer.write(picture)) {
    const QString reason = writer.errorString();
    throw ControlError(reason.isEmpty() ? failure : failure + ": " + reason.toStdString());
  }
}

}  // namespace

void copyPictureToClipboard(const QImage& picture) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr || picture.isNull()) {
    throw ControlError("Cannot copy the chart to the clipboard");
  }
  clipboard->setImage(picture);
}

void savePictureAsBitmap(const QImage& picture, const std::string& path) {
  writePicture(picture, path, "bmp", -1, false);
}

void savePictureAsJpeg(const QImage& picture, const std::string& path, int quality,
                       bool progressive) {
  writePicture(picture, path, "jpeg", std::clamp(quality, 0, 100), progressive);
}

void savePictureAsPng(const QImage& picture, const std::string& path) {
  writePicture(picture, path, "png", -1, false);
}

}  // namespace km8
