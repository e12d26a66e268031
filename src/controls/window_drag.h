#pragma once

#include "controls/input_codes.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <cmath>

// Moving a borderless window by dragging its title or its background, shared by the windows that have no
// frame of the platform's. press_x is kept exactly, press_y rounded half to even; only the left button alone
// drags, and the point pressed stays under the pointer.
namespace windowdrag {

inline void press(int button, double x, double y, double& press_x, int& press_y) {
  if (button != 1) return;
  press_x = x;
  press_y = static_cast<int>(std::nearbyint(y));
}

// Where a client may not place its own windows (Wayland), the compositor moves the window instead, through
// its own interactive move; the arithmetic above is kept wherever the platform allows it.
inline bool compositorMoves() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

inline void press(QWidget& window, int button, double x, double y, double& press_x, int& press_y) {
  press(button, x, y, press_x, press_y);
  if (button != 1 || !compositorMoves()) return;
  if (QWindow* handle = window.window()->windowHandle()) handle->startSystemMove();
}

inline void move(QWidget& window, int button, double x, double y, double press_x, int press_y) {
  if (button != 1 || compositorMoves()) return;
  QPoint target = window.pos();
  if (x != press_x)
    target.setX(static_cast<int>(std::nearbyint(static_cast<float>(window.pos().x() + x) - press_x)));
  if (static_cast<double>(press_y) != y)
    target.setY(static_cast<int>(std::nearbyint(window.pos().y() + y - press_y)));
  if (target != window.pos()) window.move(target);
}

// The mouse glue of a drag handle (a title, the full-screen panel): a press or a move on `handle` handed to
// its window's handlers as (button, shift, x, y), the position relative to the handle taken from the
// pointer's screen position, so a move the window system has not confirmed yet cannot make it jitter.
// Returns false for any other event; `pressed` tells a press from a move.
template <class Handler>
bool route(const QWidget* handle, const QEvent* event, Handler&& handler) {
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove) return false;
  const auto* mouse = static_cast<const QMouseEvent*>(event);
  const QPointF p = mouse->globalPosition() - QPointF(handle->mapToGlobal(QPoint(0, 0)));
  const bool pressed = type == QEvent::MouseButtonPress;
  handler(pressed, buttonCode(pressed ? mouse->button() : mouse->buttons()), shiftCode(mouse->modifiers()),
          p.x(), p.y());
  return true;
}

// A window's bare background as a drag handle, fed the window's own mouse events. Only a press on no control
// starts a drag: a press that a control (a group box, a label) let through to the window is that control's,
// and moving with the button held must not drag the window from a stale press point.
class Background {
 public:
  template <class Handler>
  void press(QWidget& window, QMouseEvent* event, Handler&& handler) {
    pressed_ = window.childAt(event->position().toPoint()) == nullptr;
    if (pressed_) route(&window, event, handler);
  }
  template <class Handler>
  void move(QWidget& window, QMouseEvent* event, Handler&& handler) {
    if (event->buttons() == Qt::NoButton || pressed_) route(&window, event, handler);
  }
  void release(const QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton) pressed_ = false;
  }

 private:
  bool pressed_ = false;
};

}  // namespace windowdrag
