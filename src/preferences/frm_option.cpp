// The preferences window's frame: its controls and look, loading and activation, the tabs, the drag by the
// title or background, the options and the OK / Cancel / Apply buttons.
#include "preferences/frm_option.h"

#include "app/about_text.h"
#include "app/artwork.h"
#include "app/look.h"
#include "app/program.h"
#include "controls/input_codes.h"
#include "controls/window_drag.h"
#include "main_window/frm_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <QWindow>

#include <cmath>

using look::twips;

// A dialog for the window system: one that names the window it belongs to is kept above it.
FrmOption::FrmOption(Program& program)
    : QWidget(nullptr, Qt::Dialog | Qt::FramelessWindowHint), program_(program) {
  createControls();
  createHelpPage();
  createAboutPage();
  connectHandlers();
}

namespace {

QLabel* heading(const QString& caption, QWidget* page) {
  auto* label = new QLabel(caption, page);
  label->setGeometry(twips(120, 60, 4035, 300));
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

void FrmOption::createControls() {
  setFixedSize(look::px(4845), look::px(4845));
  setWindowTitle(QStringLiteral("Preferences"));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, Qt::white);
  setPalette(pal);
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  // Every caption of the pages is white on black; the tabs follow the buttons' look.
  setStyleSheet(
      look::darkStyleSheet() +
      QStringLiteral("QLabel, QCheckBox, QRadioButton, QGroupBox { color: white; }"
                     "QTabBar::tab { color: white; background: rgb(40,40,40);"
                     "  border: 1px solid rgb(120,120,120); border-bottom: none; padding: 3px 6px; }"
                     "QTabBar::tab:selected { background: rgb(80,80,80); }"
                     "QTabBar::tab:!selected { margin-top: 2px; }"
                     "QPlainTextEdit { background: rgb(16,16,16); color: white;"
                     "  border: 1px solid rgb(90,90,90); }"));

  title = new QLabel(QStringLiteral("Preferences"), this);
  title->setGeometry(twips(180, 120, 4515, 255));
  title->setAutoFillBackground(true);
  title->setStyleSheet(look::titleStyleSheet());

  Tabs = new QTabBar(this);
  Tabs->setGeometry(twips(180, 480, 4515, 360));
  for (const char* caption : {"&Gernel", "Ad&vance", "&Help", "&About"})
    Tabs->addTab(QString::fromLatin1(caption));
  Tabs->setExpanding(true);
  Tabs->setDrawBase(false);

  for (int i = 1; i <= 4; ++i) {
    Frame[i] = new QWidget(this);
    Frame[i]->setGeometry(twips(240, 840, 4395, 3495));
    Frame[i]->setVisible(i == 1);
  }

  // Page 1: general options.
  lb_gernel = heading(QStringLiteral("Gernel Option"), Frame[1]);
  fr_media = new QGroupBox(QStringLiteral("&Media"), Frame[1]);
  fr_media->setGeometry(twips(120, 480, 4035, 2775));
  const char* media_captions[] = {"S&lideshow of sounds and movies", "&Loop play for each media",
                                  "&Stop CD at exit", "&Auto play when click"};
  for (int i = 0; i < 4; ++i) {
    Check[i] = new QCheckBox(QString::fromLatin1(media_captions[i]), fr_media);
    Check[i]->setGeometry(twips(180, 360 + 360 * i, 3700, 300));
  }
  fr_short = new QGroupBox(QStringLiteral("Shor&tcut keys"), fr_media);
  fr_short->setGeometry(twips(180, 1800, 2475, 675));
  Option1 = new QRadioButton(QStringLiteral("&Enable"), fr_short);
  Option1->setGeometry(twips(180, 300, 1100, 300));
  Option2 = new QRadioButton(QStringLiteral("&Disable"), fr_short);
  Option2->setGeometry(twips(1320, 300, 1100, 300));

  // Page 2: interface options.
  Label1 = heading(QStringLiteral("Advance Option"), Frame[2]);
  fr_interface = new QGroupBox(QStringLiteral("&Interface"), Frame[2]);
  fr_interface->setGeometry(twips(120, 480, 4035, 2775));
  const char* interface_captions[] = {"&Use Glintview Mouse Cursors", "&Show splash screen",
                                      "&Always on the top"};
  for (int i = 4; i < 7; ++i) {
    Check[i] = new QCheckBox(QString::fromLatin1(interface_captions[i - 4]), fr_interface);
    Check[i]->setGeometry(twips(180, 360 + 360 * (i - 4), 3700, 300));
  }
  Label6 = new QLabel(QStringLiteral("Language Selection:"), fr_interface);
  // Up to the language button, a size smaller than the other captions so that both languages fit.
  Label6->setGeometry(twips(180, 1920, 1680, 255));
  QFont label_font = Label6->font();
  label_font.setPixelSize(10);
  Label6->setFont(label_font);
  CMD_ToggleLang = new QPushButton(fr_interface);
  CMD_ToggleLang->setGeometry(twips(1860, 1800, 1815, 435));
  CMD_ToggleLang->setStyleSheet(QStringLiteral("QPushButton { background: black; border: none; }"));
  CMD_ToggleLang->setIconSize(CMD_ToggleLang->size());
  showLanguagePicture();

  CMD_OK = new QPushButton(QStringLiteral("&OK"), this);
  CMD_OK->setGeometry(twips(1620, 4440, 975, 315));
  // Enter presses it (keyPressEvent); a screen reader announces it as the default.
  CMD_OK->setDefault(true);
  CMD_Cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  CMD_Cancel->setGeometry(twips(2640, 4440, 975, 315));
  CMD_Apply = new QPushButton(QStringLiteral("&Apply"), this);
  CMD_Apply->setGeometry(twips(3660, 4440, 975, 315));

  Timer = new QTimer(this);
  Timer->setInterval(10);

  // The check marks and option dots take the caption colour: their boxes must be dark to show them.
  for (QAbstractButton* box : std::initializer_list<QAbstractButton*>{
           Check[0], Check[1], Check[2], Check[3], Check[4], Check[5], Check[6], Option1, Option2}) {
    QPalette dark = box->palette();
    dark.setColor(QPalette::Base, QColor(24, 24, 24));
    box->setPalette(dark);
  }

  // Design values of the options.
  for (QCheckBox* box : Check) box->setChecked(true);
  Check[StopCdAtExit]->setChecked(false);
  Option1->setChecked(true);
  CMD_Apply->setEnabled(false);

  title->installEventFilter(this);
  Tabs->installEventFilter(this);
}

void FrmOption::connectHandlers() {
  for (int i = 0; i < 7; ++i) {
    connect(Check[i], &QCheckBox::stateChanged, this, [this, i] { Check_Click(i); });
  }
  connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Option1_Click();
  });
  connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Option2_Click();
  });
  connect(Tabs, &QTabBar::currentChanged, this, [this] { Tabs_Click(); });
  connect(CMD_ToggleLang, &QPushButton::clicked, this, &FrmOption::CMD_ToggleLang_Click);
  connect(CMD_Apply, &QPushButton::clicked, this, &FrmOption::CMD_Apply_Click);
  connect(CMD_Cancel, &QPushButton::clicked, this, &FrmOption::CMD_Cancel_Click);
  connect(CMD_OK, &QPushButton::clicked, this, &FrmOption::CMD_OK_Click);
  connect(Timer, &QTimer::timeout, this, &FrmOption::Timer_Timer);

  // Screen readers name the button of pictures by the label that is its buddy, the language caption, and
  // the help text by the topic it shows.
  Label6->setBuddy(CMD_ToggleLang);
  connect(lst_help, &QListWidget::currentRowChanged, this, [this] {
    const QListWidgetItem* topic = lst_help->currentItem();
    txt_help->setAccessibleName(topic ? topic->text() : QString());
  });
}

void FrmOption::retranslate() {
  const TextTables& tables = program_.tables();
  const bool zh = program_.use_chinese();
  setWindowTitle(tables.PrefText[1]);
  title->setText(tables.PrefText[1]);
  for (int tab = 0; tab < 4; ++tab) Tabs->setTabText(tab, tables.PrefText[2 + tab]);
  lb_gernel->setText(tables.PrefText[6]);
  Label1->setText(tables.PrefText[7]);
  Label5->setText(tables.PrefText[8]);
  Label2->setText(tables.PrefText[9]);
  fr_media->setTitle(tables.PrefText[10]);
  for (int i = 0; i <= 6; ++i) Check[i]->setText(tables.PrefText[11 + i]);
  fr_short->setTitle(tables.PrefText[18]);
  // Named by its own caption: unnamed, the nested group box would be announced by its parent's.
  fr_short->setAccessibleName(QString(tables.PrefText[18]).remove(u'&'));
  Option1->setText(tables.PrefText[19]);
  Option2->setText(tables.PrefText[20]);
  Label6->setText(tables.PrefText[21]);
  Label5->setText(tables.PrefText[22]);
  lb_about->setText(tables.PrefText[24]);
  Label3->setText(tables.PrefText[25]);
  CMD_OK->setText(tables.PrefText[26]);
  CMD_Cancel->setText(tables.PrefText[27]);
  CMD_Apply->setText(tables.PrefText[28]);
  fr_interface->setTitle(tables.PrefText[29]);

  txt_about->setText(aboutText(zh, program_.crlf));

  const auto& titles = zh ? tables.HelpTitle_zh : tables.HelpTitle_en;
  lst_help->clear();
  lst_help->setAccessibleName(tables.PrefText[8]);  // the page's heading: an item view takes no buddy
  for (int k = 1; k <= 6; ++k) lst_help->addItem(titles[k]);
  lst_help->setCurrentRow(0);
  lst_help_Click();
}

void FrmOption::Form_Load() {
  cur_tab = 1;
  look::centreOnScreen(*this);
}

void FrmOption::Form_Activate() {
  // While the dialog is the active window the main window takes no input; Cancel and OK give it back. The
  // window system may deliver the activation late, after a quick Cancel has hidden the dialog again: a
  // hidden dialog then holds nothing back.
  if (isVisible()) program_.frm_main()->setEnabled(false);
  showLanguagePicture();
}

void FrmOption::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The dialog holds the main window back, so it belongs to it for the window system, which then keeps it
  // above that window: a click on the greyed main window would otherwise raise it over the dialog, and the
  // user would face a locked program. Told before the window is mapped, where window managers read it.
  QWidget* main = program_.frm_main();
  if (QWindow* handle = windowHandle())
    handle->setTransientParent(main && main->isVisible() ? main->windowHandle() : nullptr);
}

void FrmOption::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // However the dialog went (Cancel, OK, the window system), the main window is not left disabled.
  if (!event->spontaneous()) program_.releaseMainWindow();
}

void FrmOption::showLanguagePicture() {
  // Each picture is drawn when first shown: the Chinese one loads a CJK font, which an English start-up
  // need not wait for.
  QPixmap& picture = program_.use_chinese() ? img_chinese : img_english;
  if (picture.isNull())
    picture = artwork::languagePicture(program_.use_chinese(), CMD_ToggleLang->iconSize());
  CMD_ToggleLang->setIcon(QIcon(picture));
}

bool FrmOption::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Form_Activate();
  return QWidget::event(event);
}

void FrmOption::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // The white outline that sets the borderless window apart from the main window behind it.
  QPainter painter(this);
  painter.setPen(Qt::white);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void FrmOption::keyPressEvent(QKeyEvent* event) {
  // As in a dialog: Escape is Cancel; Enter presses the focused button, else OK. The focused OK takes Enter
  // itself (it is the default button), other push buttons leave it to the window outside a dialog.
  const int key = event->key();
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !event->isAutoRepeat();
  if (plain && key == Qt::Key_Escape) {
    CMD_Cancel->click();
  } else if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    (focused && focused->isEnabled() ? focused : CMD_OK)->click();
  } else {
    QWidget::keyPressEvent(event);
  }
}

void FrmOption::closeEvent(QCloseEvent* event) {
  // Only OK and Cancel leave the dialog: both settle what happens to the options.
  event->ignore();
}

// Options.

int FrmOption::CheckValue(int index) const {
  switch (Check[index]->checkState()) {
    case Qt::Unchecked:
      return 0;
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
  }
  return 0;
}

bool FrmOption::setCheckValue(int index, int value) {
  if (index < 0 || index > 6) return false;
  switch (value) {
    case 0:
      Check[index]->setCheckState(Qt::Unchecked);
      return true;
    case 1:
      Check[index]->setCheckState(Qt::Checked);
      return true;
    case 2:
      Check[index]->setTristate(true);
      Check[index]->setCheckState(Qt::PartiallyChecked);
      return true;
    default:
      return false;
  }
}

bool FrmOption::Option1Value() const { return Option1->isChecked(); }

void FrmOption::setOption1Value(bool enabled) {
  Option1->setChecked(enabled);
  Option2->setChecked(!enabled);
}

void FrmOption::markApplied() { CMD_Apply->setEnabled(false); }

void FrmOption::Check_Click(int) { CMD_Apply->setEnabled(true); }
void FrmOption::Option1_Click() { CMD_Apply->setEnabled(true); }
void FrmOption::Option2_Click() { CMD_Apply->setEnabled(true); }

void FrmOption::CMD_ToggleLang_Click() {
  // The captions keep their language until Apply; only the button shows the choice at once.
  program_.setUseChinese(!program_.use_chinese());
  CMD_Apply->setEnabled(true);
  showLanguagePicture();
}

void FrmOption::CMD_Apply_Click() { apply(); }

bool FrmOption::apply() {
  QString error;
  if (!program_.SaveSettings(&error)) {
    // Nothing was saved: the choices stay on screen and Apply stays available for another try.
    const bool zh = program_.use_chinese();
    program_.seams.messageBoxes->show(
        this, QMessageBox::Warning, program_.tables().msg(TextTables::MsgWarning, zh),
        TextTables::noticeText(TextTables::Notice::SettingsNotSaved, zh).arg(program_.settingsPath(), error),
        QMessageBox::Ok, QMessageBox::Ok);
    CMD_Apply->setEnabled(true);
    return false;
  }
  CMD_Apply->setEnabled(false);
  program_.ApplyInterface();
  return true;
}

void FrmOption::CMD_Cancel_Click() {
  program_.LoadSettings(1);
  hide();
  program_.frm_main()->setEnabled(true);
  program_.frm_main()->show();
}

void FrmOption::CMD_OK_Click() {
  // Apply runs whether or not anything changed, so OK always writes the settings file. When that fails the
  // dialog stays: cancelling would re-read the old file and silently undo the user's choices.
  if (!apply()) return;
  CMD_Cancel_Click();
}

// Tabs: the page changes as soon as the button goes down on a tab.

void FrmOption::Tabs_Click() {
  const int n = Tabs->currentIndex() + 1;
  if (n < 1 || n > 4 || n == cur_tab) return;
  Frame[n]->show();
  Frame[cur_tab]->hide();
  cur_tab = n;
  if (cur_tab == 4)
    Timer->start();
  else
    Timer->stop();
}

void FrmOption::Tabs_MouseDown(int button, int, double x, double y) {
  if (button & 1) {
    const int index = Tabs->tabAt(QPoint(static_cast<int>(x), static_cast<int>(y)));
    if (index >= 0) Tabs->setCurrentIndex(index);
  }
  Tabs_Click();
}

// Drag: the point pressed stays under the pointer, left button alone.

void FrmOption::dragPress(int button, double x, double y) {
  windowdrag::press(*this, button, x, y, press_x, press_y);
}

void FrmOption::dragMove(int button, double x, double y) {
  windowdrag::move(*this, button, x, y, press_x, press_y);
}

void FrmOption::title_MouseDown(int button, int, double x, double y) { dragPress(button, x, y); }
void FrmOption::title_MouseMove(int button, int, double x, double y) { dragMove(button, x, y); }
void FrmOption::Form_MouseDown(int button, int, double x, double y) { dragPress(button, x, y); }
void FrmOption::Form_MouseMove(int button, int, double x, double y) { dragMove(button, x, y); }

bool FrmOption::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
    return QWidget::eventFilter(watched, event);
  auto* mouse = static_cast<QMouseEvent*>(event);
  const int shift = shiftCode(mouse->modifiers());
  if (watched == title) {
    windowdrag::route(title, event, [this](bool pressed, int button, int shift, double x, double y) {
      pressed ? title_MouseDown(button, shift, x, y) : title_MouseMove(button, shift, x, y);
    });
    return true;
  }
  if (watched == Tabs && type == QEvent::MouseButtonPress) {
    Tabs_MouseDown(buttonCode(mouse->button()), shift, mouse->position().x(), mouse->position().y());
    return false;
  }
  if (watched == lb_homepage) {
    const QPointF p = mouse->position();
    if (type == QEvent::MouseButtonPress) {
      lb_homepage_MouseDown(buttonCode(mouse->button()), shift, p.x(), p.y());
    } else if (type == QEvent::MouseMove) {
      lb_homepage_MouseMove(buttonCode(mouse->buttons()), shift, p.x(), p.y());
    } else {
      lb_homepage_MouseUp(buttonCode(mouse->button()), shift, p.x(), p.y());
      if (mouse->button() == Qt::LeftButton && lb_homepage->rect().contains(p.toPoint())) lb_homepage_Click();
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void FrmOption::mousePressEvent(QMouseEvent* event) {
  background_.press(*this, event, [this](bool, int button, int shift, double x, double y) {
    Form_MouseDown(button, shift, x, y);
  });
  QWidget::mousePressEvent(event);
}

void FrmOption::mouseMoveEvent(QMouseEvent* event) {
  background_.move(*this, event, [this](bool, int button, int shift, double x, double y) {
    Form_MouseMove(button, shift, x, y);
  });
  QWidget::mouseMoveEvent(event);
}

void FrmOption::mouseReleaseEvent(QMouseEvent* event) {
  background_.release(event);
  QWidget::mouseReleaseEvent(event);
}
