#include "fullscreen/frm_full.h"

#include "app/program.h"

FrmFull::FrmFull(Program& program)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), program_(program) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
}

void FrmFull::Form_Load() {}
