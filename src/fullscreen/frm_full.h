#pragma once

#include <QWidget>

class Program;
class QPushButton;

// The full-screen window: the picture alone on black, with a floating control panel.
class FrmFull : public QWidget {
  Q_OBJECT

 public:
  explicit FrmFull(Program& program);

  void Form_Load();

  QPushButton* CMD_Toggle = nullptr;  // cycles the folder / drive / file captions

  bool CDummy = false;  // true: the next activation changes nothing (a popup menu was just used)

 private:
  Program& program_;
};
