// Keys of the full-screen window.
#include "fullscreen/frm_full.h"

#include "app/program.h"
#include "controls/file_list.h"
#include "controls/input_codes.h"

#include <QKeyEvent>

void FrmFull::previewKey(QKeyEvent* key) {
  // The window's menu without a mouse, as a right press opens it.
  if (key->type() == QEvent::KeyPress &&
      (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier))) {
    popFullMenu();
    return;
  }
  if (const int code = keyCode(key)) Form_KeyDown(code, 0);
}

void FrmFull::Form_KeyDown(int KeyCode, int) {
  if (!program_.options().Option1Value()) return;
  if (KeyCode == KeyEscape) {
    leave();
    return;
  }
  // With the panel shown, its focused list moves the selection itself.
  if (panelVisible()) return;
  const int index = File->ListIndex();
  const int count = File->ListCount();
  switch (KeyCode) {
    case KeyUp:
      if (index > 0) File->setListIndex(index - 1);
      break;
    case KeyDown:
      if (index < count - 1) File->setListIndex(index + 1);
      break;
    case KeyHome:
      if (count > 0) File->setListIndex(0);
      break;
    case KeyEnd:
      File->setListIndex(count - 1);
      break;
    case KeyPageUp:
      if (count > 0) File->setListIndex(index > 6 ? index - 6 : 0);
      break;
    case KeyPageDown:
      File->setListIndex(index < count - 7 ? index + 6 : count - 1);
      break;
    default:
      break;
  }
}
