#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn in code: button glyphs, the logo, the speaker, the cursors, the splash
// art. Sizes are logical pixels; the pictures of the windows (glyphs, logo, splash, language) are drawn at
// the screens' pixel ratio, so that they stay sharp on a scaled display.
namespace artwork {

enum class Glyph { Prev, Next, Back, Forward, Play, Pause, Stop, Eject, SpeakerOn, SpeakerOff, Up, Down };

QIcon glyphIcon(Glyph glyph, int size = 16);
QPixmap logo(const QSize& size);           // the logo at the bottom right of the main window
QPixmap splashPicture(const QSize& size);  // the splash's large picture

// The program's icon, size x size: a beam of light through a prism, fanned into colours, on the logo's
// rounded orange square. data/com.example.glintview.svg draws the same in the same coordinates.
QPixmap applicationIcon(int size);
QIcon windowIcon();  // applicationIcon at the usual icon sizes, for the windows and the desktop
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// 32 x 32 cursors, hot spot at 16, 16: the windows' own pointer, and the picture's pointer, move and wait
// cursors.
QCursor windowCursor();
QCursor pointerCursor();
QCursor moveCursor();
QCursor waitCursor();

QPixmap languagePicture(bool chinese, const QSize& size);  // the two pictures of the language button

}  // namespace artwork
