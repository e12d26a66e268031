// The full-screen picture: the free-hand move that keeps the screen covered, the click that shows or hides
// the control panel, the full-screen menu and the picture's cursors.
#include "fullscreen/frm_full.h"

#include "app/program.h"
#include "controls/picture_box.h"
#include "menus/frm_dummy.h"

#include <QCursor>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The pointer on the screen, in whole pixels, bounded to the range of a position (positions are not trusted).
// The picture moves under the pointer, so positions relative to it would count each step's move again at
// the next one.
QPoint onScreen(const QWidget& picture, double x, double y) {
  const QPointF global = picture.mapToGlobal(QPointF(x, y));
  const auto whole = [](double value) {
    return static_cast<int>(std::nearbyint(std::clamp(value, double(INT_MIN), double(INT_MAX))));
  };
  return {whole(global.x()), whole(global.y())};
}

}  // namespace

void FrmFull::setPictureCursor(bool moving) { Img->setCursor(program_.frm_dummy()->pictureCursor(moving)); }

void FrmFull::Img_MouseDown(int button, int, double x, double y) {
  if (button == 1) {
    const QPoint pointer = onScreen(*Img, x, y);
    drag_x = pointer.x();
    drag_y = pointer.y();
    click_pending = true;
  }
  if (button == 2) popFullMenu();
}

void FrmFull::Img_MouseMove(int button, int, double x, double y) {
  if (button == 0) {
    setPictureCursor(false);
    return;
  }
  if (button != 1) return;
  setPictureCursor(true);
  click_pending = false;
  // The picture moves against the pointer's travel on the screen since the previous step. In each direction
  // a step is taken whole or dropped: the picture's near edge may reach the screen's edge, never come inside
  // it, and its far edge stays beyond the screen's far edge. A picture no larger than the screen never moves.
  const QPoint pointer = onScreen(*Img, x, y);
  const qint64 left = qint64(Img->x()) + drag_x - pointer.x();
  const qint64 top = qint64(Img->y()) + drag_y - pointer.y();
  const bool horizontal = left <= 0 && left + Img->width() > width();
  const bool vertical = top <= 0 && top + Img->height() > height();
  if (horizontal || vertical)
    Img->move(horizontal ? static_cast<int>(left) : Img->x(), vertical ? static_cast<int>(top) : Img->y());
  drag_x = pointer.x();
  drag_y = pointer.y();
}

void FrmFull::Img_MouseUp(int, int, double, double) { setPictureCursor(false); }

void FrmFull::Img_Click() {
  if (click_pending) setPanelVisible(!panelVisible());
}
