// Builds a window's controls from its dialog template: dialog units converted to pixels
// from the dialog font's metrics, every control tagged with its identifier.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <map>
#include <span>
#include <vector>

#include "res/control_looks.h"
#include "res/dialog_template.h"

class QButtonGroup;

namespace km8 {

// The property every built control carries: its identifier (kStaticId for the ones the
// code never addresses).
inline constexpr char kControlIdProperty[] = "controlId";

// Pixels per dialog unit, in the Windows way: the horizontal base unit is the average
// width of the letters A-Z a-z, the vertical one the font's height; one dialog unit is a
// quarter of the first and an eighth of the second.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;

  static DialogBaseUnits of(const QFont& font);
  // Rounded like MulDiv: x * baseX / 4, y * baseY / 8.
  int toPixelsX(int dialogUnits) const;
  int toPixelsY(int dialogUnits) const;
  QRect toPixels(int x, int y, int width, int height) const;
};

// The template's font at its point size, or the sans-serif font at that size when the
// family is not installed.
QFont dialogFont(const DialogTemplate& dialog);

struct BuiltDialog {
  QFont font;
  DialogBaseUnits units;
  std::vector<QWidget*> controls;          // in template order
  std::map<int, QWidget*> byId;            // the identified controls
  std::vector<QButtonGroup*> radioGroups;  // one per group start, in template order

  QWidget* control(int id) const;  // nullptr when absent
  template <class W>
  W* controlAs(int id) const {
    return qobject_cast<W*>(control(id));
  }
};

// Creates the controls of `dialog` as children of `window`, sets the window's font,
// caption and fixed client size, and applies the initial looks. Radio buttons form one
// exclusive group from each group start to the next, the button ids being their index
// within it. Push buttons are never default buttons unless the template says so.
BuiltDialog buildDialog(const DialogTemplate& dialog, QWidget& window,
                        std::span<const ControlLook> looks = {});

}  // namespace km8
