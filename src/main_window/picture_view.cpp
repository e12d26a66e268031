// The picture pane: layout, zoom, scroll bars, the free-hand move and the picture's cursors.
#include "main_window/frm_main.h"

#include "app/program.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "menus/frm_dummy.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

int roundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

// Scroll ranges are 16-bit; a picture that overhangs the pane by more is bounded to the range's end.
int scrollMaximum(int picture, int pane) { return std::clamp(picture - pane, 0, 32767); }

}  // namespace

void FrmMain::layOutPane() {
  Img->move(0, 0);
  VS->setValue(0);
  HS->setValue(0);
  const int pane_w = border->width();
  const int pane_h = border->height();
  VS->setVisible(Img->height() > pane_h);
  HS->setVisible(Img->width() > pane_w);
  VS->setMaximum(Img->height() > pane_h ? scrollMaximum(Img->height(), pane_h) : 0);
  HS->setMaximum(Img->width() > pane_w ? scrollMaximum(Img->width(), pane_w) : 0);
}

void FrmMain::applyZoom() {
  const int value = Slider->value();
  // The picture is never scaled as a whole: the control only takes the zoomed size and draws what is exposed.
  Img->resize(roundEven(value * pic_width / 10.0), roundEven(double(qint64(value) * pic_height) / 10.0));
  lb_percent->setText(QString::number(value * 10) + QLatin1Char('%'));
  layOutPane();
}

void FrmMain::HS_Change() { Img->move(-HS->value(), Img->y()); }

void FrmMain::VS_Change() { Img->move(Img->x(), -VS->value()); }

void FrmMain::setPictureCursor(bool moving) { Img->setCursor(program_.frm_dummy()->pictureCursor(moving)); }

void FrmMain::Img_MouseDown(int button, int, double x, double y) {
  if (button == 1) {
    const QPointF pointer = Img->mapToGlobal(QPointF(x, y));
    drag_x = pointer.x();
    drag_y = pointer.y();
    setPictureCursor(true);
  }
  if (button == 2) {
    FrmDummy* dummy = program_.frm_dummy();
    dummy->mnu_openwith->setEnabled(!cur_file.isEmpty());
    dummy->popUp(dummy->mnu_img);
  }
}

void FrmMain::Img_MouseMove(int button, int, double x, double y) {
  if (button == 0) {
    setPictureCursor(false);
    return;
  }
  if (button != 1) return;
  setPictureCursor(true);
  // The view travels with the pointer at a twentieth of its travel on the screen: the picture scrolls under
  // the pointer, so positions on it would count each step's scroll again. Only whole steps are taken, and
  // travel too short for one counts towards the next, so many small moves go as far as one big one; a step
  // that would reach or pass an end of the range is dropped rather than clamped, and its travel with it.
  const QPointF pointer = Img->mapToGlobal(QPointF(x, y));
  const double h = HS->value() + (pointer.x() - drag_x) / 20.0;
  const int v = roundEven(VS->value() + (pointer.y() - drag_y) / 20.0);
  if (roundEven(h) != HS->value()) {
    if (h > 0 && h < HS->maximum()) {
      drag_x += (roundEven(h) - HS->value()) * 20.0;
      HS->setValue(roundEven(h));
    } else {
      drag_x = pointer.x();
    }
  }
  if (v != VS->value()) {
    if (v > 0 && v < VS->maximum()) {
      drag_y += (v - VS->value()) * 20.0;
      VS->setValue(v);
    } else {
      drag_y = pointer.y();
    }
  }
}

void FrmMain::Img_MouseUp(int, int, double, double) { setPictureCursor(false); }

void FrmMain::Img_DblClick() { program_.frm_full()->show(); }
