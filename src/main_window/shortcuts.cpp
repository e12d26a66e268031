// Keyboard shortcuts of the main window. The window previews every key, acts on the documented ones when the
// shortcut switch is on, and lets the key go on to the focused control.
#include "main_window/frm_main.h"

#include "app/program.h"
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/input_codes.h"
#include "menus/frm_dummy.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

void FrmMain::previewKey(QKeyEvent* key) {
  if (key->type() == QEvent::KeyPress && menuFromKeyboard(key)) return;
  if (const int code = keyCode(key)) Form_KeyDown(code, 0);
  if (const int ascii = keyAscii(key)) Form_KeyPress(ascii);
}

// The menus without a mouse: the Menu key or Shift+F10 opens the menu of the focused list or of the picture,
// at that control, through the same handling as a right press; Delete on the file list asks to delete, as
// the menu's command does. Whatever the shortcut switch says: these are the keyboard's way to the menus.
bool FrmMain::menuFromKeyboard(QKeyEvent* key) {
  const bool menuKey =
      key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
  QWidget* focus = QApplication::focusWidget();
  const auto within = [focus](QWidget* control) {
    return focus && (focus == control || control->isAncestorOf(focus));
  };
  if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier && within(File)) {
    if (File->ListIndex() >= 0) program_.frm_dummy()->mnu_delete_Click();
    return true;
  }
  if (!menuKey) return false;
  FrmDummy* dummy = program_.frm_dummy();
  const auto at = [dummy](QWidget* control) {
    dummy->nextPopupAt = control->mapToGlobal(control->rect().center());
  };
  if (within(File)) {
    at(File);
    File_MouseDown(2, 0, 0, 0);
  } else if (within(List)) {
    at(List);
    List_MouseDown(2, 0, 0, 0);
  } else {
    at(border);
    Img_MouseDown(2, 0, 0, 0);
  }
  return true;
}

void FrmMain::Form_KeyDown(int KeyCode, int) {
  if (!program_.options().Option1Value()) return;
  // Only the documented letters act; keys whose codes merely look like letters (F7, F9, keypad) do not.
  switch (KeyCode) {
    case 'Z':
      cmd_prev_Click();
      break;
    case 'X':
      cmd_play_Click();
      break;
    case 'C':
      cmd_pause_Click();
      break;
    case 'V':
      cmd_stop_Click();
      break;
    case 'B':
      cmd_next_Click();
      break;
    default:
      break;
  }
  switch (KeyCode) {
    case KeyF2: {  // another copy of the program
      const QString self = program_.app_dir + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
      program_.seams.launcher->startProgram(self);
      break;
    }
    case KeyF3:
      Logo_Click();
      break;
    case KeyF11:
    case KeyF12:
      cmd_min_Click();
      break;
    default:
      break;
  }
}

void FrmMain::Form_KeyPress(int KeyAscii) {
  if (!program_.options().Option1Value()) return;
  if (KeyAscii == AsciiCtrlD) {  // the desktop folder; nothing when there is none
    Dir->setPath(Program::desktopDir());
  } else if (KeyAscii == AsciiCtrlX) {
    cmd_close_Click();
  }
}
