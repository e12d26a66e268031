#include "controls/fit_label.h"

#include <QPainter>

namespace {

constexpr int kSmallestPixels = 7;

}  // namespace

QFont FitLabel::fittedFont() const {
  const int room = contentsRect().width();
  // Most texts fit as they are; the widget's own metrics are at hand, a smaller font's are not.
  if (fontMetrics().horizontalAdvance(text()) <= room) return font();
  QFont f = font();
  if (f.pixelSize() <= 0) f.setPixelSize(QFontInfo(f).pixelSize());
  while (f.pixelSize() > kSmallestPixels && QFontMetrics(f).horizontalAdvance(text()) > room)
    f.setPixelSize(f.pixelSize() - 1);
  return f;
}

void FitLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(fittedFont());
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
}
