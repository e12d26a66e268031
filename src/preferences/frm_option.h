#pragma once

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
// program runs: every reader asks them at the moment of use.
class FrmOption : public QWidget {
  Q_OBJECT

 public:
  explicit FrmOption(Program& program);

  void Form_Load();

  // Check box values as the options use them: 0 off, 1 on, 2 greyed.
  int CheckValue(int index) const;
  // Sets a check box; false (nothing changes) for a value the box does not take.
  bool setCheckValue(int index, int value);
  bool Option1Value() const;
  void setOption1Value(bool enabled);  // Option2 always becomes the opposite

  void Check_Click(int index);
  void Option1_Click();
  void Option2_Click();
  void CMD_Apply_Click();
  void CMD_Cancel_Click();
  void CMD_OK_Click();

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
  QLabel* txt_about = nullptr;
  QPushButton* CMD_ToggleLang = nullptr;
  QListWidget* lst_help = nullptr;
  QPlainTextEdit* txt_help = nullptr;
  QPushButton* CMD_OK = nullptr;
  QPushButton* CMD_Cancel = nullptr;
  QPushButton* CMD_Apply = nullptr;
  QTimer* Timer = nullptr;

  int cur_tab = 1;

 private:
  void createControls();
  void connectHandlers();

  Program& program_;
};
