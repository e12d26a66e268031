// Keys of the full-screen window.
#include "fullscreen/frm_full.h"

#include "app/program.h"
#include "controls/file_list.h"
#include "preferences/frm_option.h"

#include <QKeyEvent>

void FrmFull::previewKey(QKeyEvent* key) {
  // The window's menu without a mouse, as a right press opens it.
  if (key->type() == QEvent::KeyPress &&
      (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier))) {
    popFullMenu();
    return;
  }
  int code = 0;
  switch (key->key()) {
    case Qt::Key_Escape:
      code = 27;
      break;
    case Qt::Key_PageUp:
      code = 33;
      break;
    case Qt::Key_PageDown:
      code = 34;
      break;
    case Qt::Key_End:
      code = 35;
      break;
    case Qt::Key_Home:
      code = 36;
      break;
    case Qt::Key_Up:
      code = 38;
      break;
    case Qt::Key_Down:
      code = 40;
      break;
    default:
      return;
  }
  Form_KeyDown(code, 0);
}

void FrmFull::Form_KeyDown(int KeyCode, int) {
  if (!program_.frm_option->Option1Value()) return;
  if (KeyCode == 27) {
    Leave();
    return;
  }
  // With the panel shown, its focused list moves the selection itself.
  if (panelVisible()) return;
  const int index = File->ListIndex();
  const int count = File->ListCount();
  switch (KeyCode) {
    case 38:
      if (index > 0) File->setListIndex(index - 1);
      break;
    case 40:
      if (index < count - 1) File->setListIndex(index + 1);
      break;
    case 36:
      if (count > 0) File->setListIndex(0);
      break;
    case 35:
      File->setListIndex(count - 1);
      break;
    case 33:
      if (count > 0) File->setListIndex(index > 6 ? index - 6 : 0);
      break;
    case 34:
      File->setListIndex(index < count - 7 ? index + 6 : count - 1);
      break;
    default:
      break;
  }
}
