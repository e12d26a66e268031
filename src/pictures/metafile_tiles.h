#pragma once

#include "pictures/picture.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QThreadPool>

#include <atomic>
#include <map>
#include <memory>
#include <tuple>

class QPainter;

// Draws a drawing (a metafile, an SVG) for a picture control in tiles, off the UI thread, so that no paint
// waits for a big file: a paint draws the tiles that are ready at the scale shown (elsewhere white, or tiles
// of an earlier scale stretched), asks for the missing ones and returns; tileReady() says where to repaint
// as they arrive. Scrolling reuses the tiles of the same scale; a scale change starts new ones and stops the
// jobs of the old. Owned by the control and used on the UI thread only; its jobs hold their own copy of the
// picture, and reach back only through a mailbox that the destructor closes before it waits for them.
class MetafileTiles : public QObject {
  Q_OBJECT

 public:
  explicit MetafileTiles(QObject* parent = nullptr);
  ~MetafileTiles() override;

  // Drops every tile and job of the picture before. A raster or null picture leaves nothing to draw.
  void setPicture(const Picture& picture);
  // Draws the picture, its natural size mapped on (0, 0, target) of the painter's coordinates, inside
  // `exposed`; `dpr` is the device's pixel ratio. Asks for the tiles that `wanted` (what shows) needs.
  void paint(QPainter& painter, const QSize& target, qreal dpr, const QRect& exposed, const QRect& wanted);
  // Tiles asked for at the scale last painted that are not ready yet.
  bool pending() const { return !jobs_.empty(); }

  // Logical pixels a side of a tile.
  static constexpr int kTileSide = 256;
  // The finished tiles kept, at every scale together, in bytes: 64 MiB (256 tiles at a pixel ratio of 1).
  // A paint asks for no more tiles than fit, so the tiles that show are never the ones evicted.
  static constexpr qint64 kCacheBytes = 64LL * 1024 * 1024;

 signals:
  // A tile of the current scale has arrived: repaint `area`.
  void tileReady(const QRect& area);

 private:
  // The scale's size and pixel ratio (in thousandths), then the tile's column and row.
  using Key = std::tuple<int, int, int, int, int>;
  struct Tile {
    QImage image;
    quint64 used = 0;  // the paint that last wanted it
  };
  struct Mailbox;

  static QRect tileRect(const Key& key);
  bool atCurrentScale(const Key& key) const;
  void start(const Key& key, const QSize& target, qreal dpr);
  void arrived(const Key& key, quint64 generation, const QImage& image);
  void cancel(std::map<Key, std::shared_ptr<std::atomic<bool>>>::iterator job);
  void cancelAll();
  void evict();
  void drawEarlierScales(QPainter& painter, const QSize& target, const QRect& exposed) const;

  Picture picture_;
  quint64 generation_ = 0;      // changes with the picture; tiles of another are dropped on arrival
  quint64 clock_ = 0;           // counts paints
  Key current_{0, 0, 0, 0, 0};  // the scale last painted (column and row 0)
  std::map<Key, Tile> tiles_;
  qint64 bytes_ = 0;  // of tiles_' images
  // Jobs asked for and not arrived, each with the flag that stops it.
  std::map<Key, std::shared_ptr<std::atomic<bool>>> jobs_;
  std::shared_ptr<Mailbox> mailbox_;
  QThreadPool pool_;
};
