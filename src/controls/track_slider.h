#pragma once

#include <QSlider>

// A slider whose whole track answers a click: a press anywhere beside the thumb (over the tick marks, or
// above or below the thin groove the style draws) pages towards the pointer, as a press on the groove does.
// Everything else is QSlider's.
class TrackSlider : public QSlider {
 public:
  using QSlider::QSlider;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};
