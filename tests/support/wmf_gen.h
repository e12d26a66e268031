#pragma once

#include "pictures/metafile/wmf_records.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QString>

// Writes Windows metafiles record by record, for the tests and the fuzzing seeds. Coordinates are logical
// units; colours are given as QRgb and stored as the format's COLORREF. Every Create* call takes the next
// object slot the way a player assigns them (the lowest free one), which the builder tracks so that tests
// can name slots.
namespace wmf_gen {

struct FontSpec {
  int height = -20;  // negative: character height; positive: cell height
  int width = 0;
  int escapement = 0;  // tenths of a degree
  int weight = 400;
  bool italic = false;
  bool underline = false;
  int charSet = wmf::kAnsiCharset;
  int pitchAndFamily = 0;
  QByteArray face = "DejaVu Sans";
};

class Builder {
 public:
  // Any record, its parameter words as stored.
  Builder& record(quint16 function, const QList<qint16>& words);
  // A record whose size field says `sizeWords` whatever follows: for records that lie.
  Builder& lyingRecord(quint32 sizeWords, quint16 function, const QList<qint16>& words);
  // Bytes appended as they are.
  Builder& raw(const QByteArray& bytes);

  Builder& setMapMode(int mode);
  Builder& setWindowOrg(int x, int y);
  Builder& setWindowExt(int width, int height);
  Builder& setViewportOrg(int x, int y);
  Builder& setViewportExt(int width, int height);
  Builder& setBkMode(int mode);
  Builder& setBkColor(QRgb color);
  Builder& setTextColor(QRgb color);
  Builder& setTextAlign(int align);
  Builder& setPolyFillMode(int mode);
  Builder& setRop2(int mode);
  Builder& saveDc();
  Builder& restoreDc(int which);

  // Each returns the builder; the slot taken is lastSlot().
  Builder& createPen(int style, int width, QRgb color);
  Builder& createBrush(int style, QRgb color, int hatch = 0);
  Builder& createFont(const FontSpec& font);
  Builder& createPalette(const QList<QRgb>& colors);
  // A region of rectangles that share no scan line band with each other.
  Builder& createRegion(const QList<QRect>& rects);
  Builder& createDibPatternBrush(const QImage& tile);
  int lastSlot() const { return lastSlot_; }
  Builder& selectObject(int slot);
  Builder& deleteObject(int slot);
  Builder& selectPalette(int slot);
  Builder& selectClipRegion(int slot);

  Builder& moveTo(int x, int y);
  Builder& lineTo(int x, int y);
  Builder& rectangle(const QRect& r);
  Builder& ellipse(const QRect& r);
  Builder& roundRect(const QRect& r, int cornerWidth, int cornerHeight);
  // Arc, Pie, Chord: the bounding rectangle and the radial start and end points.
  Builder& arc(quint16 function, const QRect& r, QPoint start, QPoint end);
  Builder& polygon(const QList<QPoint>& points);
  Builder& polyline(const QList<QPoint>& points);
  Builder& polyPolygon(const QList<QList<QPoint>>& polygons);
  Builder& setPixel(int x, int y, QRgb color);
  Builder& textOut(int x, int y, const QByteArray& text);
  Builder& extTextOut(int x, int y, const QByteArray& text, int options = 0, const QRect& rect = QRect(),
                      const QList<qint16>& dx = {});
  Builder& patBlt(const QRect& r, quint32 rop);
  // The bitmap records, each with a 24-bit DIB of `image`. Sources are in the image's pixels, as each
  // record counts them (StretchDIBits from the bottom of a bottom-up bitmap, the others from the top).
  Builder& stretchDib(const QRect& dest, const QImage& image, const QRect& source,
                      quint32 rop = wmf::kSrcCopy);
  Builder& dibStretchBlt(const QRect& dest, const QImage& image, const QRect& source,
                         quint32 rop = wmf::kSrcCopy);
  Builder& dibBitBlt(QPoint dest, const QImage& image, quint32 rop = wmf::kSrcCopy);
  Builder& setDibToDev(QPoint dest, const QImage& image);
  Builder& intersectClipRect(const QRect& r);
  Builder& excludeClipRect(const QRect& r);
  Builder& offsetClipRgn(int dx, int dy);

  // The records so far as a standard metafile, or behind a placeable header; an end record is added.
  QByteArray standard() const;
  QByteArray placeable(const QRect& box, int unitsPerInch) const;

 private:
  Builder& created();
  QByteArray body() const;

  QByteArray records_;
  QList<bool> slots_;
  int lastSlot_ = -1;
  quint32 largest_ = 3;
};

// A bottom-up DIB of the picture at 24 bits, without file header.
QByteArray Dib(const QImage& image);

// Metafiles that between them use every record the renderer knows, for corruption tests and fuzzing seeds.
QList<QPair<QString, QByteArray>> Samples();

}  // namespace wmf_gen
