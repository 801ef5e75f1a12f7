#include "res/ui/window_placement.h"

#include <QRect>
#include <QScreen>
#include <QWidget>

namespace km8 {

void centreFrameOnOwner(QWidget& window) {
  const QWidget* owner = window.parentWidget();
  QRect area = owner != nullptr ? owner->frameGeometry() : QRect();
  if (area.isEmpty() && window.screen() != nullptr) area = window.screen()->availableGeometry();
  if (area.isEmpty()) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(area.center());
  window.move(frame.topLeft());
}

}  // namespace km8
