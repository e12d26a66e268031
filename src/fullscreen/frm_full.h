#pragma once

#include <QString>
#include <QWidget>

class DirList;
class DriveBox;
class FileList;
class PictureOpening;
class PicturePrefetch;
class PictureBox;
class Program;
class QGroupBox;
class QKeyEvent;
class QPushButton;

// The full-screen window: the picture alone on black, with a floating control panel that carries its own
// drive box, folder list and file list. Created once by Program and hidden between visits. Two files
// implement it: frm_full.cpp (window, panel, lists, entering and leaving) and full_picture.cpp (the
// picture's free-hand move, its click and its menu).
class FrmFull : public QWidget {
  Q_OBJECT

 public:
  explicit FrmFull(Program& program);
  ~FrmFull() override;

  void Form_Load();
  // The captions in the interface's language, the window's title, and the names screen readers give the
  // panel's lists and the picture.
  void retranslate();
  // Synchronises with the main window (picture, drive, folder, selection) and disables it; does nothing
  // while CDummy is set. Runs whenever the window is shown.
  void Form_Activate();
  // Back to the main window: CDummy cleared, this window hidden, the main window enabled and shown.
  void leave();

  // Window and panel (frm_full.cpp).
  void Form_Click();
  void Form_MouseDown(int button, int shift, double x, double y);
  void CMD_Toggle_Click();
  void CMD_Toggle_MouseUp(int button, int shift, double x, double y);
  void Drive_Change();
  void Dir_Change();
  void File_Click();
  void fr_control_MouseDown(int button, int shift, double x, double y);
  void fr_control_MouseMove(int button, int shift, double x, double y);

  // The panel's visibility; a panel shown again after it was dragged wholly off the window comes back inside,
  // and a shown panel gives the focus to its visible list.
  bool panelVisible() const;
  void setPanelVisible(bool visible);

  // Keys (full_keys.cpp): Esc leaves; with the panel hidden the arrows, Home, End and the page keys walk
  // the panel's file list (a page is 6 entries).
  void Form_KeyDown(int KeyCode, int Shift);

  // Picture (full_picture.cpp).
  void Img_MouseDown(int button, int shift, double x, double y);
  void Img_MouseMove(int button, int shift, double x, double y);
  void Img_MouseUp(int button, int shift, double x, double y);
  void Img_Click();

  // Controls.
  PictureBox* Img = nullptr;
  QGroupBox* fr_control = nullptr;
  FileList* File = nullptr;
  DirList* Dir = nullptr;
  DriveBox* Drive = nullptr;
  QPushButton* CMD_Toggle = nullptr;    // cycles the folder / drive / file captions
  PicturePrefetch* prefetch = nullptr;  // decodes the neighbours of the selection ahead
  // Pictures that decode to more than this are decoded on the prefetch's worker when they are not decoded
  // ahead, their top rows shown first, while the window answers; tests lower it. The busy pointer after
  // busyDelayMs of such a wait.
  qint64 waitFreeBytes = 16LL * 1024 * 1024;
  int busyDelayMs = 100;
  // True while such a picture is on its way to the screen.
  bool picturePending() const;

  // Window state.
  bool CDummy = false;  // true: the next activation changes nothing (a popup menu was just used)
  QString cur_drive;    // the drive of the last successful drive change
  double press_x = 0;   // where the panel was grabbed
  int press_y = 0;
  int drag_x = 0;  // pointer on the screen at the previous step of a picture drag
  int drag_y = 0;
  bool click_pending = false;  // a left press on the picture not yet followed by a drag

  void setVisible(bool visible) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void createControls();
  void connectHandlers();
  void popFullMenu();
  void setPictureCursor(bool moving);
  void bringPanelInside();
  void focusShownList();
  void previewKey(QKeyEvent* key);

  Program& program_;
  PictureOpening* opening_ = nullptr;
  int stepIndex_ = -1;  // the file last opened, and whether the step to it went forwards
  bool stepForwards_ = true;
  bool backgroundPressed_ = false;  // a left press on the background, waiting for its release
  bool mouseUpAfterClick_ = false;  // a release on the toggle button waits for the click it completes
};
