// The full-screen picture: the free-hand move that keeps the screen covered, the click that shows or hides
// the control panel, the full-screen menu and the picture's cursors.
#include "fullscreen/frm_full.h"

#include "app/program.h"
#include "controls/picture_box.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"

#include <QCursor>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Halves to the even neighbour, bounded to the range of a position (pointer positions are not trusted).
int roundEven(double value) {
  return static_cast<int>(std::nearbyint(std::clamp(value, double(INT_MIN), double(INT_MAX))));
}

}  // namespace

void FrmFull::setPictureCursor(bool moving) { Img->setCursor(program_.frm_dummy->pictureCursor(moving)); }

void FrmFull::Img_MouseDown(int button, int, double x, double y) {
  if (button == 1) {
    drag_x = x;
    drag_y = roundEven(y);
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
  // The picture moves against the pointer's travel since the previous step. In each direction a step is
  // taken whole or dropped: the picture's near edge may reach the screen's edge, never come inside it, and
  // its far edge stays beyond the screen's far edge. A picture no larger than the screen never moves.
  const int left = roundEven(Img->x() + (drag_x - x));
  const double top = Img->y() + (drag_y - y);
  const bool horizontal =
      left <= 0 && static_cast<float>(left) + static_cast<float>(Img->width()) > static_cast<float>(width());
  const bool vertical = top <= 0 && top + Img->height() > height();
  // Rounding up keeps both conditions true for the whole-pixel position.
  const int new_top = vertical ? roundEven(std::ceil(top)) : Img->y();
  if (horizontal || vertical) Img->move(horizontal ? left : Img->x(), new_top);
  drag_x = x;
  drag_y = roundEven(y);
}

void FrmFull::Img_MouseUp(int, int, double, double) { setPictureCursor(false); }

void FrmFull::Img_Click() {
  if (click_pending) setPanelVisible(!panelVisible());
}
