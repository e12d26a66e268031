#pragma once

#include <QKeyEvent>
#include <Qt>

// The codes the handlers take for mouse buttons, shift keys and keys, in one place for every window and
// control that hands Qt's events over to them.

// Mouse buttons: 1 left, 2 right, 4 middle, added up for the buttons held.
inline int buttonCode(Qt::MouseButtons buttons) {
  return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
         (buttons & Qt::MiddleButton ? 4 : 0);
}

// Shift keys: 1 Shift, 2 Ctrl, 4 Alt, added up.
inline int shiftCode(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

// The key codes the KeyDown handlers take (the published virtual-key values); letters are their capitals.
enum VirtualKey : int {
  KeyEscape = 27,
  KeyPageUp = 33,
  KeyPageDown = 34,
  KeyEnd = 35,
  KeyHome = 36,
  KeyUp = 38,
  KeyDown = 40,
  KeyF1 = 112,
  KeyF2 = 113,
  KeyF3 = 114,
  KeyF11 = 122,
  KeyF12 = 123,
};

// The characters the KeyPress handlers take for Ctrl and a letter.
enum KeyAscii : int {
  AsciiCtrlD = 4,
  AsciiCtrlX = 24,
};

// A key event's code for the KeyDown handlers: letters, function keys and the keys that move a selection;
// 0 for any other key.
inline int keyCode(const QKeyEvent* event) {
  const int key = event->key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;  // same values
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return KeyF1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Escape:
      return KeyEscape;
    case Qt::Key_PageUp:
      return KeyPageUp;
    case Qt::Key_PageDown:
      return KeyPageDown;
    case Qt::Key_End:
      return KeyEnd;
    case Qt::Key_Home:
      return KeyHome;
    case Qt::Key_Up:
      return KeyUp;
    case Qt::Key_Down:
      return KeyDown;
    default:
      return 0;
  }
}

// The character a key types, with Ctrl and a letter giving its control character; 0 for none.
inline int keyAscii(const QKeyEvent* event) {
  if ((event->modifiers() & Qt::ControlModifier) && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
    return event->key() - Qt::Key_A + 1;
  const QString text = event->text();
  return text.size() == 1 ? text.at(0).unicode() : 0;
}
