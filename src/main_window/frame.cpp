// The main window's frame: its controls and look, loading, the drag by the title or background, minimise,
// the logo and the exit sequence.
#include "main_window/frm_main.h"

#include "app/artwork.h"
#include "app/look.h"
#include "app/program.h"
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/filter_box.h"
#include "controls/fit_label.h"
#include "controls/group_frame.h"
#include "controls/input_codes.h"
#include "controls/key_preview.h"
#include "controls/picture_box.h"
#include "controls/track_slider.h"
#include "controls/window_drag.h"
#include "main_window/list_file.h"
#include "media/mmcontrol.h"
#include "pictures/picture_opening.h"
#include "pictures/picture_prefetch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

using look::twips;

FrmMain::FrmMain(Program& program)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), program_(program) {
  createControls();
  connectHandlers();
}

// The busy pointer of a picture still on its way goes with opening_.
FrmMain::~FrmMain() = default;

namespace {

QGroupBox* group(QWidget* parent, const QString& caption, const QRect& geometry) {
  auto* box = new GroupFrame(caption, parent);
  box->setGeometry(geometry);
  return box;
}

QPushButton* pictureButton(QWidget* parent, artwork::Glyph glyph, const QRect& geometry, int icon_size = 16) {
  auto* button = new QPushButton(parent);
  button->setGeometry(geometry);
  button->setIcon(artwork::glyphIcon(glyph, icon_size));
  button->setIconSize(QSize(icon_size, icon_size));
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}

}  // namespace

void FrmMain::createControls() {
  setFixedSize(look::px(9300), look::px(5355));
  setWindowTitle(TextTables::ProductTitle);
  look::applyDarkWindow(*this);

  title = new QLabel(TextTables::ProductTitle, this);
  title->setGeometry(twips(60, 120, 8595, 255));
  title->setStyleSheet(look::titleStyleSheet());
  cmd_min = new KeyPushButton(QStringLiteral("_"), this);
  cmd_min->setGeometry(twips(8700, 120, 255, 255));
  // Its underscore hangs at the foot of the font's line, which in the button's height is its border: lifted.
  cmd_min->setStyleSheet(QStringLiteral("padding-bottom: 2px;"));
  cmd_close = new KeyPushButton(QStringLiteral("X"), this);
  cmd_close->setGeometry(twips(8940, 120, 255, 255));

  // Files.
  fr_file = group(this, QStringLiteral("Files"), twips(60, 360, 3555, 2175));
  Dir = new DirList(fr_file);
  Dir->setGeometry(twips(180, 240, 1515, 1440));
  File = new FileList(fr_file);
  File->setGeometry(twips(1740, 240, 1695, 1455));
  Drive = new DriveBox(fr_file);
  Drive->setGeometry(twips(180, 1740, 1515, 315));
  cmb_filter = new FilterBox(fr_file);
  cmb_filter->setGeometry(twips(1740, 1740, 1695, 315));
  cmb_filter->setMaxVisibleItems(17);
  // The longest entry ("All known formats") whole beside the arrow.
  QFont filter_font = cmb_filter->font();
  filter_font.setPixelSize(10);
  cmb_filter->setFont(filter_font);

  // The folder the window opens on until the settings file names another.
  const QString home = QDir::toNativeSeparators(QDir::homePath());
  Drive->setDrive(home);
  Dir->setPath(home);
  File->setPath(Dir->Path());

  // Controls.
  fr_control = group(this, QStringLiteral("Controls"), twips(60, 2580, 3555, 1335));
  using artwork::Glyph;
  cmd_prev = pictureButton(fr_control, Glyph::Prev, twips(180, 240, 375, 555));
  cmd_next = pictureButton(fr_control, Glyph::Next, twips(540, 240, 375, 555));
  cmd_back = pictureButton(fr_control, Glyph::Back, twips(900, 240, 375, 555));
  cmd_ff = pictureButton(fr_control, Glyph::Forward, twips(1260, 240, 375, 555));
  cmd_play = pictureButton(fr_control, Glyph::Play, twips(1620, 240, 375, 555));
  cmd_pause = pictureButton(fr_control, Glyph::Pause, twips(1980, 240, 375, 555));
  cmd_stop = pictureButton(fr_control, Glyph::Stop, twips(2340, 240, 375, 555));
  cmd_eject = pictureButton(fr_control, Glyph::Eject, twips(2700, 240, 375, 555));
  cmd_spk = pictureButton(fr_control, Glyph::SpeakerOn, twips(3060, 240, 375, 555));
  img_spkon = artwork::glyphIcon(Glyph::SpeakerOn).pixmap(16, 16);
  img_spkoff = artwork::glyphIcon(Glyph::SpeakerOff).pixmap(16, 16);
  Slider = new TrackSlider(Qt::Horizontal, fr_control);
  Slider->setGeometry(twips(180, 840, 2715, 375));
  Slider->setRange(0, 40);
  Slider->setValue(10);
  Slider->setPageStep(5);
  Slider->setTickPosition(QSlider::TicksBelow);
  Slider->setTickInterval(1);
  lb_percent = new FitLabel(QStringLiteral("100%"), fr_control);
  lb_percent->setGeometry(twips(3000, 900, 450, 195));
  Timer = new QTimer(this);
  // The display's pace: the slider cannot show more, and the program need not wake more often.
  Timer->setInterval(16);

  // Status.
  fr_status = group(this, QStringLiteral("Status"), twips(60, 3960, 1395, 915));
  lb_sz = new QLabel(QStringLiteral("Size:"), fr_status);
  lb_sz->setGeometry(twips(120, 240, 420, 195));
  lb_size = new FitLabel(QStringLiteral("0x0"), fr_status);
  lb_size->setGeometry(twips(600, 230, 780, 195));
  // A size such as "6000x4000" is drawn smaller rather than cut.
  QFont size_font = lb_size->font();
  size_font.setPixelSize(10);
  lb_size->setFont(size_font);
  // Below the size, where the frame has room: sounds would otherwise seem to play with the speaker on.
  lb_sound = new FitLabel(QString(), fr_status);
  lb_sound->setGeometry(twips(120, 540, 1260, 255));
  lb_sound->setFont(size_font);
  lb_sound->hide();

  // Favourites.
  fr_favor = group(this, QStringLiteral("Favourites"), twips(1500, 3960, 2115, 915));
  List = new QListWidget(fr_favor);
  List->setGeometry(twips(120, 180, 1575, 645));
  List->setGeometry(List->geometry().adjusted(0, 6, 0, 0));
  // Three favourites in the designed height: rows as tall as the text, no more.
  List->setObjectName(QStringLiteral("List"));
  List->setUniformItemSizes(true);
  QFont list_font = List->font();
  list_font.setPixelSize(10);
  List->setFont(list_font);
  // A long name is cut at its end with an ellipsis rather than scrolled sideways.
  List->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  List->setTextElideMode(Qt::ElideRight);
  // Rows as tall as the text: each name placed by its letters, so that an underscore stays in its row.
  List->setItemDelegate(new InkRowDelegate(List));
  cmd_up = pictureButton(fr_favor, Glyph::Up, twips(1740, 180, 315, 315), 12);
  cmd_down = pictureButton(fr_favor, Glyph::Down, twips(1740, 480, 315, 315), 12);
  cmd_up->move(cmd_up->x(), cmd_up->y() + 6);
  cmd_down->move(cmd_down->x(), cmd_down->y() + 6);

  // Picture.
  fr_picture = group(this, QStringLiteral("Picture"), twips(3660, 360, 5535, 4515));
  border = new QWidget(fr_picture);
  border->setGeometry(twips(120, 240, 5115, 3975));
  border->setAutoFillBackground(true);
  QPalette pane = border->palette();
  pane.setColor(QPalette::Window, QColor(8, 8, 8));
  border->setPalette(pane);
  Img = new PictureBox(border);
  Img->setGeometry(0, 0, 0, 0);
  HS = new QScrollBar(Qt::Horizontal, fr_picture);
  HS->setGeometry(twips(120, 4200, 5115, 195));
  VS = new QScrollBar(Qt::Vertical, fr_picture);
  VS->setGeometry(twips(5220, 240, 195, 3975));
  for (QScrollBar* bar : {HS, VS}) {
    bar->setRange(0, 0);
    bar->setSingleStep(50);
    bar->setPageStep(100);
    bar->hide();
  }

  state = new QLabel(
      QStringLiteral("Visit TARNWELL Web Site at ") + TextTables::WebAddress + QStringLiteral(" !!"), this);
  state->setGeometry(twips(60, 4980, 7455, 255));
  Logo = new PictureButton(this);
  Logo->setGeometry(twips(7680, 4920, 1500, 360));
  Logo->setPixmap(artwork::logo(Logo->size()));
  Logo->setCursor(Qt::PointingHandCursor);
  // Tab reaches the logo, minimise and close last, whatever the shortcut switch says: without them the
  // keyboard could not open the preferences once the switch has turned F3 off. A click leaves the focus
  // where it was.
  for (QWidget* button :
       {static_cast<QWidget*>(Logo), static_cast<QWidget*>(cmd_min), static_cast<QWidget*>(cmd_close)})
    button->setFocusPolicy(Qt::TabFocus);

  MCI = new MMControl(this);
  prefetch = new PicturePrefetch(this);
  // A new picture opens at 100 %, scrolled to its top: the pane's height in rows is what shows first (in
  // whole 16-row blocks, as JPEG decodes them).
  prefetch->setEarlyRows((border->height() + 15) / 16 * 16);
  opening_ = new PictureOpening(
      *prefetch,
      {.show = [this](const QString& path, const Picture& picture) { showPicture(path, picture); },
       .complete = [this](const Picture& picture) { Img->setPicture(picture); },
       .noPicture = [this](const QString& path) { openAsMedia(path); }},
      this);

  setCursor(artwork::windowCursor());
  // Files dropped anywhere on the window (drop.cpp); no control of it takes drops of its own.
  setAcceptDrops(true);
  // Key preview: the window sees every key of its controls before they do.
  new KeyPreview(this, [this](QKeyEvent* key) { previewKey(key); });
  for (QWidget* watched :
       {static_cast<QWidget*>(title), static_cast<QWidget*>(cmd_min), static_cast<QWidget*>(cmd_close)})
    watched->installEventFilter(this);

  // The window starts on its first control, the folders, as before minimise and close took focus: made with
  // the title, they begin the focus chain, and the window's first focus would go to minimise. In the ring
  // they follow the logo, last.
  QWidget::setTabOrder(Logo, cmd_min);
  QWidget::setTabOrder(cmd_min, cmd_close);
  Dir->setFocus();
}

void FrmMain::connectHandlers() {
  connect(cmd_min, &QPushButton::clicked, this, &FrmMain::cmd_min_Click);
  connect(cmd_close, &QPushButton::clicked, this, &FrmMain::cmd_close_Click);
  connect(Logo, &QAbstractButton::clicked, this, &FrmMain::Logo_Click);

  connect(Drive, &DriveBox::Change, this, &FrmMain::Drive_Change);
  connect(Dir, &DirList::Change, this, &FrmMain::Dir_Change);
  connect(File, &FileList::Click, this, &FrmMain::File_Click);
  connect(File, &FileList::DblClick, this, &FrmMain::File_DblClick);
  connect(File, &FileList::MouseDown, this, &FrmMain::File_MouseDown);
  connect(cmb_filter, &QComboBox::activated, this, [this] { cmb_filter_Click(); });
  connect(cmd_next, &QPushButton::clicked, this, &FrmMain::cmd_next_Click);
  connect(cmd_prev, &QPushButton::clicked, this, &FrmMain::cmd_prev_Click);

  // A click is a change of the selection (by the mouse, the keys or code), not of the current row alone:
  // the view makes its first row current when it merely gets the focus, and that opens nothing.
  connect(List, &QListWidget::itemSelectionChanged, this, [this] {
    if (List->currentRow() >= 0 && List->currentItem()->isSelected()) List_Click();
  });
  connect(List, &QListWidget::itemDoubleClicked, this, [this] { List_DblClick(); });
  List->viewport()->installEventFilter(this);
  border->installEventFilter(this);
  Img->installEventFilter(this);
  connect(cmd_up, &QPushButton::clicked, this, &FrmMain::cmd_up_Click);
  connect(cmd_down, &QPushButton::clicked, this, &FrmMain::cmd_down_Click);

  connect(cmd_play, &QPushButton::clicked, this, &FrmMain::cmd_play_Click);
  connect(cmd_pause, &QPushButton::clicked, this, &FrmMain::cmd_pause_Click);
  connect(cmd_stop, &QPushButton::clicked, this, &FrmMain::cmd_stop_Click);
  connect(cmd_back, &QPushButton::clicked, this, &FrmMain::cmd_back_Click);
  connect(cmd_ff, &QPushButton::clicked, this, &FrmMain::cmd_ff_Click);
  connect(cmd_eject, &QPushButton::clicked, this, &FrmMain::cmd_eject_Click);
  connect(cmd_spk, &QPushButton::clicked, this, &FrmMain::cmd_spk_Click);
  connect(Timer, &QTimer::timeout, this, &FrmMain::Timer_Timer);
  connect(Slider, &QSlider::valueChanged, this, &FrmMain::Slider_Change);
  connect(MCI, &MMControl::Done, this, &FrmMain::MCI_Done);
  connect(MCI, &MMControl::noSoundOutput, this, &FrmMain::MCI_NoSoundOutput);

  connect(Img, &PictureBox::MouseDown, this, &FrmMain::Img_MouseDown);
  connect(Img, &PictureBox::MouseMove, this, &FrmMain::Img_MouseMove);
  connect(Img, &PictureBox::MouseUp, this, &FrmMain::Img_MouseUp);
  connect(Img, &PictureBox::DblClick, this, &FrmMain::Img_DblClick);
  connect(HS, &QScrollBar::valueChanged, this, &FrmMain::HS_Change);
  connect(VS, &QScrollBar::valueChanged, this, &FrmMain::VS_Change);
}

void FrmMain::Form_Load() {
  cur_drive = Drive->Drive();
  cmb_filter->clear();
  for (int i = 1; i <= 17; ++i) cmb_filter->addItem(program_.tables().FilterText_en[i]);
  selectFilter(2);
  speaker_on = true;
  MCI->setHWndDisplay(border);
  timer_moved = false;
  cur_file.clear();
  look::centreOnScreen(*this);
  loadDefaultList();
}

void FrmMain::loadDefaultList() {
  const QString path = program_.readPath(QStringLiteral("default.lst"));
  bool cut_short = false;
  const auto paths = listfile::read(path, &cut_short);
  if (!paths) return;
  // Told once the window is up: the next exit writes back only what was read.
  if (cut_short) pendingNotice_ = [this, path, n = paths->size()] { reportListCutShort(path, n); };
  replaceFavourites(*paths);
}

bool FrmMain::writeDefaultList(QString* error) {
  // A folder that could not be made is the reason, not the write that then finds no folder.
  QString folderError;
  const QString path = program_.writePath(QStringLiteral("default.lst"), &folderError);
  if (!folderError.isEmpty()) {
    if (error) *error = folderError;
    return false;
  }
  return listfile::write(path, favPath_, error);
}

void FrmMain::reportListCutShort(const QString& path, qsizetype read) {
  const bool zh = program_.use_chinese();
  const auto notice = read == 1 ? TextTables::Notice::ListCutShortOne : TextTables::Notice::ListCutShort;
  program_.seams.messageBoxes->show(
      this, QMessageBox::Warning, program_.tables().msg(TextTables::MsgWarning, zh),
      TextTables::noticeText(notice, zh).arg(path).arg(read), QMessageBox::Ok, QMessageBox::Ok);
}

void FrmMain::tellPendingNotice() {
  if (!pendingNotice_) return;
  const auto notice = std::move(pendingNotice_);
  pendingNotice_ = nullptr;
  notice();
}

// Drag by the title or the bare background (windowdrag): the point pressed stays under the pointer.
void FrmMain::dragPress(int button, double x, double y) {
  windowdrag::press(*this, button, x, y, press_x, press_y);
}

void FrmMain::dragMove(int button, double x, double y) {
  windowdrag::move(*this, button, x, y, press_x, press_y);
}

void FrmMain::title_MouseDown(int button, int, double x, double y) { dragPress(button, x, y); }
void FrmMain::title_MouseMove(int button, int, double x, double y) { dragMove(button, x, y); }
void FrmMain::Form_MouseDown(int button, int, double x, double y) { dragPress(button, x, y); }
void FrmMain::Form_MouseMove(int button, int, double x, double y) { dragMove(button, x, y); }

namespace {
QPointF localTo(const QWidget* widget, const QMouseEvent* event) {
  return event->globalPosition() - QPointF(widget->mapToGlobal(QPoint(0, 0)));
}
}  // namespace

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if ((watched == border || watched == Img) && type == QEvent::Wheel) {
    wheelOverPane(static_cast<QWheelEvent*>(event));
    return true;
  }
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
    return QWidget::eventFilter(watched, event);
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (watched == title) {
    windowdrag::route(title, event, [this](bool pressed, int button, int shift, double x, double y) {
      pressed ? title_MouseDown(button, shift, x, y) : title_MouseMove(button, shift, x, y);
    });
    return true;
  }
  if ((watched == cmd_min || watched == cmd_close) && type == QEvent::MouseButtonRelease) {
    File->setFocus();
    return false;
  }
  if (watched == border && type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
    // The pane around (or without) a picture: the picture menu is there too, so that "Paste from
    // clipboard" can be reached while nothing is shown.
    const QPointF p = localTo(Img, mouse);
    Img_MouseDown(2, shiftCode(mouse->modifiers()), p.x(), p.y());
    return true;
  }
  if (watched == List->viewport() && type == QEvent::MouseButtonPress) {
    List_MouseDown(buttonCode(mouse->button()), shiftCode(mouse->modifiers()), mouse->position().x(),
                   mouse->position().y());
    // A right press pops the menu but does not select the entry under the pointer.
    return mouse->button() == Qt::RightButton;
  }
  return QWidget::eventFilter(watched, event);
}

// The wheel over the picture scrolls it and, with Ctrl, zooms it, through the scroll bars and the slider so
// that their own handling runs as for a click on them. A movie's pane has nothing to scroll.
void FrmMain::wheelOverPane(QWheelEvent* event) {
  if (Timer->isActive()) return;
  const QPoint delta = event->angleDelta();  // 120 a notch
  if (event->modifiers() & Qt::ControlModifier) {
    Slider->setValue(Slider->value() + delta.y() / 120);
    return;
  }
  // Shift turns a plain wheel sideways, as in other viewers; three steps of the bar a notch.
  const bool sideways = (event->modifiers() & Qt::ShiftModifier) || delta.x() != 0;
  QScrollBar* bar = sideways ? HS : VS;
  const int turn = sideways && delta.x() != 0 ? delta.x() : delta.y();
  if (turn != 0 && bar->isVisibleTo(fr_picture))
    bar->setValue(bar->value() - turn * 3 * bar->singleStep() / 120);
}

void FrmMain::mousePressEvent(QMouseEvent* event) {
  background_.press(*this, event, [this](bool, int button, int shift, double x, double y) {
    Form_MouseDown(button, shift, x, y);
  });
  QWidget::mousePressEvent(event);
}

void FrmMain::mouseMoveEvent(QMouseEvent* event) {
  background_.move(*this, event, [this](bool, int button, int shift, double x, double y) {
    Form_MouseMove(button, shift, x, y);
  });
  QWidget::mouseMoveEvent(event);
}

void FrmMain::mouseReleaseEvent(QMouseEvent* event) {
  background_.release(event);
  QWidget::mouseReleaseEvent(event);
}

void FrmMain::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // The white outline around the whole window.
  QPainter painter(this);
  painter.setPen(Qt::white);
  painter.drawRect(QRect(0, 0, look::px(9300) - 1, look::px(5350) - 1));
}

void FrmMain::closeEvent(QCloseEvent* event) {
  // A close request from the window system ends the program the same way as the close button.
  event->ignore();
  cmd_close_Click();
}

void FrmMain::retranslate() {
  const TextTables& tables = program_.tables();
  setWindowTitle(tables.MainText[1]);
  title->setText(tables.MainText[2]);
  fr_file->setTitle(tables.MainText[3]);
  fr_control->setTitle(tables.MainText[4]);
  fr_status->setTitle(tables.MainText[5]);
  fr_picture->setTitle(tables.MainText[6]);
  state->setText(tables.MainText[7]);
  fr_favor->setTitle(tables.MainText[8]);
  lb_sz->setText(tables.MainText[9]);
  lb_sound->setText(TextTables::noticeText(TextTables::Notice::NoSoundOutput, program_.use_chinese()));
  using C = TextTables::Control;
  look::nameControls(
      {{cmd_prev, C::Previous},   {cmd_next, C::Next},   {cmd_back, C::Back}, {cmd_ff, C::Forward},
       {cmd_play, C::Play},       {cmd_pause, C::Pause}, {cmd_stop, C::Stop}, {cmd_eject, C::Eject},
       {cmd_spk, C::Speaker},     {Slider, C::Slider},   {cmd_up, C::Up},     {cmd_down, C::Down},
       {List, C::Favourites},     {File, C::Files},      {Dir, C::Folders},   {Drive, C::Drives},
       {cmb_filter, C::FileType}, {Img, C::Picture},     {Logo, C::Logo},     {cmd_min, C::Minimise},
       {cmd_close, C::Close}},
      program_.use_chinese());
}

void FrmMain::refillFilterBox() {
  cmb_filter->clear();
  for (int i = 1; i <= 17; ++i) cmb_filter->addItem(program_.tables().FilterText[i]);
  selectFilter(2);
}

void FrmMain::cmd_min_Click() { showMinimized(); }

void FrmMain::Logo_Click() { program_.preferencesWindow()->show(); }

void FrmMain::stopCdAtExit() {
  if (program_.options().CheckValue(Options::StopCdAtExit) == 1) {
    MCI->setCommand(QStringLiteral("Stop"));
    MCI->setCommand(QStringLiteral("Close"));
  }
}

void FrmMain::endSession() {
  // The same sequence as the close button, but nobody is there to read a message.
  stopCdAtExit();
  writeDefaultList();
  program_.endProgram();
}

void FrmMain::cmd_close_Click() {
  stopCdAtExit();
  QString error;
  if (!writeDefaultList(&error)) {
    // The program still ends; the user learns once that the favourites were not kept.
    const QString path = program_.writePath(QStringLiteral("default.lst"));
    const QString prompt =
        TextTables::noticeText(TextTables::Notice::FavouritesNotKept, program_.use_chinese())
            .arg(path, error);
    program_.seams.messageBoxes->show(this, QMessageBox::Warning,
                                      program_.tables().msg(TextTables::MsgWarning, program_.use_chinese()),
                                      prompt, QMessageBox::Ok, QMessageBox::Ok);
  }
  program_.endProgram();
}
