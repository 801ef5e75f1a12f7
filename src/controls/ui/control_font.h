// Fonts of the display controls, given as the dialog resources give them: a family,
// a pixel height and the weight.
#pragma once

#include <QFont>
#include <QString>

namespace km8 {

// A family this system lacks (the Windows dialog fonts on Linux) falls back to the
// general sans-serif font at the same pixel height.
QFont controlFont(const QString& family, int pixelHeight, bool bold);

}  // namespace km8
