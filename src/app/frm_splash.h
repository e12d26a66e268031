#pragma once

#include <QWidget>

class Program;
class QLabel;
class QTimer;

// The splash window: the first window loaded. Its load prepares the process-wide data and glances at the
// settings file; its one-shot timer then loads the other windows and restores the settings.
class FrmSplash : public QWidget {
  Q_OBJECT

 public:
  explicit FrmSplash(Program& program);

  void Form_Load();
  void Timer_Timer();

  bool shouldShow() const { return visibleBySettings_; }
  void armTimer();

  QLabel* Label1 = nullptr;  // the slogan
  QLabel* Label2 = nullptr;  // the product title
  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QTimer* Timer = nullptr;

  // Pointer as the settings file chose it: 99 the window's own cursor, 11 the hourglass.
  int mousePointer = 99;

  void retranslate();  // the captions in the interface's language

 private:
  void createControls();
  void glanceAtSettings();
  void useLanguage(bool chinese);  // use_chinese and the splash's captions
  void setMousePointer(int pointer);

  Program& program_;
  bool visibleBySettings_ = true;
};
