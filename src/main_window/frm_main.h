#pragma once

#include "controls/key_buttons.h"
#include "controls/window_drag.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class DirList;
class DriveBox;
class FileList;
class MMControl;
class Picture;
class PictureBox;
class PictureOpening;
class PicturePrefetch;
class Program;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class QWheelEvent;

// The main window: file browser, picture pane and media controls. One file per concern implements it:
// frame.cpp (load, drag, exit), navigation.cpp, file_open.cpp, favourites.cpp, playback.cpp,
// picture_view.cpp, shortcuts.cpp, drop.cpp (files from the desktop).
class FrmMain : public QWidget {
  Q_OBJECT

 public:
  explicit FrmMain(Program& program);
  ~FrmMain() override;

  void Form_Load();

  // Public operations, also used by the menus and the full-screen window.
  void FileOpen(const QString& path);
  void Paste();
  void OpenWith();
  void Img_Change();
  void AddFList();
  void RemoveFList();
  // The favourites' paths in list order (the list shows their names), and a new list of them (at most 51;
  // no click is raised).
  const QStringList& FavPath() const { return favPath_; }
  void replaceFavourites(const QStringList& paths);

  // Frame (frame.cpp).
  void title_MouseDown(int button, int shift, double x, double y);
  void title_MouseMove(int button, int shift, double x, double y);
  void Form_MouseDown(int button, int shift, double x, double y);
  void Form_MouseMove(int button, int shift, double x, double y);
  void cmd_min_Click();
  void cmd_close_Click();
  void Logo_Click();

  // Navigation (navigation.cpp).
  void Drive_Change();
  void Dir_Change();
  void File_Click();
  void File_DblClick();
  void File_MouseDown(int button, int shift, int x, int y);
  void cmb_filter_Click();
  void cmd_next_Click();
  void cmd_prev_Click();
  // Selects a file-type entry as code does: the selection handling runs even when the index is unchanged.
  void selectFilter(int index);
  // The captions in the interface's language, and the names screen readers give the controls; the
  // file-type box's entries in it, back to all known formats (frame.cpp).
  void retranslate();
  void refillFilterBox();

  // The folder the folder list shows, and the drive box and folder list moved to `folder`, as for the
  // settings file's folder line; false when the folder list could not go there (navigation.cpp).
  QString shownFolder() const;
  bool goToFolder(const QString& folder);

  // Favourites (favourites.cpp).
  void List_Click();
  void List_DblClick();
  void List_MouseDown(int button, int shift, int x, int y);
  void cmd_up_Click();
  void cmd_down_Click();
  // The favourite the user selected, or -1: never a current row the list keeps for itself (it makes its
  // first row current, unselected, when it takes the focus).
  int favouriteIndex() const;
  // The list widget made to show `FavPath` again, with row `selected` (or none) selected; raises no click.
  void showFavourites(int selected);

  // Playback (playback.cpp).
  void cmd_play_Click();
  void cmd_pause_Click();
  void cmd_stop_Click();
  void cmd_back_Click();
  void cmd_ff_Click();
  void cmd_eject_Click();
  void cmd_spk_Click();
  void MCI_NoSoundOutput();
  void Timer_Timer();
  void Slider_Change();
  void MCI_Done(int NotifyCode);

  // Files from the desktop (drop.cpp): a drop, the command line, the media controls' OpenUri. Shows the
  // folder of `path` in the drive box and the folder list and opens the file as a click on it in the file
  // list does; a folder is only shown. False, and nothing changed, for anything but a file or a folder.
  bool showDropped(const QString& path);

  // Keyboard shortcuts (shortcuts.cpp): every key is seen here first and still reaches the focused control.
  void Form_KeyDown(int KeyCode, int Shift);
  void Form_KeyPress(int KeyAscii);

  // Picture view (picture_view.cpp).
  void Img_MouseDown(int button, int shift, double x, double y);
  void Img_MouseMove(int button, int shift, double x, double y);
  void Img_MouseUp(int button, int shift, double x, double y);
  void Img_DblClick();
  void HS_Change();
  void VS_Change();

  // Controls.
  QLabel* title = nullptr;
  QPushButton* cmd_min = nullptr;
  QPushButton* cmd_close = nullptr;
  PictureButton* Logo = nullptr;  // opens the preferences: the mouse, or Tab then Enter or Space
  QLabel* state = nullptr;
  QGroupBox* fr_file = nullptr;
  DriveBox* Drive = nullptr;
  DirList* Dir = nullptr;
  FileList* File = nullptr;
  QComboBox* cmb_filter = nullptr;
  QGroupBox* fr_favor = nullptr;
  QListWidget* List = nullptr;
  QPushButton* cmd_up = nullptr;
  QPushButton* cmd_down = nullptr;
  QGroupBox* fr_picture = nullptr;
  QWidget* border = nullptr;
  PictureBox* Img = nullptr;
  QScrollBar* HS = nullptr;
  QScrollBar* VS = nullptr;
  QGroupBox* fr_control = nullptr;
  QPushButton* cmd_prev = nullptr;
  QPushButton* cmd_next = nullptr;
  QPushButton* cmd_back = nullptr;
  QPushButton* cmd_ff = nullptr;
  QPushButton* cmd_play = nullptr;
  QPushButton* cmd_pause = nullptr;
  QPushButton* cmd_stop = nullptr;
  QPushButton* cmd_eject = nullptr;
  QPushButton* cmd_spk = nullptr;
  QSlider* Slider = nullptr;
  QLabel* lb_percent = nullptr;
  QTimer* Timer = nullptr;
  QGroupBox* fr_status = nullptr;
  QLabel* lb_sz = nullptr;
  QLabel* lb_size = nullptr;
  QLabel* lb_sound = nullptr;  // our own note: no audio output opened; hidden until that happens
  MMControl* MCI = nullptr;
  // Decodes the neighbours of the selection ahead, and big pictures off the UI thread.
  PicturePrefetch* prefetch = nullptr;
  // Pictures that decode to more than this are decoded on the prefetch's worker when they are not decoded
  // ahead (about 4 megapixels: what the UI thread decodes in some 50 ms); tests lower it.
  qint64 waitFreeBytes = 16LL * 1024 * 1024;
  // How long such a wait goes before the busy pointer shows.
  int busyDelayMs = 100;
  // True while such a picture is on its way to the pane.
  bool picturePending() const;
  // Full screen, over this window, shows another file: a big picture of a file here lets go of its pixels
  // (the pane keeps its size and zoom), and gets them back on the way out, from `from` when it holds the
  // same file, else decoded again.
  void parkPicture();
  void unparkPicture(PicturePrefetch& from);
  bool pictureParked() const { return parked_; }
  QPixmap img_spkon;
  QPixmap img_spkoff;

  // Window state.
  QString cur_drive;
  double press_x = 0;
  int press_y = 0;
  bool speaker_on = true;
  bool timer_moved = false;
  QString cur_file;
  double pic_width = 0;
  int pic_height = 0;
  bool from_favourites = false;
  double drag_x = 0;
  double drag_y = 0;

  // Tells the user that a list file stopped at a line too long to be a path, after `read` favourites.
  void reportListCutShort(const QString& path, qsizetype read);
  // Tells what loading found wrong (once), when the window is on screen.
  void tellPendingNotice();
  // The exit sequence when the program is ended from outside: no question, no message.
  void endSession();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void createControls();
  void connectHandlers();
  void loadDefaultList();
  bool writeDefaultList(QString* error = nullptr);
  void stopCdAtExit();
  void dragPress(int button, double x, double y);
  void dragMove(int button, double x, double y);
  void openAsMedia(const QString& path);
  void showPicture(const QString& path, const Picture& picture);
  QStringList steppingNeighbours();
  void applyZoom();
  void layOutPane();
  void setPictureCursor(bool moving);
  void previewKey(QKeyEvent* key);
  void wheelOverPane(QWheelEvent* event);
  bool menuFromKeyboard(QKeyEvent* key);
  std::optional<QString> droppable(const QDropEvent& event) const;
  bool showDroppedFolder(const QString& folder);

  // Playback (playback.cpp): when the loop or the slideshow last started a medium, and how many media in a
  // row ended within 100 ms of being started so. Only what the slideshow itself opens keeps the mark: a
  // file the user opens clears it (file_open.cpp).
  QElapsedTimer restartedAt_;
  bool slideshowStepping_ = false;  // the slideshow is selecting the next entry
  QStringList favPath_;
  bool fullListTold_ = false;            // the user heard that the favourites list is full
  std::function<void()> pendingNotice_;  // a problem found while loading, told once the window shows
  int quickEnds_ = 0;

  // A big picture on its way to the pane, and the last step.
  PictureOpening* opening_ = nullptr;
  bool parked_ = false;  // the pane's picture let go while full screen shows another
  int stepIndex_ = -1;
  bool stepFavourites_ = false;
  bool stepForwards_ = true;

  Program& program_;
  windowdrag::Background background_;  // the bare window as a drag handle
  // What the drag over the window would drop, read once when it entered: the source is asked for its data
  // over the window system, which is too slow to repeat on every move.
  std::optional<QString> dropCandidate_;
};
