#pragma once

#include "app/options.h"
#include "controls/window_drag.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <array>

class Program;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTimer;

// The preferences window. Its check boxes and option buttons are the only store of the options while the
// program runs: every reader asks them at the moment of use. Program owns it; it is hidden, never closed,
// between uses. frm_option.cpp holds the frame (controls, tabs, drag, buttons), help_pages.cpp the help
// page and about_page.cpp the credits and the link.
class FrmOption : public QWidget, public Options {
  Q_OBJECT

 public:
  explicit FrmOption(Program& program);

  void Form_Load();
  // The captions in the interface's language, the about text, the help list back at topic 1, and the names
  // screen readers give what has no caption.
  void retranslate();
  void Form_Activate();

  // The option check boxes (Options::CheckIndex), read by the other windows through Options.

  // Check box values as the options use them: 0 off, 1 on, 2 greyed.
  int CheckValue(int index) const override;
  // Sets a check box; false (nothing changes) for a value the box does not take.
  bool setCheckValue(int index, int value);
  bool Option1Value() const override;
  void setOption1Value(bool enabled);  // Option2 always becomes the opposite
  // The controls hold what the settings file says: Apply is greyed until the user changes one.
  void markApplied();

  // Frame (frm_option.cpp). Mouse handlers take the button code (1 left, 2 right, 4 middle) and the
  // position in pixels relative to the control.
  void Tabs_Click();
  void Tabs_MouseDown(int button, int shift, double x, double y);
  void title_MouseDown(int button, int shift, double x, double y);
  void title_MouseMove(int button, int shift, double x, double y);
  void Form_MouseDown(int button, int shift, double x, double y);
  void Form_MouseMove(int button, int shift, double x, double y);
  void Check_Click(int index);
  void Option1_Click();
  void Option2_Click();
  void CMD_ToggleLang_Click();
  void CMD_Apply_Click();
  void CMD_Cancel_Click();
  void CMD_OK_Click();

  // Help page (help_pages.cpp).
  void lst_help_Click();

  // About page (about_page.cpp).
  void Timer_Timer();
  void lb_homepage_MouseDown(int button, int shift, double x, double y);
  void lb_homepage_MouseMove(int button, int shift, double x, double y);
  void lb_homepage_MouseUp(int button, int shift, double x, double y);
  void lb_homepage_Click();
  QColor lbHomepageForeColor() const { return homepageFore_; }

  // Controls.
  QLabel* title = nullptr;
  QTabBar* Tabs = nullptr;
  std::array<QWidget*, 5> Frame{};  // pages 1 to 4
  std::array<QCheckBox*, 7> Check{};
  QRadioButton* Option1 = nullptr;
  QRadioButton* Option2 = nullptr;
  QGroupBox* fr_media = nullptr;
  QGroupBox* fr_short = nullptr;
  QGroupBox* fr_interface = nullptr;
  QLabel* lb_gernel = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* lb_about = nullptr;
  QLabel* lb_homepage = nullptr;
  QWidget* border = nullptr;  // the credits' clipping box
  QWidget* scroll = nullptr;  // the credits panel that moves inside border
  QLabel* txt_about = nullptr;
  QPushButton* CMD_ToggleLang = nullptr;
  QListWidget* lst_help = nullptr;
  QPlainTextEdit* txt_help = nullptr;
  QPushButton* CMD_OK = nullptr;
  QPushButton* CMD_Cancel = nullptr;
  QPushButton* CMD_Apply = nullptr;
  QTimer* Timer = nullptr;
  QPixmap img_english;  // the language button's two pictures, each drawn when first shown
  QPixmap img_chinese;

  // Window state.
  int cur_tab = 1;
  double press_x = 0;
  int press_y = 0;

 protected:
  bool event(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Apply's work; false when the settings file could not be written (the user has been told).
  bool apply();
  void createControls();
  void createHelpPage();
  void createAboutPage();
  void connectHandlers();
  void showLanguagePicture();
  void dragPress(int button, double x, double y);
  void dragMove(int button, double x, double y);
  void setHomepageFore(const QColor& color);

  Program& program_;
  windowdrag::Background background_;  // the bare background as a drag handle
  QColor homepageFore_{0, 0, 255};
};
