#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cmath>

// Shared geometry and colours of the windows. Designs are laid out in twips, 15 to a pixel.
namespace look {

// Twips to pixels, halves to the even neighbour.
inline int px(double twips) { return static_cast<int>(std::nearbyint(twips / 15.0)); }
inline QRect twips(int left, int top, int width, int height) {
  return QRect(px(left), px(top), px(width), px(height));
}

inline const QColor kText(224, 224, 224);   // captions on black
inline const QColor kTitle(255, 192, 128);  // the orange title bar

// Style of a window whose groups, labels and controls sit on black.
QString darkStyleSheet();

// Puts a window in the middle of the primary screen; a half pixel goes to the even neighbour.
void centreOnScreen(QWidget& window);

// A window of the program's look: black, light-grey captions, the small font, the dark style.
void applyDarkWindow(QWidget& window);

}  // namespace look
