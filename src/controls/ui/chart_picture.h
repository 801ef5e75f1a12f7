// Hands a rendered chart picture to the outside world: the clipboard, a BMP or a JPEG
// file. Failures throw ControlError with a description for the user.
#pragma once

#include <QImage>
#include <string>

namespace km8 {

void copyPictureToClipboard(const QImage& picture);
void savePictureAsBitmap(const QImage& picture, const std::string& path);
// quality 0 to 100 (clamped); progressive asks for a progressive JPEG.
void savePictureAsJpeg(const QImage& picture, const std::string& path, int quality,
                       bool progressive);

}  // namespace km8
