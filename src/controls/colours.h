#pragma once

#include <QColor>

// The program's own colours, shared by its windows and their controls.
namespace colours {

inline const QColor kText(224, 224, 224);   // captions on black
inline const QColor kTitle(255, 192, 128);  // the orange of the title bars, the hovered and focused buttons

}  // namespace colours
