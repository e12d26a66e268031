#include "controls/track_slider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

void TrackSlider::mousePressEvent(QMouseEvent* event) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QPoint at = event->position().toPoint();
  const QStyle::SubControl hit = style()->hitTestComplexControl(QStyle::CC_Slider, &option, at, this);
  if (hit != QStyle::SC_None && hit != QStyle::SC_SliderTickmarks) {
    QSlider::mousePressEvent(event);
    return;
  }
  // Beside the groove: the same press moved across onto the groove's middle line.
  const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
  QPointF onGroove = event->position();
  if (orientation() == Qt::Horizontal)
    onGroove.setY(groove.center().y());
  else
    onGroove.setX(groove.center().x());
  QMouseEvent moved(event->type(), onGroove, event->scenePosition() + (onGroove - event->position()),
                    event->globalPosition() + (onGroove - event->position()), event->button(),
                    event->buttons(), event->modifiers(), event->pointingDevice());
  QSlider::mousePressEvent(&moved);
  event->setAccepted(moved.isAccepted());
}
