// Mouse clicks as a user makes them. On an X display they go through the X server, whose
// window stacking then decides which window gets them, exactly as for a real pointer;
// elsewhere (offscreen, Windows) they go to the widget's top-level window.
#pragma once

#include <QPoint>
#include <Qt>
#include <optional>

class QWidget;

namespace km8::test {

// Clicks `widget` at `pos` (its centre by default) and returns once the application has
// taken a button release, or after two seconds. Whatever the click then does (a modal
// dialog, a popup menu) runs inside this call, as after a real click.
void userClick(QWidget& widget, Qt::MouseButton button = Qt::LeftButton,
               std::optional<QPoint> pos = std::nullopt);

// Whether clicks go through an X server here.
bool clicksGoThroughXServer();

}  // namespace km8::test
