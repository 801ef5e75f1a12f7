// Where the station puts its owned windows: centred on the owner by their frame, title
// bar included, as the window system centres a dialog.
#pragma once

class QWidget;

namespace km8 {

// Moves `window` so that its frame is centred on its owner's frame (on the screen when it
// has no owner). The window must already have its platform window: its frame margins are
// known only from then on. Call QWidget::create() on it first, never winId(): winId() marks
// the window native, and Qt then makes every widget of its owner a native window too.
void centreFrameOnOwner(QWidget& window);

}  // namespace km8
