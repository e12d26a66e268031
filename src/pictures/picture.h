#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QPainter;
namespace wmf {
class Document;
}

// A picture played afresh at whatever size it is drawn (a Windows metafile, an SVG drawing), so that lines
// and text stay sharp however far it is zoomed. Immutable once made, and drawn from any thread.
class Drawing {
 public:
  virtual ~Drawing() = default;
  // Natural size in pixels.
  virtual QSize size() const = 0;
  // Draws with the natural size mapped onto `target` (painter coordinates); the painter is already clipped
  // to `device` (device pixels), which the drawing may use to pass over what falls outside. Bounded in cost;
  // `cancelled`, when given, is asked now and then on the painting thread and ends the drawing early.
  virtual void draw(QPainter& painter, const QRectF& target, const QRect& device,
                    const std::function<bool()>& cancelled) const = 0;
};

// How far a picture being decoded on another thread has come: the rows above rows() are final and are never
// written again. The decoding thread raises it and finishes it (done, or given up); readers only look.
class DecodeProgress {
 public:
  int rows() const { return rows_.load(std::memory_order_acquire); }
  void setRows(int rows) { rows_.store(rows, std::memory_order_release); }
  void finish();
  bool finished() const;
  // Until finish(), at most `ms`; whether it came.
  bool waitFinished(int ms) const;

 private:
  std::atomic<int> rows_{0};
  mutable std::mutex mutex_;
  mutable std::condition_variable finishedChanged_;
  bool finished_ = false;
};

// A loaded picture, held by value: copies share the pixels (QImage is implicitly shared) or the parsed
// metafile (immutable, shared), so the main window, the full-screen window and the clipboard can each keep
// one cheaply. A raster is sampled; a drawing is played afresh at whatever size it is drawn.
class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage image);
  explicit Picture(std::shared_ptr<const wmf::Document> metafile);
  explicit Picture(std::shared_ptr<const Drawing> drawing);
  // A raster still being decoded into on another thread: only the rows `progress` names final are drawn
  // (the rest as black), and toImage() waits for the rest.
  Picture(QImage image, std::shared_ptr<const DecodeProgress> progress);

  bool isNull() const;
  bool isDrawing() const { return drawing_ != nullptr; }
  // Natural size in pixels.
  QSize size() const;
  // The rows of a raster that are there: all but while it is still being decoded.
  int rowsReady() const;

  // Draws the picture with its natural size mapped onto `target` (painter coordinates), touching only the
  // part inside `exposed` (the paint device's coordinates, e.g. a paint event's rectangle). Never builds a
  // scaled copy of the whole picture: the painter samples a raster directly, smoothly unless the picture is
  // shrunk so far that a fast path is as good; a drawing is drawn on white at the target's size, so lines
  // and text stay sharp however far it is zoomed. A drawing's playing is bounded in cost, and ends early
  // when `cancelled` (asked now and then on the painting thread) says so.
  void paint(QPainter& painter, const QRectF& target, const QRect& exposed,
             const std::function<bool()>& cancelled = {}) const;

  // The picture as pixels at its natural size; a drawing rasterised on white. Null if that much memory is
  // not to be had. A picture still being decoded is waited for (bounded: what is there by then).
  QImage toImage() const;

 private:
  QImage image_;
  std::shared_ptr<const DecodeProgress> progress_;
  std::shared_ptr<const Drawing> drawing_;
};
