#include "preferences/frm_option.h"

#include "app/look.h"
#include "app/program.h"
#include "main_window/frm_main.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTimer>

using look::twips;

FrmOption::FrmOption(Program& program)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), program_(program) {
  createControls();
  connectHandlers();
}

void FrmOption::createControls() {
  setFixedSize(look::px(4845), look::px(4845));
  setWindowTitle(QStringLiteral("Preferences"));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, Qt::white);
  setPalette(pal);
  setStyleSheet(look::darkStyleSheet());

  title = new QLabel(QStringLiteral("Preferences"), this);
  title->setGeometry(twips(180, 120, 4515, 255));
  title->setAutoFillBackground(true);
  title->setStyleSheet(QStringLiteral("background: rgb(255,192,128); color: black; padding-left: 4px;"));

  Tabs = new QTabBar(this);
  Tabs->setGeometry(twips(180, 480, 4515, 360));
  for (const char* caption : {"&Gernel", "Ad&vance", "&Help", "&About"})
    Tabs->addTab(QString::fromLatin1(caption));
  Tabs->setExpanding(true);

  for (int i = 1; i <= 4; ++i) {
    Frame[i] = new QWidget(this);
    Frame[i]->setGeometry(twips(240, 840, 4395, 3495));
    Frame[i]->setVisible(i == 1);
  }

  // Page 1: general options.
  lb_gernel = new QLabel(QStringLiteral("Gernel Option"), Frame[1]);
  lb_gernel->move(look::px(120), look::px(60));
  fr_media = new QGroupBox(QStringLiteral("&Media"), Frame[1]);
  fr_media->setGeometry(twips(120, 480, 4035, 2775));
  const char* media_captions[] = {"S&lideshow of sounds and movies", "&Loop play for each media",
                                  "&Stop CD at exit", "&Auto play when click"};
  for (int i = 0; i < 4; ++i) {
    Check[i] = new QCheckBox(QString::fromLatin1(media_captions[i]), fr_media);
    Check[i]->setGeometry(twips(180, 360 + 360 * i, 3700, 300));
  }
  fr_short = new QGroupBox(QStringLiteral("Shor&t keys"), fr_media);
  fr_short->setGeometry(twips(180, 1800, 2475, 675));
  Option1 = new QRadioButton(QStringLiteral("&Enable"), fr_short);
  Option1->setGeometry(twips(180, 300, 1100, 300));
  Option2 = new QRadioButton(QStringLiteral("&Disable"), fr_short);
  Option2->setGeometry(twips(1320, 300, 1100, 300));

  // Page 2: interface options.
  Label1 = new QLabel(QStringLiteral("Advance Option"), Frame[2]);
  Label1->move(look::px(120), look::px(60));
  fr_interface = new QGroupBox(QStringLiteral("&Interface"), Frame[2]);
  fr_interface->setGeometry(twips(120, 480, 4035, 2775));
  const char* interface_captions[] = {"&Use Glintview Mouse Cursors", "&Show splash screen",
                                      "&Always on the top"};
  for (int i = 4; i < 7; ++i) {
    Check[i] = new QCheckBox(QString::fromLatin1(interface_captions[i - 4]), fr_interface);
    Check[i]->setGeometry(twips(180, 360 + 360 * (i - 4), 3700, 300));
  }
  Label6 = new QLabel(QStringLiteral("Language Selection:"), fr_interface);
  Label6->setGeometry(twips(180, 1920, 1650, 255));
  CMD_ToggleLang = new QPushButton(fr_interface);
  CMD_ToggleLang->setGeometry(twips(1860, 1800, 1815, 435));

  // Page 3: help.
  Label5 = new QLabel(QStringLiteral("Help"), Frame[3]);
  Label5->move(look::px(120), look::px(60));
  lst_help = new QListWidget(Frame[3]);
  lst_help->setGeometry(twips(120, 600, 1515, 1815));
  lst_help->addItem(QStringLiteral("Introduction"));
  txt_help = new QPlainTextEdit(QStringLiteral("Help"), Frame[3]);
  txt_help->setGeometry(twips(1740, 600, 2475, 2655));
  txt_help->setReadOnly(true);

  // Page 4: about.
  Label2 = new QLabel(QStringLiteral("About"), Frame[4]);
  Label2->move(look::px(120), look::px(60));
  lb_about = new QLabel(QStringLiteral("TARNWELL Glintview v3.0 (Deluxe)"), Frame[4]);
  lb_about->setGeometry(twips(120, 480, 4035, 300));
  txt_about = new QLabel(Frame[4]);
  Label3 = new QLabel(QStringLiteral("Visit TARNWELL Web Site!!"), Frame[4]);
  Label3->setGeometry(twips(120, 2940, 4035, 210));
  lb_homepage = new QLabel(TextTables::WebAddress, Frame[4]);
  lb_homepage->setGeometry(twips(330, 3150, 1995, 195));

  CMD_OK = new QPushButton(QStringLiteral("&OK"), this);
  CMD_OK->setGeometry(twips(1620, 4440, 975, 315));
  CMD_Cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  CMD_Cancel->setGeometry(twips(2640, 4440, 975, 315));
  CMD_Apply = new QPushButton(QStringLiteral("&Apply"), this);
  CMD_Apply->setGeometry(twips(3660, 4440, 975, 315));

  Timer = new QTimer(this);
  Timer->setInterval(10);

  // Design values of the options.
  for (int i : {0, 1, 3, 4, 5, 6}) Check[i]->setChecked(true);
  Check[2]->setChecked(false);
  Option1->setChecked(true);
  CMD_Apply->setEnabled(false);
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
  connect(CMD_Apply, &QPushButton::clicked, this, &FrmOption::CMD_Apply_Click);
  connect(CMD_Cancel, &QPushButton::clicked, this, &FrmOption::CMD_Cancel_Click);
  connect(CMD_OK, &QPushButton::clicked, this, &FrmOption::CMD_OK_Click);
}

void FrmOption::Form_Load() {
  cur_tab = 1;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
  }
}

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

void FrmOption::Check_Click(int) { CMD_Apply->setEnabled(true); }
void FrmOption::Option1_Click() { CMD_Apply->setEnabled(true); }
void FrmOption::Option2_Click() { CMD_Apply->setEnabled(true); }

void FrmOption::CMD_Apply_Click() {
  CMD_Apply->setEnabled(false);
  program_.SaveSettings();
  program_.ApplyInterface();
}

void FrmOption::CMD_Cancel_Click() {
  program_.LoadSettings(1);
  hide();
  program_.frm_main->setEnabled(true);
  program_.frm_main->show();
}

void FrmOption::CMD_OK_Click() {
  CMD_Apply_Click();
  CMD_Cancel_Click();
}
