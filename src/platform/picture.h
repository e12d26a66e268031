#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

class QPainter;

// A loaded picture, held by value: copies share the pixels (QImage is implicitly shared), so the main window,
// the full-screen window and the clipboard can each keep one cheaply. Today it is always a raster; the
// drawing stays behind paint()/toImage() so that a vector kind can join without changing the callers.
class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage image);

  bool isNull() const;
  // Natural size in pixels.
  QSize size() const;

  // Draws the picture with its natural size mapped onto `target` (painter coordinates), touching only the
  // part inside `exposed` (the paint device's coordinates, e.g. a paint event's rectangle). Never builds a
  // scaled copy of the whole picture: the painter samples the source directly, smoothly unless the picture is
  // shrunk so far that a fast path is as good.
  void paint(QPainter& painter, const QRectF& target, const QRect& exposed) const;

  QImage toImage() const;

 private:
  QImage image_;
};
