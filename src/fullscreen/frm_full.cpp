// The full-screen window: its controls, entering and leaving, the floating control panel (cycle, drag,
// show and hide) and the panel's drive, folder and file lists.
#include "fullscreen/frm_full.h"

#include "controls/input_codes.h"
#include "controls/key_preview.h"

#include "app/look.h"
#include "app/program.h"
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/list_chain.h"
#include "controls/picture_box.h"
#include "controls/window_drag.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "pictures/picture_opening.h"
#include "pictures/picture_prefetch.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <utility>

using look::twips;

namespace {

const QString kPicturePattern = QStringLiteral("*.bmp;*.dib;*.ico;*.cur;*.jpg;*.gif");

}  // namespace

FrmFull::FrmFull(Program& program)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), program_(program) {
  createControls();
  connectHandlers();
}

FrmFull::~FrmFull() = default;

void FrmFull::createControls() {
  setWindowTitle(QStringLiteral("Full Screen"));
  look::applyDarkWindow(*this);

  Img = new PictureBox(this);
  Img->setGeometry(0, 0, 0, 0);

  fr_control = new QGroupBox(QStringLiteral("Control Panel"), this);
  fr_control->setGeometry(twips(0, 0, 1575, 2235));
  fr_control->hide();
  // Created bottom to top: the file list lies over the folder list, which lies over the drive box.
  Drive = new DriveBox(fr_control);
  Drive->setGeometry(twips(120, 900, 1335, 315));
  Dir = new DirList(fr_control);
  Dir->setGeometry(twips(120, 240, 1335, 1440));
  File = new FileList(fr_control);
  File->setGeometry(twips(120, 240, 1335, 1455));
  File->setPattern(kPicturePattern);
  CMD_Toggle = new QPushButton(TextTables::toggleText(TextTables::ToggleView::Folder, false), fr_control);
  CMD_Toggle->setGeometry(twips(120, 1800, 1335, 315));
  prefetch = new PicturePrefetch(this);
  opening_ = new PictureOpening(*prefetch,
                                {.show =
                                     [this](const QString&, const Picture& picture) {
                                       Img->setPicture(picture);
                                       Img->move(0, 0);
                                     },
                                 // A move made while the rest was decoded stays.
                                 .complete = [this](const Picture& picture) { Img->setPicture(picture); },
                                 // What is no picture is passed over here: the last picture stays.
                                 .noPicture = [](const QString&) {}},
                                this);

  const QString home = QDir::toNativeSeparators(QDir::homePath());
  Drive->setDrive(home);
  Dir->setPath(home);
  File->setPath(Dir->Path());

  fr_control->installEventFilter(this);
  CMD_Toggle->installEventFilter(this);
}

void FrmFull::connectHandlers() {
  connect(Drive, &DriveBox::Change, this, &FrmFull::Drive_Change);
  connect(Dir, &DirList::Change, this, &FrmFull::Dir_Change);
  connect(File, &FileList::Click, this, &FrmFull::File_Click);
  connect(CMD_Toggle, &QPushButton::clicked, this, &FrmFull::CMD_Toggle_Click);
  connect(CMD_Toggle, &QPushButton::clicked, this, [this] {
    if (std::exchange(mouseUpAfterClick_, false)) CMD_Toggle_MouseUp(1, 0, 0, 0);
  });

  connect(Img, &PictureBox::MouseDown, this, &FrmFull::Img_MouseDown);
  connect(Img, &PictureBox::MouseMove, this, &FrmFull::Img_MouseMove);
  connect(Img, &PictureBox::MouseUp, this, &FrmFull::Img_MouseUp);
  connect(Img, &PictureBox::Click, this, &FrmFull::Img_Click);
}

void FrmFull::retranslate() {
  const TextTables& tables = program_.tables();
  fr_control->setTitle(tables.MenuText[1]);
  // The window is known to the window system and screen readers by its menu command's words.
  setWindowTitle(QString(tables.MenuText[9]).remove(QRegularExpression(QStringLiteral(R"(\s*\(&.\)|&)"))));
  if (CMD_Toggle) CMD_Toggle->setText(TextTables::toggleTextIn(CMD_Toggle->text(), program_.use_chinese()));
  using C = TextTables::Control;
  look::nameControls({{File, C::Files}, {Dir, C::Folders}, {Drive, C::Drives}, {Img, C::Picture}},
                     program_.use_chinese());
}

void FrmFull::Form_Load() {
  cur_drive = Drive->Drive();
  if (!program_.tables().MenuText[1].isEmpty()) fr_control->setTitle(program_.tables().MenuText[1]);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
  fr_control->move(width() - fr_control->width(), height() - fr_control->height());
  new KeyPreview(this, [this](QKeyEvent* key) { previewKey(key); });
}

void FrmFull::setVisible(bool visible) {
  if (visible && !isVisible()) {
    // Cover the whole screen the main window is on, whatever its size.
    const QScreen* screen = program_.frm_main() ? program_.frm_main()->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) setGeometry(screen->geometry());
    setWindowState(windowState() | Qt::WindowFullScreen);
  }
  QWidget::setVisible(visible);
  if (visible && !testAttribute(Qt::WA_ShowWithoutActivating)) {
    raise();
    activateWindow();
  }
}

void FrmFull::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Only the program's own show: a window restored by the window system is no new visit.
  if (event->spontaneous()) return;
  if (panelVisible()) {
    bringPanelInside();
    focusShownList();
  }
  Form_Activate();
}

void FrmFull::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  // The pictures decoded here are let go (a 24-megapixel one is ~96 MB): the next visit copies the main
  // window's picture anyway.
  opening_->cancel();
  Img->setPicture(Picture());
  prefetch->clear();
  program_.releaseMainWindow();
}

void FrmFull::Form_Activate() {
  if (CDummy) return;
  FrmMain& m = *program_.frm_main();
  m.setEnabled(false);
  // The main window's neighbours are not stepped to from here: their memory goes to this window's. Its
  // picture comes along: selecting its file below shows it without decoding it a second time.
  prefetch->adopt(*m.prefetch);
  stepIndex_ = -1;
  stepForwards_ = true;
  // A new picture shows from its top-left corner: the screen's height in rows is what shows first (in whole
  // 16-row blocks, as JPEG decodes them).
  prefetch->setEarlyRows((height() + 15) / 16 * 16);
  // The language may have changed since the last visit.
  if (!program_.tables().MenuText[1].isEmpty()) fr_control->setTitle(program_.tables().MenuText[1]);
  Img->setPicture(m.Img->picture());
  Img->move(0, 0);

  Drive->setDrive(m.Drive->Drive());
  cur_drive = Drive->Drive();
  const QString before = Dir->Path();
  // The same folder raises no change, yet the main window may show files this list has not seen yet.
  if (Dir->setPath(m.Dir->Path()) && Dir->Path() == before) File->setPath(Dir->Path());

  const QString name = m.File->FileName();
  int found = -1;
  if (!name.isEmpty()) {
    for (int i = 0; i < File->ListCount(); ++i) {
      if (File->List(i) == name) {
        found = i;
        break;
      }
    }
  }
  // Cleared first so that selecting the entry always reloads it from disk, even when it was selected.
  File->setListIndex(-1);
  if (found >= 0) File->setListIndex(found);
  CDummy = false;
}

void FrmFull::leave() {
  CDummy = false;
  opening_->cancel();
  hide();
  FrmMain& m = *program_.frm_main();
  m.unparkPicture(*prefetch);
  prefetch->clear();
  m.setEnabled(true);
  m.show();
}

bool FrmFull::panelVisible() const { return !fr_control->isHidden(); }

void FrmFull::setPanelVisible(bool visible) {
  if (visible && !panelVisible()) bringPanelInside();
  fr_control->setVisible(visible);
  if (visible) focusShownList();
}

void FrmFull::focusShownList() {
  // Up and Down act on the list in sight at once, not after a click on one of its rows. The toggle button
  // shows the files over the folders over the drives.
  QWidget* list = File;
  if (File->isHidden()) list = Dir->isHidden() ? static_cast<QWidget*>(Drive) : Dir;
  list->setFocus(Qt::OtherFocusReason);
}

void FrmFull::bringPanelInside() {
  const QRect panel = fr_control->geometry();
  if (rect().intersects(panel)) return;
  const int x = std::clamp(panel.x(), 0, std::max(0, width() - panel.width()));
  const int y = std::clamp(panel.y(), 0, std::max(0, height() - panel.height()));
  fr_control->move(x, y);
}

void FrmFull::Form_Click() { setPanelVisible(!panelVisible()); }

void FrmFull::Form_MouseDown(int button, int, double, double) {
  if (button == 2) popFullMenu();
}

void FrmFull::popFullMenu() {
  CDummy = true;
  FrmDummy* dummy = program_.frm_dummy();
  const int index = File->ListIndex();
  dummy->mnu_prev->setEnabled(index != 0);
  dummy->mnu_Next->setEnabled(File->ListCount() != index + 1);
  dummy->mnu_control->setChecked(panelVisible());
  dummy->popUp(dummy->mnu_full);
}

void FrmFull::CMD_Toggle_Click() {
  const bool files = !File->isHidden();
  const bool folders = !Dir->isHidden();
  const bool zh = program_.use_chinese();
  // Each caption names the view the next press brings.
  if (files && folders) {
    File->hide();
    CMD_Toggle->setText(TextTables::toggleText(TextTables::ToggleView::Drive, zh));
  } else if (folders) {
    Dir->hide();
    CMD_Toggle->setText(TextTables::toggleText(TextTables::ToggleView::File, zh));
  } else if (!files) {
    File->show();
    Dir->show();
    CMD_Toggle->setText(TextTables::toggleText(TextTables::ToggleView::Folder, zh));
  }
}

void FrmFull::CMD_Toggle_MouseUp(int, int, double, double) {
  // The arrow keys keep acting on the file list.
  if (!File->isHidden()) File->setFocus();
}

void FrmFull::Drive_Change() { listchain::followDrive(*Drive, *Dir, cur_drive); }

void FrmFull::Dir_Change() { listchain::followFolder(*Drive, *Dir, *File); }

void FrmFull::File_Click() {
  const int index = File->ListIndex();
  if (index < 0) return;
  const QString path = Program::withSeparator(File->Path());
  // The next entry the way the last step went first (forwards at the start): big pictures leave room for
  // that one only.
  if (stepIndex_ >= 0 && index != stepIndex_) stepForwards_ = index > stepIndex_;
  stepIndex_ = index;
  const int ahead = index + (stepForwards_ ? 1 : -1), behind = index - (stepForwards_ ? 1 : -1);
  QStringList neighbours;
  for (const int i : {ahead, behind})
    if (i >= 0 && i < File->ListCount()) neighbours << path + File->List(i);
  const QString file = path + File->FileName();
  // The main window, under this one, need not hold a picture that is not on screen.
  FrmMain& m = *program_.frm_main();
  if (file != m.cur_file) m.parkPicture();
  opening_->open(file, neighbours, waitFreeBytes, busyDelayMs);
}

bool FrmFull::picturePending() const { return opening_->pending(); }

void FrmFull::fr_control_MouseDown(int button, int, double x, double y) {
  windowdrag::press(button, x, y, press_x, press_y);
}

void FrmFull::fr_control_MouseMove(int button, int, double x, double y) {
  if (button != 1) return;
  // The grabbed point stays under the pointer: press_x and press_y are kept for the whole drag.
  QPoint target = fr_control->pos();
  if (x != press_x) target.setX(static_cast<int>(std::nearbyint(target.x() + x - press_x)));
  if (y != press_y) target.setY(static_cast<int>(std::nearbyint(target.y() + y - press_y)));
  if (target != fr_control->pos()) fr_control->move(target);
}

bool FrmFull::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
    return QWidget::eventFilter(watched, event);
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (watched == fr_control && type != QEvent::MouseButtonRelease) {
    windowdrag::route(fr_control, event, [this](bool pressed, int button, int shift, double x, double y) {
      pressed ? fr_control_MouseDown(button, shift, x, y) : fr_control_MouseMove(button, shift, x, y);
    });
    // A right press goes on to the panel, whose menu it opens.
    return type == QEvent::MouseMove || mouse->button() == Qt::LeftButton;
  }
  if (watched == CMD_Toggle && type == QEvent::MouseButtonPress) mouseUpAfterClick_ = false;
  if (watched == CMD_Toggle && type == QEvent::MouseButtonRelease) {
    if (mouse->button() == Qt::LeftButton && CMD_Toggle->isDown() &&
        CMD_Toggle->rect().contains(mouse->position().toPoint())) {
      // Taking the focus now would cancel the click this release completes: the handling follows the click,
      // and only when the file list was shown at the release.
      mouseUpAfterClick_ = !File->isHidden();
    } else {
      CMD_Toggle_MouseUp(buttonCode(mouse->button()), shiftCode(mouse->modifiers()), mouse->position().x(),
                         mouse->position().y());
    }
    return false;
  }
  return QWidget::eventFilter(watched, event);
}

void FrmFull::mousePressEvent(QMouseEvent* event) {
  backgroundPressed_ = false;
  if (childAt(event->position().toPoint()) == nullptr) {
    backgroundPressed_ = event->button() == Qt::LeftButton;
    Form_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), event->position().x(),
                   event->position().y());
  }
  QWidget::mousePressEvent(event);
}

void FrmFull::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = backgroundPressed_ && event->button() == Qt::LeftButton &&
                     rect().contains(event->position().toPoint()) &&
                     childAt(event->position().toPoint()) == nullptr;
  backgroundPressed_ = false;
  if (click) Form_Click();
  QWidget::mouseReleaseEvent(event);
}

void FrmFull::closeEvent(QCloseEvent* event) {
  // Closed by the window system: leave as the menu does, or the main window would stay disabled.
  event->ignore();
  leave();
}

void FrmFull::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is no new click: the panel toggles once.
  event->accept();
}
