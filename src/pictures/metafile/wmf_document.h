#pragma once

#include "pictures/metafile/wmf_records.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QTransform>
#include <QtEndian>

#include <cstring>
#include <memory>
#include <variant>
#include <vector>

// A Windows metafile, parsed once into a checked list of records that the renderer plays at every paint.
// Everything the file claims (record sizes, counts, bitmap headers) is checked here, so that the renderer
// reads only what is known to be inside its record. Immutable once parsed; pictures share it.
namespace wmf {

// The largest natural size, in pixels a side.
constexpr int kMaxSide = 16384;
// Records kept from one file; a real one has a few ten thousand.
constexpr int kMaxRecords = 1000000;
// Pixels of one embedded bitmap, and of all of them together.
constexpr qint64 kMaxBitmapPixels = 4096LL * 4096;
constexpr qint64 kMaxTotalBitmapPixels = 4 * kMaxBitmapPixels;
// Bytes of one text record that are drawn; the rest of a longer string is left out.
constexpr int kMaxTextBytes = 4096;
// Rectangles of one region; a region with more keeps its first ones.
constexpr int kMaxRegionRects = 1024;

// The mapping state that decides where logical coordinates land: GDI's window and viewport. The viewport is
// in natural pixels, the device a metafile is drawn on at its natural size.
struct Mapping {
  quint16 mode = kMmAnisotropic;
  QPointF windowOrg;
  QSizeF windowExt{1, 1};
  QPointF viewportOrg;
  QSizeF viewportExt{1, 1};
};

// GDI objects as the creating records describe them; colours are stored COLORREFs.
struct Pen {
  quint16 style = kPsSolid;
  int width = 0;  // logical units; 0 is one device pixel
  quint32 color = 0;
};

struct Brush {
  quint16 style = kBsSolid;
  quint32 color = 0;
  quint16 hatch = 0;
  QImage pattern;     // kBsPattern / kBsDibPattern*: the tile
  bool mono = false;  // a two-colour device bitmap: drawn in the text and background colours
};

struct Font {
  int height = 0;      // negative: character height; positive: cell height; 0: a default size
  int width = 0;       // average character width; 0: the face's own
  int escapement = 0;  // tenths of a degree, counter-clockwise
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  quint8 charSet = kAnsiCharset;
  quint8 pitchAndFamily = 0;
  QByteArray faceName;  // in the font's own code page
};

struct Palette {
  std::vector<QRgb> colors;
};

struct Region {
  QRect bounds;              // logical, right and bottom exclusive
  std::vector<QRect> rects;  // logical
};

using Object = std::variant<std::monostate, Pen, Brush, Font, Palette, Region>;

// TextOut and ExtTextOut.
struct Text {
  QPoint origin;
  quint16 options = 0;
  QRect rect;  // the ExtTextOut rectangle (left, top, right, bottom as given), when options name one
  QByteArray bytes;
  std::vector<qint16> dx;  // one advance per byte, or empty
};

// The bitmap records and PatBlt: a rectangle of the destination, in logical units (width and height may be
// negative), filled from `image` or, without one, by the raster operation alone.
struct Blit {
  quint32 rop = kSrcCopy;
  QRectF dest;
  QRectF source;  // in the image's pixels, top-down
  QImage image;
};

// Polygon, Polyline and PolyPolygon: a run of points in Document::points(), split into `counts`.
struct Shape {
  quint32 firstPoint = 0;
  std::vector<quint32> counts;
};

struct Record {
  Function function = kEof;
  quint32 offset = 0;   // of the first parameter byte in Document::data()
  quint32 words = 0;    // parameter words
  qint32 payload = -1;  // index into the texts, blits, shapes or objects, by function
  // Where a drawing record draws, in logical units; null when unknown (always drawn).
  QRect bounds;
};

class Document {
 public:
  Document() = default;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // The metafile in `data`, or null when it is not one or holds nothing to show. A record that lies about
  // its size or its counts ends the list: what comes before it is kept.
  static std::shared_ptr<const Document> parse(const QByteArray& data);
  // True when `head` (the first bytes of a file) starts with a placeable or a standard metafile header.
  static bool looksLikeMetafile(const QByteArray& head);

  // Natural size in pixels at 96 dpi, 1..kMaxSide a side.
  QSize size() const { return size_; }
  bool placeable() const { return placeable_; }
  // A record lied and the list ended there.
  bool truncated() const { return truncated_; }
  // The object table's size the header asks for.
  int objectCount() const { return objectCount_; }

  // The mapping in force when playing starts, and the rectangle of natural pixels that is the picture.
  const Mapping& initialMapping() const { return initialMapping_; }
  const QRectF& frame() const { return frame_; }

  const QByteArray& data() const { return data_; }
  const std::vector<Record>& records() const { return records_; }
  const std::vector<QPoint>& points() const { return points_; }
  const Shape& shape(const Record& r) const { return shapes_[size_t(r.payload)]; }
  const Text& text(const Record& r) const { return texts_[size_t(r.payload)]; }
  const Blit& blit(const Record& r) const { return blits_[size_t(r.payload)]; }
  const std::vector<Object>& objects() const { return objects_; }

  // Parameter word `i` of a record; 0 beyond its end (the parser checked every index the renderer uses).
  qint16 s16(const Record& r, quint32 i) const {
    if (i >= r.words) return 0;
    qint16 value = 0;
    std::memcpy(&value, bytes_ + r.offset + 2 * i, sizeof value);
    return qFromLittleEndian(value);
  }
  quint16 u16(const Record& r, quint32 i) const { return quint16(s16(r, i)); }
  quint32 u32(const Record& r, quint32 i) const { return u16(r, i) | quint32(u16(r, i + 1)) << 16; }

 private:
  friend class Parser;

  QByteArray data_;
  const char* bytes_ = nullptr;  // data_'s bytes
  QSize size_{1, 1};
  bool placeable_ = false;
  bool truncated_ = false;
  int objectCount_ = 0;
  Mapping initialMapping_;
  QRectF frame_;
  std::vector<Record> records_;
  std::vector<QPoint> points_;
  std::vector<Shape> shapes_;
  std::vector<Text> texts_;
  std::vector<Blit> blits_;
  std::vector<Object> objects_;
};

// Where a point in logical units lands in natural pixels under `m`.
QTransform logicalToNatural(const Mapping& m);

// Applies a mapping record (SetMapMode, the window and viewport records) to `m`; others leave it alone.
// Extents of zero are refused, as GDI does.
void applyMapping(Mapping& m, const Document& doc, const Record& r);

}  // namespace wmf
