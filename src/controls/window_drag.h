#pragma once

#include <QGuiApplication>
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

}  // namespace windowdrag
