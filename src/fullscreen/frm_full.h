#pragma once

#include <QWidget>

class Program;

// The full-screen window: the picture alone on black, with a floating control panel.
class FrmFull : public QWidget {
  Q_OBJECT

 public:
  explicit FrmFull(Program& program);

  void Form_Load();

  bool CDummy = false;  // true: the next activation changes nothing (a popup menu was just used)

 private:
  Program& program_;
};
