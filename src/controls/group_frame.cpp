#include "controls/group_frame.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionGroupBox>

void GroupFrame::paintEvent(QPaintEvent* event) {
  // A checkable box changes with the pointer and the focus; none of ours is.
  if (isCheckable()) return QGroupBox::paintEvent(event);
  const Drawn now{size(), devicePixelRatioF(), title(), isEnabled()};
  if (pixmap_.isNull() || now != drawn_) {
    QPixmap pixmap((QSizeF(size()) * now.ratio).toSize());
    pixmap.setDevicePixelRatio(now.ratio);
    pixmap.fill(Qt::transparent);
    {
      // As QGroupBox paints itself, with the pen, background and font a painter on the box begins with.
      QPainter painter(&pixmap);
      painter.setPen(QPen(palette().brush(foregroundRole()), 1));
      painter.setBackground(palette().brush(backgroundRole()));
      painter.setFont(font());
      QStyleOptionGroupBox option;
      initStyleOption(&option);
      style()->drawComplexControl(QStyle::CC_GroupBox, &option, &painter, this);
    }
    pixmap_ = pixmap;
    drawn_ = now;
  }
  // The painter of a paint event draws only where the event asks.
  QPainter(this).drawPixmap(QPoint(0, 0), pixmap_);
}

void GroupFrame::changeEvent(QEvent* event) {
  // A new palette, font, style sheet or language: whatever it is, the next paint draws the box anew.
  pixmap_ = QPixmap();
  QGroupBox::changeEvent(event);
}
