#include "support/wmf_gen.h"

#include "support/picture_gen.h"

#include <QtEndian>

#include <algorithm>

using namespace wmf;

namespace wmf_gen {
namespace {

void Put16(QByteArray& out, int v) {
  out.append(char(v & 0xff));
  out.append(char((v >> 8) & 0xff));
}
void Put32(QByteArray& out, quint32 v) {
  Put16(out, int(v & 0xffff));
  Put16(out, int(v >> 16));
}

quint32 ColorRef(QRgb c) { return quint32(qRed(c)) | quint32(qGreen(c)) << 8 | quint32(qBlue(c)) << 16; }
qint16 Low(quint32 v) { return qint16(v & 0xffff); }
qint16 High(quint32 v) { return qint16(v >> 16); }

// Parameter words of a byte string, padded to whole words.
QList<qint16> Words(const QByteArray& bytes) {
  QByteArray padded = bytes;
  if (padded.size() % 2) padded.append('\0');
  QList<qint16> words;
  for (qsizetype i = 0; i < padded.size(); i += 2)
    words.append(qFromLittleEndian<qint16>(padded.constData() + i));
  return words;
}

}  // namespace

Builder& Builder::record(quint16 function, const QList<qint16>& words) {
  return lyingRecord(quint32(3 + words.size()), function, words);
}

Builder& Builder::lyingRecord(quint32 sizeWords, quint16 function, const QList<qint16>& words) {
  Put32(records_, sizeWords);
  Put16(records_, function);
  for (qint16 w : words) Put16(records_, w);
  largest_ = std::max<quint32>(largest_, quint32(3 + words.size()));
  return *this;
}

Builder& Builder::raw(const QByteArray& bytes) {
  records_.append(bytes);
  return *this;
}

Builder& Builder::setMapMode(int mode) { return record(kSetMapMode, {qint16(mode)}); }
Builder& Builder::setWindowOrg(int x, int y) { return record(kSetWindowOrg, {qint16(y), qint16(x)}); }
Builder& Builder::setWindowExt(int w, int h) { return record(kSetWindowExt, {qint16(h), qint16(w)}); }
Builder& Builder::setViewportOrg(int x, int y) { return record(kSetViewportOrg, {qint16(y), qint16(x)}); }
Builder& Builder::setViewportExt(int w, int h) { return record(kSetViewportExt, {qint16(h), qint16(w)}); }
Builder& Builder::setBkMode(int mode) { return record(kSetBkMode, {qint16(mode)}); }
Builder& Builder::setBkColor(QRgb c) { return record(kSetBkColor, {Low(ColorRef(c)), High(ColorRef(c))}); }
Builder& Builder::setTextColor(QRgb c) {
  return record(kSetTextColor, {Low(ColorRef(c)), High(ColorRef(c))});
}
Builder& Builder::setTextAlign(int align) { return record(kSetTextAlign, {qint16(align)}); }
Builder& Builder::setPolyFillMode(int mode) { return record(kSetPolyFillMode, {qint16(mode)}); }
Builder& Builder::setRop2(int mode) { return record(kSetRop2, {qint16(mode)}); }
Builder& Builder::saveDc() { return record(kSaveDc, {}); }
Builder& Builder::restoreDc(int which) { return record(kRestoreDc, {qint16(which)}); }

Builder& Builder::created() {
  const auto free = std::find(slots_.begin(), slots_.end(), false);
  if (free == slots_.end()) {
    lastSlot_ = int(slots_.size());
    slots_.append(true);
  } else {
    lastSlot_ = int(free - slots_.begin());
    *free = true;
  }
  return *this;
}

Builder& Builder::createPen(int style, int width, QRgb c) {
  record(kCreatePenIndirect, {qint16(style), qint16(width), 0, Low(ColorRef(c)), High(ColorRef(c))});
  return created();
}

Builder& Builder::createBrush(int style, QRgb c, int hatch) {
  record(kCreateBrushIndirect, {qint16(style), Low(ColorRef(c)), High(ColorRef(c)), qint16(hatch)});
  return created();
}

Builder& Builder::createFont(const FontSpec& f) {
  QByteArray bytes;
  for (int v : {f.height, f.width, f.escapement, f.escapement, f.weight}) Put16(bytes, v);
  for (int v : {int(f.italic), int(f.underline), 0, f.charSet, 0, 0, 0, f.pitchAndFamily})
    bytes.append(char(v));
  bytes.append(f.face.left(31));
  bytes.append('\0');
  record(kCreateFontIndirect, Words(bytes));
  return created();
}

Builder& Builder::createPalette(const QList<QRgb>& colors) {
  QList<qint16> words = {0x0300, qint16(colors.size())};
  for (QRgb c : colors) {
    words.append(qint16(qBlue(c) << 8));  // flags, blue
    words.append(qint16(qGreen(c) | qRed(c) << 8));
  }
  record(kCreatePalette, words);
  return created();
}

Builder& Builder::createRegion(const QList<QRect>& rects) {
  QRect bounds;
  for (const QRect& r : rects) bounds |= r;
  QList<qint16> scans;
  for (const QRect& r : rects) {
    scans << 2 << qint16(r.top()) << qint16(r.top() + r.height()) << qint16(r.left())
          << qint16(r.left() + r.width()) << 2;
  }
  QList<qint16> words = {0,
                         6,
                         0,
                         0,
                         qint16(22 + 2 * scans.size()),
                         qint16(rects.size()),
                         2,
                         qint16(bounds.left()),
                         qint16(bounds.top()),
                         qint16(bounds.left() + bounds.width()),
                         qint16(bounds.top() + bounds.height())};
  words << scans;
  record(kCreateRegion, words);
  return created();
}

Builder& Builder::createDibPatternBrush(const QImage& tile) {
  QList<qint16> words = {kBsDibPatternPt, kDibRgbColors};
  words << Words(Dib(tile));
  record(kDibCreatePatternBrush, words);
  return created();
}

Builder& Builder::selectObject(int slot) { return record(kSelectObject, {qint16(slot)}); }
Builder& Builder::deleteObject(int slot) {
  if (slot >= 0 && slot < slots_.size()) slots_[slot] = false;
  return record(kDeleteObject, {qint16(slot)});
}
Builder& Builder::selectPalette(int slot) { return record(kSelectPalette, {qint16(slot)}); }
Builder& Builder::selectClipRegion(int slot) { return record(kSelectClipRegion, {qint16(slot)}); }

Builder& Builder::moveTo(int x, int y) { return record(kMoveTo, {qint16(y), qint16(x)}); }
Builder& Builder::lineTo(int x, int y) { return record(kLineTo, {qint16(y), qint16(x)}); }

namespace {
QList<qint16> Edges(const QRect& r) {
  return {qint16(r.top() + r.height()), qint16(r.left() + r.width()), qint16(r.top()), qint16(r.left())};
}
}  // namespace

Builder& Builder::rectangle(const QRect& r) { return record(kRectangle, Edges(r)); }
Builder& Builder::ellipse(const QRect& r) { return record(kEllipse, Edges(r)); }
Builder& Builder::roundRect(const QRect& r, int w, int h) {
  return record(kRoundRect, QList<qint16>{qint16(h), qint16(w)} << Edges(r));
}
Builder& Builder::arc(quint16 function, const QRect& r, QPoint start, QPoint end) {
  return record(
      function,
      QList<qint16>{qint16(end.y()), qint16(end.x()), qint16(start.y()), qint16(start.x())} << Edges(r));
}

Builder& Builder::polygon(const QList<QPoint>& points) {
  QList<qint16> words = {qint16(points.size())};
  for (QPoint p : points) words << qint16(p.x()) << qint16(p.y());
  return record(kPolygon, words);
}

Builder& Builder::polyline(const QList<QPoint>& points) {
  QList<qint16> words = {qint16(points.size())};
  for (QPoint p : points) words << qint16(p.x()) << qint16(p.y());
  return record(kPolyline, words);
}

Builder& Builder::polyPolygon(const QList<QList<QPoint>>& polygons) {
  QList<qint16> words = {qint16(polygons.size())};
  for (const auto& polygon : polygons) words << qint16(polygon.size());
  for (const auto& polygon : polygons)
    for (QPoint p : polygon) words << qint16(p.x()) << qint16(p.y());
  return record(kPolyPolygon, words);
}

Builder& Builder::setPixel(int x, int y, QRgb c) {
  return record(kSetPixel, {Low(ColorRef(c)), High(ColorRef(c)), qint16(y), qint16(x)});
}

Builder& Builder::textOut(int x, int y, const QByteArray& text) {
  QList<qint16> words = {qint16(text.size())};
  words << Words(text) << qint16(y) << qint16(x);
  return record(kTextOut, words);
}

Builder& Builder::extTextOut(int x, int y, const QByteArray& text, int options, const QRect& rect,
                             const QList<qint16>& dx) {
  QList<qint16> words = {qint16(y), qint16(x), qint16(text.size()), qint16(options)};
  if (options & (kEtoOpaque | kEtoClipped))
    words << qint16(rect.left()) << qint16(rect.top()) << qint16(rect.left() + rect.width())
          << qint16(rect.top() + rect.height());
  words << Words(text) << dx;
  return record(kExtTextOut, words);
}

Builder& Builder::patBlt(const QRect& r, quint32 rop) {
  return record(kPatBlt, {Low(rop), High(rop), qint16(r.height()), qint16(r.width()), qint16(r.top()),
                          qint16(r.left())});
}

Builder& Builder::stretchDib(const QRect& dest, const QImage& image, const QRect& source, quint32 rop) {
  QList<qint16> words = {Low(rop),
                         High(rop),
                         kDibRgbColors,
                         qint16(source.height()),
                         qint16(source.width()),
                         qint16(source.top()),
                         qint16(source.left()),
                         qint16(dest.height()),
                         qint16(dest.width()),
                         qint16(dest.top()),
                         qint16(dest.left())};
  words << Words(Dib(image));
  return record(kStretchDib, words);
}

Builder& Builder::dibStretchBlt(const QRect& dest, const QImage& image, const QRect& source, quint32 rop) {
  QList<qint16> words = {Low(rop),
                         High(rop),
                         qint16(source.height()),
                         qint16(source.width()),
                         qint16(source.top()),
                         qint16(source.left()),
                         qint16(dest.height()),
                         qint16(dest.width()),
                         qint16(dest.top()),
                         qint16(dest.left())};
  words << Words(Dib(image));
  return record(kDibStretchBlt, words);
}

Builder& Builder::dibBitBlt(QPoint dest, const QImage& image, quint32 rop) {
  QList<qint16> words = {
      Low(rop),         High(rop),       0, 0, qint16(image.height()), qint16(image.width()),
      qint16(dest.y()), qint16(dest.x())};
  words << Words(Dib(image));
  return record(kDibBitBlt, words);
}

Builder& Builder::setDibToDev(QPoint dest, const QImage& image) {
  QList<qint16> words = {
      kDibRgbColors,    qint16(image.height()), 0, 0, 0, qint16(image.height()), qint16(image.width()),
      qint16(dest.y()), qint16(dest.x())};
  words << Words(Dib(image));
  return record(kSetDibToDev, words);
}

Builder& Builder::intersectClipRect(const QRect& r) { return record(kIntersectClipRect, Edges(r)); }
Builder& Builder::excludeClipRect(const QRect& r) { return record(kExcludeClipRect, Edges(r)); }
Builder& Builder::offsetClipRgn(int dx, int dy) { return record(kOffsetClipRgn, {qint16(dy), qint16(dx)}); }

QByteArray Builder::body() const {
  QByteArray records = records_;
  Put32(records, 3);  // the end record
  Put16(records, kEof);
  QByteArray header;
  Put16(header, 1);  // a metafile on disk
  Put16(header, 9);
  Put16(header, 0x0300);
  Put32(header, quint32((kHeaderBytes + records.size()) / 2));
  Put16(header, int(slots_.size()));
  Put32(header, largest_);
  Put16(header, 0);
  return header + records;
}

QByteArray Builder::standard() const { return body(); }

QByteArray Builder::placeable(const QRect& box, int unitsPerInch) const {
  QByteArray header;
  Put32(header, kPlaceableKey);
  Put16(header, 0);
  Put16(header, box.left());
  Put16(header, box.top());
  Put16(header, box.left() + box.width());
  Put16(header, box.top() + box.height());
  Put16(header, unitsPerInch);
  Put32(header, 0);
  quint16 checksum = 0;
  for (int i = 0; i < 20; i += 2) checksum ^= qFromLittleEndian<quint16>(header.constData() + i);
  Put16(header, checksum);
  return header + body();
}

QByteArray Dib(const QImage& image) {
  return picture_gen::MakeBmp(image.convertToFormat(QImage::Format_RGB32),
                              {.bitsPerPixel = 24, .fileHeader = false});
}

QList<QPair<QString, QByteArray>> Samples() {
  const QImage quadrants = picture_gen::Quadrants({16, 16});
  QList<QPair<QString, QByteArray>> samples;

  Builder shapes;
  shapes.setMapMode(kMmAnisotropic).setWindowOrg(0, 0).setWindowExt(200, 150);
  shapes.createPen(kPsSolid, 2, 0xff000080).selectObject(shapes.lastSlot());
  shapes.createBrush(kBsSolid, 0xffff8000).selectObject(shapes.lastSlot());
  shapes.rectangle({10, 10, 60, 40}).ellipse({80, 10, 60, 40}).roundRect({150, 10, 40, 40}, 10, 10);
  shapes.setPolyFillMode(kWinding).polygon({{10, 60}, {60, 140}, {110, 60}, {10, 110}, {110, 110}});
  shapes.setPolyFillMode(kAlternate)
      .polyPolygon({{{120, 60}, {190, 60}, {190, 140}}, {{130, 70}, {180, 70}, {180, 130}}});
  shapes.createPen(kPsDash, 0, 0xff008000).selectObject(shapes.lastSlot());
  shapes.polyline({{5, 145}, {100, 120}, {195, 145}}).moveTo(0, 0).lineTo(200, 150);
  shapes.arc(kArc, {20, 20, 160, 110}, {200, 75}, {100, 0}).arc(kPie, {30, 30, 60, 60}, {90, 60}, {60, 30});
  shapes.arc(kChord, {100, 30, 60, 60}, {160, 60}, {130, 30}).setPixel(5, 5, 0xffff0000);
  samples.append({"shapes", shapes.placeable({0, 0, 200, 150}, 96)});

  Builder objects;
  objects.setWindowExt(100, 100);
  objects.createBrush(kBsHatched, 0xff0000ff, kHsDiagCross).selectObject(objects.lastSlot());
  objects.createPalette({0xffff0000, 0xff00ff00}).selectPalette(objects.lastSlot());
  objects.createDibPatternBrush(quadrants).selectObject(objects.lastSlot());
  const qint16 pattern = qint16(objects.lastSlot());
  objects.saveDc().createRegion({{10, 10, 30, 20}, {20, 40, 40, 20}}).selectClipRegion(objects.lastSlot());
  const qint16 region = qint16(objects.lastSlot());
  objects.rectangle({0, 0, 100, 100}).restoreDc(-1).deleteObject(0);
  objects.setRop2(kR2XorPen).ellipse({20, 20, 60, 60}).setRop2(kR2CopyPen);
  objects.intersectClipRect({5, 5, 90, 90}).excludeClipRect({40, 40, 10, 10}).offsetClipRgn(2, 2);
  objects.patBlt({50, 50, 40, 40}, kPatCopy).patBlt({0, 0, 10, 10}, kDstInvert);
  objects.record(kFillRegion, {region, pattern}).record(kFrameRegion, {region, pattern, 2, 2});
  objects.record(kPaintRegion, {region}).record(kInvertRegion, {region});
  samples.append({"objects", objects.standard()});

  Builder text;
  text.setWindowExt(300, 100).setBkMode(kTransparent).setTextColor(0xff000000);
  text.createFont({.height = -24, .weight = 700, .face = "DejaVu Serif"}).selectObject(text.lastSlot());
  text.setTextAlign(kTaBaseline).textOut(10, 40, "Metafile");
  text.createFont({.height = 20, .escapement = 450, .italic = true, .charSet = kChineseBig5Charset})
      .selectObject(text.lastSlot());
  text.setBkMode(kOpaque).setBkColor(0xffffff00).setTextAlign(kTaUpdateCp).moveTo(150, 20);
  text.extTextOut(0, 0, "\xa4\xa4\xa4\xe5 ok", kEtoOpaque | kEtoClipped, {140, 10, 150, 80},
                  {12, 12, 12, 12, 8, 8, 8});
  samples.append({"text", text.standard()});

  Builder bitmaps;
  bitmaps.setMapMode(kMmAnisotropic).setWindowOrg(0, 100).setWindowExt(100, -100);
  bitmaps.stretchDib({0, 0, 50, 50}, quadrants, {0, 0, 16, 16});
  bitmaps.dibStretchBlt({50, 0, 50, 50}, quadrants, {8, 0, 8, 8}, kSrcInvert);
  bitmaps.dibBitBlt({10, 60}, quadrants, kSrcAnd).setDibToDev({60, 60}, quadrants);
  bitmaps.record(kDibBitBlt, {0x42, 0, 0, 0, 0, 10, 10, 0, 0});  // without bitmap: blackness
  samples.append({"bitmaps", bitmaps.placeable({0, 0, 100, 100}, 1440)});

  Builder metric;
  metric.setMapMode(kMmHiMetric).setWindowOrg(0, 0);
  metric.createBrush(kBsSolid, 0xff808080).selectObject(metric.lastSlot()).rectangle({0, -2540, 2540, 2540});
  samples.append({"metric", metric.standard()});
  return samples;
}

}  // namespace wmf_gen
