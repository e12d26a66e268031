#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <functional>
#include <memory>

class QPainter;
namespace wmf {
class Document;
}

// A loaded picture, held by value: copies share the pixels (QImage is implicitly shared) or the parsed
// metafile (immutable, shared), so the main window, the full-screen window and the clipboard can each keep
// one cheaply. A raster is sampled; a metafile is played afresh at whatever size it is drawn.
class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage image);
  explicit Picture(std::shared_ptr<const wmf::Document> metafile);

  bool isNull() const;
  bool isMetafile() const { return metafile_ != nullptr; }
  // Natural size in pixels.
  QSize size() const;

  // Draws the picture with its natural size mapped onto `target` (painter coordinates), touching only the
  // part inside `exposed` (the paint device's coordinates, e.g. a paint event's rectangle). Never builds a
  // scaled copy of the whole picture: the painter samples a raster directly, smoothly unless the picture is
  // shrunk so far that a fast path is as good; a metafile is drawn on white at the target's size, so lines
  // and text stay sharp however far it is zoomed. A metafile's playing is bounded in cost, and ends early
  // when `cancelled` (asked now and then on the painting thread) says so.
  void paint(QPainter& painter, const QRectF& target, const QRect& exposed,
             const std::function<bool()>& cancelled = {}) const;

  // The picture as pixels at its natural size; a metafile rasterised on white. Null if that much memory is
  // not to be had.
  QImage toImage() const;

 private:
  QImage image_;
  std::shared_ptr<const wmf::Document> metafile_;
};
