// Hands a rendered chart picture to the outside world: the clipboard, a BMP, JPEG or PNG
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
void savePictureAsPng(const QImage& picture, const std::string& path);

}  // namespace km8
