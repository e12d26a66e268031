#include "pictures/metafile/wmf_document.h"

#include "pictures/dib_reader.h"

#include <QBuffer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

namespace wmf {

namespace {

constexpr double kDpi = 96.0;
constexpr quint32 kNoFunction = 0xFFFFFFFF;
// SaveDC levels followed while working out the initial mapping; deeper nesting is not real.
constexpr int kMaxSavedMappings = 256;
// Sides of a pattern brush's tile.
constexpr int kMaxPatternSide = 256;
// Pixels a run-length bitmap may have: this many, and so many more for each byte of it.
constexpr qint64 kRunLengthPixelsFree = 1 << 20;
constexpr qint64 kRunLengthPixelsPerByte = 256;
// Bytes of a face name (including its terminating zero).
constexpr int kFaceNameBytes = 32;

quint16 le16(const char* p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char* p) { return qFromLittleEndian<quint32>(p); }

// The canonical function for a record's stored function, by its low byte; kNoFunction for unknown ones.
quint32 canonical(quint16 stored) {
  static const std::array<quint32, 256> table = [] {
    std::array<quint32, 256> t{};
    t.fill(kNoFunction);
    for (Function f : {kEof,
                       kRealizePalette,
                       kSetPalEntries,
                       kSetBkMode,
                       kSetMapMode,
                       kSetRop2,
                       kSetRelAbs,
                       kSetPolyFillMode,
                       kSetStretchBltMode,
                       kSetTextCharExtra,
                       kRestoreDc,
                       kInvertRegion,
                       kPaintRegion,
                       kSelectClipRegion,
                       kSelectObject,
                       kSetTextAlign,
                       kResizePalette,
                       kDibCreatePatternBrush,
                       kSetLayout,
                       kDeleteObject,
                       kCreatePatternBrush,
                       kSetBkColor,
                       kSetTextColor,
                       kSetTextJustification,
                       kSetWindowOrg,
                       kSetWindowExt,
                       kSetViewportOrg,
                       kSetViewportExt,
                       kOffsetWindowOrg,
                       kOffsetViewportOrg,
                       kLineTo,
                       kMoveTo,
                       kOffsetClipRgn,
                       kFillRegion,
                       kSetMapperFlags,
                       kSelectPalette,
                       kCreatePenIndirect,
                       kCreateFontIndirect,
                       kCreateBrushIndirect,
                       kPolygon,
                       kPolyline,
                       kScaleWindowExt,
                       kScaleViewportExt,
                       kExcludeClipRect,
                       kIntersectClipRect,
                       kEllipse,
                       kFloodFill,
                       kRectangle,
                       kSetPixel,
                       kFrameRegion,
                       kAnimatePalette,
                       kTextOut,
                       kPolyPolygon,
                       kExtFloodFill,
                       kRoundRect,
                       kPatBlt,
                       kEscape,
                       kCreateRegion,
                       kArc,
                       kPie,
                       kChord,
                       kBitBlt,
                       kDibBitBlt,
                       kExtTextOut,
                       kStretchBlt,
                       kDibStretchBlt,
                       kSetDibToDev,
                       kStretchDib,
                       kCreatePalette,
                       kSaveDc})
      t[f & 0xFF] = f;
    return t;
  }();
  return table[stored & 0xFF];
}

bool isDrawing(Function f) {
  switch (f) {
    case kLineTo:
    case kPolygon:
    case kPolyline:
    case kPolyPolygon:
    case kRectangle:
    case kEllipse:
    case kRoundRect:
    case kArc:
    case kPie:
    case kChord:
    case kSetPixel:
    case kTextOut:
    case kExtTextOut:
    case kPatBlt:
    case kBitBlt:
    case kStretchBlt:
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev:
    case kFillRegion:
    case kFrameRegion:
    case kPaintRegion:
    case kInvertRegion:
      return true;
    default:
      return false;
  }
}

bool validHeader(const char* p) {
  const quint16 type = le16(p), headerWords = le16(p + 2), version = le16(p + 4);
  return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

// The rectangle between two edges given in either order; right and bottom exclusive, as GDI's are.
QRect rectFromEdges(int left, int top, int right, int bottom) {
  return QRect(std::min(left, right), std::min(top, bottom), std::abs(right - left), std::abs(bottom - top));
}

}  // namespace

void applyMapping(Mapping& m, const Document& doc, const Record& r) {
  const auto s = [&](quint32 i) { return double(doc.s16(r, i)); };
  const Function f = r.function;
  switch (f) {
    case kSetMapMode:
      if (doc.u16(r, 0) >= kMmText && doc.u16(r, 0) <= kMmAnisotropic) m.mode = doc.u16(r, 0);
      break;
    case kSetWindowOrg:
      m.windowOrg = QPointF(s(1), s(0));
      break;
    case kSetWindowExt:
      if (s(0) != 0 && s(1) != 0) m.windowExt = QSizeF(s(1), s(0));
      break;
    case kSetViewportOrg:
      m.viewportOrg = QPointF(s(1), s(0));
      break;
    case kSetViewportExt:
      if (s(0) != 0 && s(1) != 0) m.viewportExt = QSizeF(s(1), s(0));
      break;
    case kOffsetWindowOrg:
      m.windowOrg += QPointF(s(1), s(0));
      break;
    case kOffsetViewportOrg:
      m.viewportOrg += QPointF(s(1), s(0));
      break;
    case kScaleWindowExt:
    case kScaleViewportExt: {
      // yDenom, yNum, xDenom, xNum
      if (s(0) == 0 || s(2) == 0) break;
      QSizeF& ext = f == kScaleWindowExt ? m.windowExt : m.viewportExt;
      const QSizeF scaled(ext.width() * s(3) / s(2), ext.height() * s(1) / s(0));
      if (scaled.width() != 0 && scaled.height() != 0) ext = scaled;
      break;
    }
    default:
      break;
  }
}

namespace {

// The mapping the first `count` records leave from `start`, SaveDC and RestoreDC followed; `windowSet` (if
// given) tells whether one of them set the window's extent.
Mapping replayMapping(Mapping start, const Document& doc, size_t count, bool* windowSet) {
  std::vector<Mapping> saved;
  for (size_t i = 0; i < count; ++i) {
    const Record& r = doc.records()[i];
    if (r.function == kSaveDc) {
      if (saved.size() < kMaxSavedMappings) saved.push_back(start);
    } else if (r.function == kRestoreDc) {
      if (!saved.empty()) {
        start = saved.back();
        saved.pop_back();
      }
    } else {
      applyMapping(start, doc, r);
      if (windowSet) *windowSet = *windowSet || r.function == kSetWindowExt;
    }
  }
  return start;
}

}  // namespace

namespace {

// A device-independent bitmap inside a record, decoded.
struct Dib {
  QImage image;
  bool topDown = false;
};

}  // namespace

class Parser {
 public:
  explicit Parser(const QByteArray& data) : doc_(std::make_shared<Document>()) {
    doc_->data_ = data;
    doc_->bytes_ = doc_->data_.constData();
  }

  std::shared_ptr<const Document> run();

 private:
  bool readRecord(Record& r);  // false: the record lies
  bool readPoly(Record& r);
  bool readPolyPolygon(Record& r);
  // Points of one or more polylines/polygons, counts[i] of them for each, from word at on.
  void readShape(Record& r, std::vector<quint32> counts, quint32 at);
  bool readTextOut(Record& r);
  bool readExtTextOut(Record& r);
  bool readRegion(Record& r);
  bool readFont(Record& r);
  bool readPalette(Record& r);
  bool readBlit(Record& r);
  void readDibPatternBrush(Record& r);
  void readPatternBrush(Record& r);
  std::optional<Dib> decodeDib(quint32 byteOffset, quint32 byteCount, quint16 usage, int rowsPresent = 0);
  std::optional<QImage> decodeBitmap16(const char* p, qint64 size, int rowBytes = 0);
  const char* data(const Record& r, quint32 word) const {
    return doc_->data_.constData() + r.offset + 2 * word;
  }
  template <typename T>
  int addObject(T&& object) {
    doc_->objects_.emplace_back(std::in_place_type<std::decay_t<T>>, std::forward<T>(object));
    return int(doc_->objects_.size() - 1);
  }
  // Grows the extent of the drawing by a rectangle (lines have no area, so QRect::united would drop them).
  void include(double left, double top, double right, double bottom) {
    if (!haveExtent_) {
      extent_ = QRectF(QPointF(left, top), QPointF(right, bottom));
      haveExtent_ = true;
      return;
    }
    extent_.setLeft(std::min(extent_.left(), left));
    extent_.setTop(std::min(extent_.top(), top));
    extent_.setRight(std::max(extent_.right(), right));
    extent_.setBottom(std::max(extent_.bottom(), bottom));
  }
  void include(const QRect& r) {
    if (!r.isNull()) include(r.x(), r.y(), r.x() + r.width(), r.y() + r.height());
  }
  void include(const QPoint& p) { include(p.x(), p.y(), p.x(), p.y()); }
  bool placeFrame();

  qint16 s(const Record& r, quint32 i) const { return doc_->s16(r, i); }
  quint16 u(const Record& r, quint32 i) const { return doc_->u16(r, i); }

  std::shared_ptr<Document> doc_;
  QRect placeableBox_;
  int unitsPerInch_ = 0;
  QRectF extent_;  // everything the drawing records touch, logical
  bool haveExtent_ = false;
  size_t firstDrawing_ = std::numeric_limits<size_t>::max();
  qint64 bitmapPixels_ = 0;
  std::vector<QRgb> lastPalette_;
};

std::shared_ptr<const Document> Parser::run() {
  const QByteArray& data = doc_->data_;
  const char* p = data.constData();
  qint64 at = 0;
  if (data.size() >= kPlaceableHeaderBytes && le32(p) == kPlaceableKey) {
    const qint16 left = qint16(le16(p + 6)), top = qint16(le16(p + 8));
    const qint16 right = qint16(le16(p + 10)), bottom = qint16(le16(p + 12));
    unitsPerInch_ = le16(p + 14);
    placeableBox_ = rectFromEdges(left, top, right, bottom);
    doc_->placeable_ = true;
    at = kPlaceableHeaderBytes;
  }
  if (data.size() < at + kHeaderBytes || !validHeader(p + at)) return nullptr;
  doc_->objectCount_ = le16(p + at + 10);
  at += 2 * qint64(le16(p + at + 2));

  while (at + 6 <= data.size()) {
    const quint32 sizeWords = le32(p + at);
    const quint16 stored = le16(p + at + 4);
    if (sizeWords < 3 || qint64(sizeWords) * 2 > data.size() - at) {
      doc_->truncated_ = true;
      break;
    }
    if (stored == kEof) break;
    const quint32 function = canonical(stored);
    if (function != kNoFunction) {
      Record r;
      r.function = Function(function);
      r.offset = quint32(at + 6);
      r.words = sizeWords - 3;
      if (!readRecord(r)) {
        doc_->truncated_ = true;
        break;
      }
      if (r.function != kEof) {  // kEof now: nothing to play
        if (isDrawing(r.function) && firstDrawing_ == std::numeric_limits<size_t>::max())
          firstDrawing_ = doc_->records_.size();
        doc_->records_.push_back(r);
        if (int(doc_->records_.size()) >= kMaxRecords) break;
      }
    }
    at += qint64(sizeWords) * 2;
  }
  if (!placeFrame()) return nullptr;
  return doc_;
}

// Works out the frame: the logical rectangle the picture shows and the natural pixels it covers.
bool Parser::placeFrame() {
  Document& d = *doc_;
  // The mapping the records set up before they first draw.
  const size_t firstDrawing = std::min(firstDrawing_, d.records_.size());
  bool windowSet = false;
  const Mapping fileMapping = replayMapping(Mapping{}, d, firstDrawing, &windowSet);
  const bool scaledMode = fileMapping.mode == kMmAnisotropic || fileMapping.mode == kMmIsotropic;
  double unitScale = 1.0;  // natural pixels per logical unit in a fixed mapping mode
  switch (fileMapping.mode) {
    case kMmLoMetric:
      unitScale = kDpi / 254.0;
      break;
    case kMmHiMetric:
      unitScale = kDpi / 2540.0;
      break;
    case kMmLoEnglish:
      unitScale = kDpi / 100.0;
      break;
    case kMmHiEnglish:
      unitScale = kDpi / 1000.0;
      break;
    case kMmTwips:
      unitScale = kDpi / 1440.0;
      break;
    default:
      break;
  }

  QRectF logical;
  QSizeF natural;
  const bool usePlaceable =
      d.placeable_ && placeableBox_.width() > 0 && placeableBox_.height() > 0 && unitsPerInch_ > 0;
  if (usePlaceable) {
    logical = QRectF(placeableBox_.topLeft(), QSizeF(placeableBox_.width(), placeableBox_.height()));
    natural = logical.size() * (kDpi / unitsPerInch_);
  } else if (windowSet && scaledMode) {
    logical = QRectF(fileMapping.windowOrg, fileMapping.windowExt).normalized();
    natural = logical.size();
  } else {
    if (!haveExtent_ || extent_.width() <= 0 || extent_.height() <= 0) return false;
    logical = extent_;
    natural = logical.size() * unitScale;
  }
  if (!(natural.width() > 0) || !(natural.height() > 0)) natural = QSizeF(1, 1);

  // The player's own setting, before the records change it: the window on the frame, the viewport on the
  // natural pixels.
  d.initialMapping_ = Mapping{kMmAnisotropic, logical.topLeft(), logical.size(), QPointF(0, 0), natural};
  const Mapping atFirstDrawing = replayMapping(d.initialMapping_, d, firstDrawing, nullptr);
  QRectF frame = logicalToNatural(atFirstDrawing).mapRect(logical);
  const bool sane = std::isfinite(frame.left()) && std::isfinite(frame.top()) &&
                    std::isfinite(frame.width()) && std::isfinite(frame.height()) && frame.width() > 1e-6 &&
                    frame.height() > 1e-6 && frame.width() < 1e9 && frame.height() < 1e9;
  if (!sane) frame = QRectF(QPointF(0, 0), natural);
  d.frame_ = frame;

  QSizeF size = usePlaceable ? natural : frame.size();
  const double longest = std::max(size.width(), size.height());
  if (longest > kMaxSide) size *= kMaxSide / longest;
  d.size_ = QSize(std::clamp(int(std::lround(size.width())), 1, kMaxSide),
                  std::clamp(int(std::lround(size.height())), 1, kMaxSide));
  return true;
}

bool Parser::readRecord(Record& r) {
  const auto need = [&r](quint32 words) { return r.words >= words; };
  switch (r.function) {
    case kSaveDc:
    case kRealizePalette:
      return true;
    case kSetBkMode:
    case kSetMapMode:
    case kSetRop2:
    case kSetPolyFillMode:
    case kSetTextCharExtra:
    case kRestoreDc:
    case kSetTextAlign:
    case kSelectObject:
    case kDeleteObject:
    case kSelectClipRegion:
    case kSelectPalette:
    case kInvertRegion:
    case kPaintRegion:
      return need(1);
    case kSetBkColor:
    case kSetTextColor:
    case kSetWindowOrg:
    case kSetWindowExt:
    case kSetViewportOrg:
    case kSetViewportExt:
    case kOffsetWindowOrg:
    case kOffsetViewportOrg:
    case kOffsetClipRgn:
    case kFillRegion:
      return need(2);
    case kMoveTo:
    case kLineTo:
      if (!need(2)) return false;
      include(QPoint(s(r, 1), s(r, 0)));
      return true;
    case kScaleWindowExt:
    case kScaleViewportExt:
    case kExcludeClipRect:
    case kIntersectClipRect:
    case kFrameRegion:
      return need(4);
    case kEllipse:
    case kRectangle:
      if (!need(4)) return false;
      r.bounds = rectFromEdges(s(r, 3), s(r, 2), s(r, 1), s(r, 0));
      include(r.bounds);
      return true;
    case kSetPixel:
      if (!need(4)) return false;
      r.bounds = QRect(s(r, 3), s(r, 2), 1, 1);
      include(r.bounds);
      return true;
    case kRoundRect:
      if (!need(6)) return false;
      r.bounds = rectFromEdges(s(r, 5), s(r, 4), s(r, 3), s(r, 2));
      include(r.bounds);
      return true;
    case kArc:
    case kPie:
    case kChord:
      if (!need(8)) return false;
      r.bounds = rectFromEdges(s(r, 7), s(r, 6), s(r, 5), s(r, 4));
      include(r.bounds);
      return true;
    case kPolygon:
    case kPolyline:
      return readPoly(r);
    case kPolyPolygon:
      return readPolyPolygon(r);
    case kTextOut:
      return readTextOut(r);
    case kExtTextOut:
      return readExtTextOut(r);
    case kCreatePenIndirect: {
      if (!need(5)) return false;
      r.payload = addObject(Pen{u(r, 0), s(r, 1), doc_->u32(r, 3)});
      return true;
    }
    case kCreateBrushIndirect: {
      if (!need(4)) return false;
      Brush brush;
      brush.style = u(r, 0);
      brush.color = doc_->u32(r, 1);
      brush.hatch = u(r, 3);
      // The pattern styles need a bitmap this record cannot carry: GDI makes them solid.
      if (brush.style != kBsSolid && brush.style != kBsNull && brush.style != kBsHatched)
        brush.style = kBsSolid;
      r.payload = addObject(brush);
      return true;
    }
    case kCreateFontIndirect:
      return readFont(r);
    case kCreatePalette:
      return readPalette(r);
    case kCreateRegion:
      return readRegion(r);
    case kDibCreatePatternBrush:
      if (!need(2)) return false;
      readDibPatternBrush(r);
      return true;
    case kCreatePatternBrush:
      if (!need(16)) return false;
      readPatternBrush(r);
      return true;
    case kPatBlt:
    case kBitBlt:
    case kStretchBlt:
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev:
      return readBlit(r);
    default:
      // Known but without effect on a picture (palette animation, escapes, flood fills, layout flags).
      r.function = kEof;
      return true;
  }
}

bool Parser::readPoly(Record& r) {
  if (r.words < 1) return false;
  const int count = s(r, 0);
  if (count < 0 || r.words < 1 + 2 * quint32(count)) return false;
  readShape(r, {quint32(count)}, 1);
  return true;
}

bool Parser::readPolyPolygon(Record& r) {
  if (r.words < 1) return false;
  const quint32 polygons = u(r, 0);
  if (r.words < 1 + polygons) return false;
  quint64 total = 0;
  std::vector<quint32> counts;
  counts.reserve(polygons);
  for (quint32 i = 0; i < polygons; ++i) {
    counts.push_back(u(r, 1 + i));
    total += counts.back();
  }
  if (quint64(r.words) < 1 + polygons + 2 * total) return false;
  readShape(r, std::move(counts), 1 + polygons);
  return true;
}

void Parser::readShape(Record& r, std::vector<quint32> counts, quint32 at) {
  Shape shape;
  shape.firstPoint = quint32(doc_->points_.size());
  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
  bool any = false;
  for (const quint32 count : counts) {
    for (quint32 k = 0; k < count; ++k, at += 2) {
      const QPoint pt(s(r, at), s(r, at + 1));
      doc_->points_.push_back(pt);
      minX = std::min(minX, pt.x());
      maxX = std::max(maxX, pt.x());
      minY = std::min(minY, pt.y());
      maxY = std::max(maxY, pt.y());
      any = true;
    }
  }
  shape.counts = std::move(counts);
  if (any) r.bounds = rectFromEdges(minX, minY, maxX, maxY);
  include(r.bounds);
  doc_->shapes_.push_back(std::move(shape));
  r.payload = int(doc_->shapes_.size() - 1);
}

bool Parser::readTextOut(Record& r) {
  if (r.words < 1) return false;
  const int length = s(r, 0);
  if (length < 0) return false;
  const quint32 stringWords = (quint32(length) + 1) / 2;
  if (r.words < 1 + stringWords + 2) return false;
  Text text;
  text.origin = QPoint(s(r, 2 + stringWords), s(r, 1 + stringWords));
  text.bytes = doc_->data_.mid(r.offset + 2, std::min(length, kMaxTextBytes));
  include(text.origin);
  doc_->texts_.push_back(std::move(text));
  r.payload = int(doc_->texts_.size() - 1);
  return true;
}

bool Parser::readExtTextOut(Record& r) {
  if (r.words < 4) return false;
  const int length = s(r, 2);
  if (length < 0) return false;
  Text text;
  text.origin = QPoint(s(r, 1), s(r, 0));
  text.options = u(r, 3);
  const quint32 stringWords = (quint32(length) + 1) / 2;
  quint32 at = 4;
  if (text.options & (kEtoOpaque | kEtoClipped)) {
    // Some writers set the flags without writing the rectangle; the length tells.
    if (r.words >= 4 + 4 + stringWords) {
      text.rect = QRect(QPoint(s(r, 4), s(r, 5)), QPoint(s(r, 6), s(r, 7)));
      at += 4;
    } else {
      text.options &= ~(kEtoOpaque | kEtoClipped);
    }
  }
  if (r.words < at + stringWords) return false;
  const int kept = std::min(length, kMaxTextBytes);
  text.bytes = doc_->data_.mid(r.offset + 2 * at, kept);
  const quint32 after = at + stringWords;
  if (length > 0 && r.words >= after + quint32(length)) {
    text.dx.reserve(size_t(kept));
    for (int i = 0; i < kept; ++i) text.dx.push_back(s(r, after + quint32(i)));
  }
  include(text.origin);
  doc_->texts_.push_back(std::move(text));
  r.payload = int(doc_->texts_.size() - 1);
  return true;
}

bool Parser::readFont(Record& r) {
  if (r.words < 9) return false;
  const char* p = doc_->data_.constData() + r.offset;
  Font font;
  font.height = s(r, 0);
  font.width = s(r, 1);
  font.escapement = s(r, 2);
  font.weight = s(r, 4);
  font.italic = p[10] != 0;
  font.underline = p[11] != 0;
  font.strikeOut = p[12] != 0;
  font.charSet = quint8(p[13]);
  font.pitchAndFamily = quint8(p[17]);
  const int nameBytes = std::min<int>(kFaceNameBytes, int(r.words - 9) * 2);
  const char* name = p + 18;
  font.faceName = QByteArray(name, int(std::find(name, name + nameBytes, '\0') - name));
  r.payload = addObject(std::move(font));
  return true;
}

bool Parser::readPalette(Record& r) {
  if (r.words < 2) return false;
  const quint32 entries = u(r, 1);
  if (r.words < 2 + 2 * entries) return false;
  Palette palette;
  const char* p = doc_->data_.constData() + r.offset + 4;
  for (quint32 i = 0; i < entries; ++i, p += 4)
    palette.colors.push_back(qRgb(uchar(p[3]), uchar(p[2]), uchar(p[1])));
  lastPalette_ = palette.colors;
  r.payload = addObject(std::move(palette));
  return true;
}

bool Parser::readRegion(Record& r) {
  if (r.words < 11) return false;
  const int scans = s(r, 5);
  if (scans < 0) return false;
  Region region;
  region.bounds = rectFromEdges(s(r, 7), s(r, 8), s(r, 9), s(r, 10));
  quint32 at = 11;
  for (int i = 0; i < scans; ++i) {
    if (r.words < at + 3) return false;
    const quint32 count = u(r, at);
    if (count % 2 != 0 || r.words < at + 4 + count) return false;
    const int top = s(r, at + 1), bottom = s(r, at + 2);
    for (quint32 k = 0; k < count; k += 2) {
      const int left = s(r, at + 3 + k), right = s(r, at + 4 + k);
      if (right > left && bottom > top && int(region.rects.size()) < kMaxRegionRects)
        region.rects.emplace_back(left, top, right - left, bottom - top);
    }
    at += 4 + count;
  }
  r.payload = addObject(std::move(region));
  return true;
}

std::optional<Dib> Parser::decodeDib(quint32 byteOffset, quint32 byteCount, quint16 usage, int rowsPresent) {
  const QByteArray& data = doc_->data_;
  if (byteCount < 12 || qint64(byteOffset) + byteCount > data.size()) return std::nullopt;
  QByteArray bytes = QByteArray::fromRawData(data.constData() + byteOffset, qsizetype(byteCount));
  const quint32 infoSize = le32(bytes.constData());
  if (infoSize < 12 || infoSize > byteCount) return std::nullopt;
  const bool core = infoSize == 12;
  if (!core && infoSize < 40) return std::nullopt;

  if (rowsPresent > 0) {
    // SetDIBitsToDevice carries only the scan lines it draws; the header still counts all of them.
    bytes.detach();
    if (core) {
      qToLittleEndian<quint16>(quint16(std::min(rowsPresent, 32767)), bytes.data() + 6);
    } else {
      const qint32 height = qFromLittleEndian<qint32>(bytes.constData() + 8);
      qToLittleEndian<qint32>(height < 0 ? -rowsPresent : rowsPresent, bytes.data() + 8);
    }
  }

  const int bits = le16(bytes.constData() + (core ? 10 : 14));
  if (usage == kDibPalColors && bits >= 1 && bits <= 8) {
    // The colour table holds 16-bit indexes into the palette instead of colours: put colours there.
    const quint32 used = core ? 0 : le32(bytes.constData() + 32);
    const quint32 entries = used ? std::min<quint32>(used, 256) : (1u << bits);
    const int entryBytes = core ? 3 : 4;
    if (qint64(infoSize) + 2 * entries > byteCount) return std::nullopt;
    QByteArray rebuilt = bytes.left(qsizetype(infoSize));
    for (quint32 i = 0; i < entries; ++i) {
      const quint16 index = le16(bytes.constData() + infoSize + 2 * i);
      const QRgb c = index < lastPalette_.size() ? lastPalette_[index] : qRgb(index & 1 ? 255 : 0, 0, 0);
      const char entry[4] = {char(qBlue(c)), char(qGreen(c)), char(qRed(c)), 0};
      rebuilt.append(entry, entryBytes);
    }
    rebuilt.append(bytes.mid(qsizetype(infoSize + 2 * entries)));
    bytes = rebuilt;
  }

  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;
  const std::optional<dib::Header> header = dib::readHeader(buffer, false);
  if (!header) return std::nullopt;
  const qint64 pixels = qint64(header->size().width()) * header->size().height();
  if (pixels > kMaxBitmapPixels || bitmapPixels_ + pixels > kMaxTotalBitmapPixels) return std::nullopt;
  // A bitmap inside a record is whole: the record says how long it is. Run-length data cannot stand for
  // more than a few hundred pixels a byte in a real picture, so a few bytes never make a huge bitmap.
  const qint64 stored = bytes.size() - header->pixelOffset;
  if (stored <= 0) return std::nullopt;
  if (header->compression == dib::kRle8 || header->compression == dib::kRle4) {
    if (pixels > kRunLengthPixelsFree + kRunLengthPixelsPerByte * stored) return std::nullopt;
  } else if (header->stride() * (header->size().height() - 1) +
                 (qint64(header->width) * header->bitCount + 7) / 8 >
             stored) {
    return std::nullopt;  // the last row may go without its padding
  }
  bitmapPixels_ += pixels;
  QImage image = dib::read(buffer, *header);
  if (image.isNull()) return std::nullopt;
  // One format for everything the renderer blends: opaque where the bitmap has no alpha.
  image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                        : QImage::Format_RGB32);
  return Dib{std::move(image), header->height < 0};
}

// A device-dependent bitmap (Bitmap16) at `p`: only the monochrome kind means the same on every device. Rows
// are `rowBytes` apart, or as many as the header says.
std::optional<QImage> Parser::decodeBitmap16(const char* p, qint64 size, int rowBytes) {
  constexpr qint64 kBitsAt = 14;
  if (size < kBitsAt) return std::nullopt;
  const int width = qint16(le16(p + 2)), height = qint16(le16(p + 4));
  const int widthBytes = rowBytes > 0 ? rowBytes : qint16(le16(p + 6));
  const int planes = uchar(p[8]), bitsPixel = uchar(p[9]);
  if (planes != 1 || bitsPixel != 1 || width <= 0 || height <= 0 || widthBytes < (width + 7) / 8)
    return std::nullopt;
  const qint64 pixels = qint64(width) * height;
  if (pixels > kMaxBitmapPixels || bitmapPixels_ + pixels > kMaxTotalBitmapPixels) return std::nullopt;
  if (kBitsAt + qint64(widthBytes) * height > size) return std::nullopt;
  bitmapPixels_ += pixels;
  QImage image(width, height, QImage::Format_Mono);
  if (image.isNull()) return std::nullopt;
  image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  for (int y = 0; y < height; ++y)
    std::memcpy(image.scanLine(y), p + kBitsAt + qint64(y) * widthBytes, size_t((width + 7) / 8));
  return image;
}

void Parser::readDibPatternBrush(Record& r) {
  Brush brush;
  brush.style = kBsNull;
  const quint16 style = u(r, 0);
  const quint16 usage = style == kBsPattern ? quint16(kDibRgbColors) : u(r, 1);
  if (std::optional<Dib> dib = decodeDib(r.offset + 4, (r.words - 2) * 2, usage)) {
    if (dib->image.width() <= kMaxPatternSide && dib->image.height() <= kMaxPatternSide) {
      brush.style = kBsDibPatternPt;
      brush.pattern = std::move(dib->image);
    }
  }
  r.payload = addObject(std::move(brush));
}

void Parser::readPatternBrush(Record& r) {
  // A partial Bitmap16 (14 bytes) and 18 reserved bytes, then the bits, in rows padded to 16 bits.
  Brush brush;
  brush.style = kBsNull;
  const char* p = doc_->data_.constData() + r.offset;
  const QByteArray bitmap = QByteArray(p, 14) + QByteArray(p + 32, qsizetype(r.words - 16) * 2);
  const int width = qint16(le16(p + 2)), height = qint16(le16(p + 4));
  if (width > 0 && height > 0 && width <= kMaxPatternSide && height <= kMaxPatternSide) {
    if (std::optional<QImage> image =
            decodeBitmap16(bitmap.constData(), bitmap.size(), ((width + 15) / 16) * 2)) {
      brush.style = kBsPattern;
      brush.mono = true;
      brush.pattern = std::move(*image);
    }
  }
  r.payload = addObject(std::move(brush));
}

bool Parser::readBlit(Record& r) {
  Blit blit;
  // The blits without a bitmap are the ones whose size is exactly their fixed fields.
  const quint32 w = r.words;
  const auto rect = [](int x, int y, int width, int height) { return QRectF(x, y, width, height); };
  switch (r.function) {
    case kPatBlt:
      if (w < 6) return false;
      blit.rop = doc_->u32(r, 0);
      blit.dest = rect(s(r, 5), s(r, 4), s(r, 3), s(r, 2));
      break;
    case kBitBlt:
    case kDibBitBlt: {
      if (w < 8) return false;
      blit.rop = doc_->u32(r, 0);
      if (w == 9) {  // without bitmap: a reserved word after the source position
        blit.dest = rect(s(r, 8), s(r, 7), s(r, 6), s(r, 5));
        break;
      }
      const int ySrc = s(r, 2), xSrc = s(r, 3), height = s(r, 4), width = s(r, 5);
      blit.dest = rect(s(r, 7), s(r, 6), width, height);
      if (r.function == kDibBitBlt) {
        if (std::optional<Dib> dib = decodeDib(r.offset + 16, (w - 8) * 2, kDibRgbColors))
          blit.image = std::move(dib->image);
      } else if (std::optional<QImage> image = decodeBitmap16(data(r, 8), (w - 8) * 2)) {
        blit.image = std::move(*image);
      }
      if (blit.image.isNull()) {
        r.function = kEof;  // a bitmap this renderer cannot read: nothing to draw
        return true;
      }
      blit.source = rect(xSrc, ySrc, width, height);
      break;
    }
    case kStretchBlt:
    case kDibStretchBlt: {
      if (w < 10) return false;
      blit.rop = doc_->u32(r, 0);
      if (w == 11) {  // without bitmap
        blit.dest = rect(s(r, 10), s(r, 9), s(r, 8), s(r, 7));
        break;
      }
      blit.source = rect(s(r, 5), s(r, 4), s(r, 3), s(r, 2));
      blit.dest = rect(s(r, 9), s(r, 8), s(r, 7), s(r, 6));
      if (r.function == kDibStretchBlt) {
        if (std::optional<Dib> dib = decodeDib(r.offset + 20, (w - 10) * 2, kDibRgbColors))
          blit.image = std::move(dib->image);
      } else if (std::optional<QImage> image = decodeBitmap16(data(r, 10), (w - 10) * 2)) {
        blit.image = std::move(*image);
      }
      if (blit.image.isNull()) {
        r.function = kEof;
        return true;
      }
      break;
    }
    case kStretchDib: {
      if (w < 11) return false;
      blit.rop = doc_->u32(r, 0);
      const quint16 usage = u(r, 2);
      const int srcHeight = s(r, 3), srcWidth = s(r, 4), ySrc = s(r, 5), xSrc = s(r, 6);
      blit.dest = rect(s(r, 10), s(r, 9), s(r, 8), s(r, 7));
      std::optional<Dib> dib = decodeDib(r.offset + 22, (w - 11) * 2, usage);
      if (!dib) {
        r.function = kEof;
        return true;
      }
      // A bottom-up bitmap counts its source rows from the bottom.
      const int top = dib->topDown ? ySrc : dib->image.height() - ySrc - srcHeight;
      blit.source = rect(xSrc, top, srcWidth, srcHeight);
      blit.image = std::move(dib->image);
      break;
    }
    case kSetDibToDev: {
      if (w < 9) return false;
      const quint16 usage = u(r, 0);
      const int scans = u(r, 1), startScan = u(r, 2), yDib = s(r, 3), xDib = s(r, 4);
      const int height = s(r, 5), width = s(r, 6);
      blit.dest = rect(s(r, 8), s(r, 7), width, height);
      std::optional<Dib> dib = scans > 0 ? decodeDib(r.offset + 18, (w - 9) * 2, usage, scans) : std::nullopt;
      if (!dib) {
        r.function = kEof;
        return true;
      }
      // The rows held are the scan lines startScan.. counted from the bottom; the source rectangle too.
      const int top = dib->topDown ? yDib - startScan : startScan + dib->image.height() - yDib - height;
      blit.source = rect(xDib, top, width, height);
      blit.image = std::move(dib->image);
      break;
    }
    default:
      return false;
  }
  const QRectF d = blit.dest.normalized();
  r.bounds = QRect(int(d.left()), int(d.top()), int(d.width()), int(d.height()));
  include(r.bounds);
  doc_->blits_.push_back(std::move(blit));
  r.payload = int(doc_->blits_.size() - 1);
  return true;
}

QTransform logicalToNatural(const Mapping& m) {
  double sx = 1, sy = 1;
  switch (m.mode) {
    case kMmText:
      break;
    case kMmLoMetric:
      sx = kDpi / 254.0;
      sy = -sx;
      break;
    case kMmHiMetric:
      sx = kDpi / 2540.0;
      sy = -sx;
      break;
    case kMmLoEnglish:
      sx = kDpi / 100.0;
      sy = -sx;
      break;
    case kMmHiEnglish:
      sx = kDpi / 1000.0;
      sy = -sx;
      break;
    case kMmTwips:
      sx = kDpi / 1440.0;
      sy = -sx;
      break;
    case kMmIsotropic: {
      sx = m.viewportExt.width() / m.windowExt.width();
      sy = m.viewportExt.height() / m.windowExt.height();
      // Equal units both ways: the smaller scale wins, each axis keeps its direction.
      const double unit = std::min(std::abs(sx), std::abs(sy));
      sx = std::copysign(unit, sx);
      sy = std::copysign(unit, sy);
      break;
    }
    default:
      sx = m.viewportExt.width() / m.windowExt.width();
      sy = m.viewportExt.height() / m.windowExt.height();
      break;
  }
  return QTransform(sx, 0, 0, sy, m.viewportOrg.x() - m.windowOrg.x() * sx,
                    m.viewportOrg.y() - m.windowOrg.y() * sy);
}

bool Document::looksLikeMetafile(const QByteArray& head) {
  const char* p = head.constData();
  if (head.size() >= kPlaceableHeaderBytes + kHeaderBytes && le32(p) == kPlaceableKey)
    return validHeader(p + kPlaceableHeaderBytes);
  return head.size() >= kHeaderBytes && validHeader(p);
}

std::shared_ptr<const Document> Document::parse(const QByteArray& data) {
  try {
    return Parser(data).run();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace wmf
