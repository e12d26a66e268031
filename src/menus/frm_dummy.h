#pragma once

#include "platform/common_dialog.h"

#include <QCursor>
#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class BitmapSaver;
class Program;
class QAction;
class QMenu;

// The hidden window that owns every popup menu, the common file dialog CMD and the picture cursors.
// It is never shown.
class FrmDummy : public QWidget {
  Q_OBJECT

 public:
  explicit FrmDummy(Program& program);
  ~FrmDummy() override;

  void Form_Load();
  // The menus' items in the interface's language.
  void retranslate();

  // Pops a menu at the pointer and waits for it to close; the chosen item's handler runs before it returns.
  void popUp(QMenu* menu);
  // Tests replace the real popup to choose an item (or none) without a real menu.
  std::function<void(QMenu*)> popupMenu;
  // Where the next menu pops instead of at the pointer (a menu opened from the keyboard pops at the control
  // it belongs to); used once.
  std::optional<QPoint> nextPopupAt;

  // The menus and their items.
  QMenu* mnu_filelist = nullptr;
  QAction* mnu_addflist = nullptr;
  QAction* mnu_delete = nullptr;
  QMenu* mnu_list = nullptr;
  QAction* mnu_removelist = nullptr;
  QAction* mnu_newlist = nullptr;
  QAction* mnu_openlist = nullptr;
  QAction* mnu_savelist = nullptr;
  QMenu* mnu_img = nullptr;
  QAction* mnu_paste = nullptr;
  QAction* mnu_fullscr = nullptr;
  QAction* mnu_openwith = nullptr;
  QAction* mnu_savebitmap = nullptr;
  QMenu* mnu_full = nullptr;
  QAction* mnu_return = nullptr;
  QAction* mnu_control = nullptr;
  QAction* mnu_prev = nullptr;
  QAction* mnu_Next = nullptr;

  std::unique_ptr<CommonDialog> CMD;
  // Writes "Save to bitmap file"'s pictures off the UI thread; the pointer is busy while any is under way.
  std::unique_ptr<BitmapSaver> bitmapSaver;

  // The picture cursors.
  QCursor cur_pointer;
  QCursor cur_move;
  // The picture's pointer, while it is dragged or not: these two while the program's own cursors are on
  // (read at each call), else the platform's four-way arrow and arrow.
  QCursor pictureCursor(bool moving) const;
  QCursor cur_wait;

  // Menu commands.
  void mnu_addflist_Click();
  void mnu_delete_Click();
  void mnu_removelist_Click();
  void mnu_newlist_Click();
  void mnu_openlist_Click();
  void mnu_savelist_Click();
  // The save command's work, telling how it ended (New and Open go on unless the save failed).
  enum class SaveResult { Nothing, Cancelled, Saved, Failed };
  SaveResult saveList();
  void mnu_paste_Click();
  void mnu_fullscr_Click();
  void mnu_openwith_Click();
  void mnu_savebitmap_Click();
  void mnu_return_Click();
  void mnu_control_Click();
  void mnu_prev_Click();
  void mnu_Next_Click();

 private:
  void createMenus();
  void bitmapSaveEnded();
  // Where a file dialog starts: the folder it was last used in while that still exists, else the folder the
  // file list shows.
  QString startFolder(const QString& lastUsed) const;
  Program& program_;
  bool saveBusy_ = false;  // the busy pointer is ours
  // The folders each file dialog was last used in, this session.
  QString openListFolder_;
  QString saveListFolder_;
  QString bitmapFolder_;
};
