#include "qt/user_input.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <stdexcept>

#include "qt/run_events.h"

#ifdef KM8_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#endif

namespace km8::test {
namespace {

// Counts the button releases the application takes, wherever they land.
class ReleaseCounter final : public QObject {
 public:
  ReleaseCounter() { qApp->installEventFilter(this); }
  ~ReleaseCounter() override { qApp->removeEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Qt hands one release to the window, then to the widget: count the window's.
    if (event->type() == QEvent::MouseButtonRelease && watched->isWindowType()) ++count;
    return false;
  }
};

#ifdef KM8_HAVE_XTEST
// A connection of the test's own: what it sends reaches Qt only through the server.
Display* xDisplay() {
  static Display* display = [] {
    Display* d = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (d == nullptr || !XTestQueryExtension(d, &event, &error, &major, &minor)) {
      throw std::runtime_error("no X display with the XTEST extension");
    }
    return d;
  }();
  return display;
}

// Waits until the server has carried out every request Qt has made so far (a window
// raised, mapped or moved), so that the clicks that follow meet the windows as they are.
void syncWithQtsConnection() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return;
  xcb_connection_t* c = x11->connection();
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

unsigned xButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton:
      return 3;
    case Qt::MiddleButton:
      return 2;
    default:
      return 1;
  }
}
#endif

}  // namespace

bool clicksGoThroughXServer() {
#ifdef KM8_HAVE_XTEST
  return QGuiApplication::platformName() == QLatin1String("xcb");
#else
  return false;
#endif
}

void userClick(QWidget& widget, Qt::MouseButton button, std::optional<QPoint> pos) {
  const QPoint at = pos.value_or(widget.rect().center());
  QWidget& top = *widget.window();
  if (!QTest::qWaitForWindowExposed(&top)) throw std::runtime_error("window never shown");
  ReleaseCounter releases;
  if (clicksGoThroughXServer()) {
#ifdef KM8_HAVE_XTEST
    const QPoint global = widget.mapToGlobal(at);
    syncWithQtsConnection();
    Display* d = xDisplay();
    XTestFakeMotionEvent(d, -1, global.x(), global.y(), CurrentTime);
    XTestFakeButtonEvent(d, xButton(button), True, CurrentTime);
    XTestFakeButtonEvent(d, xButton(button), False, CurrentTime);
    XSync(d, False);
#endif
  } else {
    QTest::mouseClick(top.windowHandle(), button, {}, widget.mapTo(&top, at));
  }
  runEventsUntil([&] { return releases.count > 0; }, 2000);
}

}  // namespace km8::test
