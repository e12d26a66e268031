#pragma once

#include "app/text_tables.h"
#include "controls/colours.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cmath>
#include <initializer_list>
#include <utility>

// Shared geometry and colours of the windows. Designs are laid out in twips, 15 to a pixel.
namespace look {

// Twips to pixels, halves to the even neighbour.
inline int px(double twips) { return static_cast<int>(std::nearbyint(twips / 15.0)); }
inline QRect twips(int left, int top, int width, int height) {
  return QRect(px(left), px(top), px(width), px(height));
}

using colours::kText;
using colours::kTitle;

// Style of a window whose groups, labels and controls sit on black.
QString darkStyleSheet();
// Style of a window's own title bar: black on the title orange.
QString titleStyleSheet();

// Names each control for screen readers, by name and description, in the language of the captions.
void nameControls(std::initializer_list<std::pair<QWidget*, TextTables::Control>> controls, bool chinese);

// Puts a window in the middle of the primary screen; a half pixel goes to the even neighbour.
void centreOnScreen(QWidget& window);

// A window of the program's look: black, light-grey captions, the small font, the dark style.
void applyDarkWindow(QWidget& window);

// The families every text is drawn in, in either language and under any locale: first a Latin sans serif
// (English, file names), then a Traditional Chinese face with a bold of its own. Under a Chinese locale the
// desktop's sans serif is a CJK face, whose Latin letters are thin and whose underscore falls below the row;
// one without a bold smears bold headings. Missing faces are left out (the desktop's fallback stays).
QStringList programFontFamilies();
// Makes them the application's font, before any window is made.
void useProgramFonts();

}  // namespace look
