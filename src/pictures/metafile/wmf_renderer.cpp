#include "pictures/metafile/wmf_renderer.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace wmf {
namespace {

// SaveDC levels kept; deeper ones are not saved.
constexpr size_t kMaxSavedStates = 1024;
// Object table slots; the header's count is only a hint, some writers get it wrong.
constexpr size_t kMaxObjects = 65535;
// The work one paint may do, in units of about one point of an outline (0.2 us here): a bound on what a
// small file can ask for, some three seconds. Everything drawn is counted at what it really costs, in the
// units below, measured against points.
constexpr qint64 kPaintBudget = 16000000;
// A record that draws anything: state changes, paths, the fill's set-up.
constexpr qint64 kDrawCost = 8;
// A string (laid out as a whole), and each of its glyphs.
constexpr qint64 kTextCost = 12;
constexpr qint64 kGlyphCost = 2;
// Device pixels a unit buys: solid fills are cheap, patterns, bitmaps and raster operations are not.
constexpr double kSolidPixelsPerUnit = 2048;
constexpr double kCostlyPixelsPerUnit = 128;
// Records played between two looks at the caller's cancellation check, and units spent at most between
// them (about 10 ms).
constexpr int kRecordsPerCheck = 256;
constexpr qint64 kUnitsPerCheck = 50000;
// Text taller than this many device pixels is left out: nobody reads it, and its glyphs cost.
constexpr double kMaxTextPixels = 16384;
// Text larger than this many device pixels (high, or wide when stretched) is drawn as outlines: FreeType
// fails on glyph bitmaps that large, and Qt does not take that well.
constexpr double kGlyphCachePixels = 256;
// A dashed outline of more dashes than this is drawn solid.
constexpr double kMaxDashes = 20000;
// Device coordinates beyond this are clipped by hand before Qt sees them.
constexpr double kHugeCoordinate = double(1 << 22);
// Device pixels as far as clipping goes: a rectangle that stands for the whole plane, small enough that
// integer regions can be moved around in it.
const QRectF kEverywhere(-double(1 << 24), -double(1 << 24), double(1 << 25), double(1 << 25));
// Pens up to this width in device pixels are drawn segment by segment.
constexpr double kFastStrokeWidth = 16;
// The widest pen drawn, in device pixels; with the pane (well below this) it stays inside kHugeCoordinate.
constexpr double kMaxPenWidth = double(1 << 20);
// Natural pixels per logical unit at most, and at least: a mapping outside draws nothing.
constexpr double kMaxScale = 1e6;
constexpr double kMinScale = 1e-7;
// GDI's default font cell height, in natural pixels.
constexpr double kDefaultFontCell = 16;

// The dash patterns of GDI's styled pens, in pixels of the natural size.
const std::array<QList<qreal>, 5> kDashes = {QList<qreal>{}, QList<qreal>{18, 6}, QList<qreal>{3, 3},
                                             QList<qreal>{9, 6, 3, 6}, QList<qreal>{9, 3, 3, 3, 3, 3}};

QColor rgb(quint32 colorRef) {
  return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

double horizontalScale(const QTransform& t) { return std::hypot(t.m11(), t.m12()); }
double verticalScale(const QTransform& t) { return std::hypot(t.m21(), t.m22()); }
bool axisAligned(const QTransform& t) { return t.m12() == 0 && t.m21() == 0; }

bool finite(const QRectF& r) {
  return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.width()) &&
         std::isfinite(r.height());
}

bool huge(const QRectF& r) {
  return !finite(r) || r.left() < -kHugeCoordinate || r.top() < -kHugeCoordinate ||
         r.right() > kHugeCoordinate || r.bottom() > kHugeCoordinate;
}

// Sutherland-Hodgman: the part of a polygon inside `box`.
QPolygonF clipPolygon(const QPolygonF& polygon, const QRectF& box) {
  QPolygonF result = polygon;
  for (int edge = 0; edge < 4 && !result.isEmpty(); ++edge) {
    const auto inside = [&](const QPointF& p) {
      switch (edge) {
        case 0:
          return p.x() >= box.left();
        case 1:
          return p.x() <= box.right();
        case 2:
          return p.y() >= box.top();
        default:
          return p.y() <= box.bottom();
      }
    };
    const auto cross = [&](const QPointF& a, const QPointF& b) {
      const double t = edge == 0   ? (box.left() - a.x()) / (b.x() - a.x())
                       : edge == 1 ? (box.right() - a.x()) / (b.x() - a.x())
                       : edge == 2 ? (box.top() - a.y()) / (b.y() - a.y())
                                   : (box.bottom() - a.y()) / (b.y() - a.y());
      return a + (b - a) * t;
    };
    const QPolygonF input = result;
    result.clear();
    for (qsizetype i = 0; i < input.size(); ++i) {
      const QPointF& current = input[i];
      const QPointF& previous = input[(i + input.size() - 1) % input.size()];
      if (inside(current)) {
        if (!inside(previous)) result.append(cross(previous, current));
        result.append(current);
      } else if (inside(previous)) {
        result.append(cross(previous, current));
      }
    }
  }
  return result;
}

// Liang-Barsky on each segment: the runs of a polyline inside `box`.
std::vector<QPolygonF> clipPolyline(const QPolygonF& line, const QRectF& box) {
  std::vector<QPolygonF> runs;
  QPolygonF run;
  for (qsizetype i = 0; i + 1 < line.size(); ++i) {
    const QPointF a = line[i], d = line[i + 1] - a;
    double t0 = 0, t1 = 1;
    bool visible = true;
    const double p[4] = {-d.x(), d.x(), -d.y(), d.y()};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y()};
    for (int k = 0; k < 4 && visible; ++k) {
      if (p[k] == 0) {
        visible = q[k] >= 0;
      } else {
        const double t = q[k] / p[k];
        if (p[k] < 0)
          t0 = std::max(t0, t);
        else
          t1 = std::min(t1, t);
        visible = t0 <= t1;
      }
    }
    if (!visible) {
      if (run.size() > 1) runs.push_back(run);
      run.clear();
      continue;
    }
    const QPointF from = a + d * t0, to = a + d * t1;
    if (run.isEmpty() || run.last() != from || t0 > 0) {
      if (run.size() > 1) runs.push_back(run);
      run = QPolygonF{from};
    }
    run.append(to);
    if (t1 < 1) {
      runs.push_back(run);
      run.clear();
    }
  }
  if (run.size() > 1) runs.push_back(run);
  return runs;
}

const char* codecName(quint8 charSet) {
  switch (charSet) {
    case kShiftJisCharset:
      return "Shift_JIS";
    case kHangulCharset:
    case kJohabCharset:
      return "windows-949";
    case kGb2312Charset:
      return "GBK";
    case kChineseBig5Charset:
      return "Big5";
    case kGreekCharset:
      return "windows-1253";
    case kTurkishCharset:
      return "windows-1254";
    case kVietnameseCharset:
      return "windows-1258";
    case kHebrewCharset:
      return "windows-1255";
    case kArabicCharset:
      return "windows-1256";
    case kBalticCharset:
      return "windows-1257";
    case kRussianCharset:
      return "windows-1251";
    case kThaiCharset:
      return "windows-874";
    case kEastEuropeCharset:
      return "windows-1250";
    case kMacCharset:
      return "macintosh";
    case kOemCharset:
      return "IBM437";
    case kSymbolCharset:
      return "ISO-8859-1";
    default:
      return "windows-1252";
  }
}

// True when `byte` starts a two-byte character in the code page of `charSet`.
bool leadByte(quint8 charSet, uchar byte) {
  switch (charSet) {
    case kShiftJisCharset:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case kHangulCharset:
    case kJohabCharset:
    case kGb2312Charset:
    case kChineseBig5Charset:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

QImage hatchTile(quint16 hatch, QRgb color, std::optional<QRgb> background) {
  QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
  tile.fill(background ? *background : 0u);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      bool on = false;
      switch (hatch) {
        case kHsHorizontal:
          on = y == 7;
          break;
        case kHsVertical:
          on = x == 7;
          break;
        case kHsFDiagonal:
          on = x == y;
          break;
        case kHsBDiagonal:
          on = x == 7 - y;
          break;
        case kHsCross:
          on = x == 7 || y == 7;
          break;
        default:
          on = x == y || x == 7 - y;
          break;
      }
      if (on) tile.setPixel(x, y, color);
    }
  return tile;
}

// The device context: what SaveDC keeps and RestoreDC brings back.
struct DcState {
  Mapping mapping;
  int pen = -1;  // object payloads; -1: the stock object
  int brush = -1;
  int font = -1;
  int palette = -1;
  quint16 bkMode = kOpaque;
  quint32 bkColor = 0xFFFFFF;
  quint32 textColor = 0;
  quint16 textAlign = 0;
  quint16 polyFillMode = kAlternate;
  quint16 rop2 = kR2CopyPen;
  int charExtra = 0;
  QPointF position;             // logical
  std::optional<QRegion> clip;  // device pixels; none: the whole picture
};

class Player {
 public:
  Player(const Document& doc, QPainter& painter, const QRectF& target, const QRect& exposed);
  ~Player() { painter_.restore(); }
  Played play(const std::function<bool()>& cancelled);

 private:
  void spend(qint64 units) { costLeft_ -= units; }
  // What filling `device` (device pixels) costs where it shows.
  qint64 fillCost(const QRectF& device, bool costly) const;
  qint64 fillCost(const QRectF& device, const QBrush& brush) const {
    return fillCost(device, brush.style() != Qt::SolidPattern ||
                                painter_.compositionMode() != QPainter::CompositionMode_SourceOver);
  }
  void record(const Record& r);
  // State
  void mappingChanged();
  void clipChanged();
  void createObject(const Record& r);
  void deleteObject(int slot);
  void selectObject(int slot);
  void restoreDc(int which);
  const Object* objectAt(int slot) const;
  QColor color(quint32 colorRef) const;
  // Drawing
  bool cull(const QRect& bounds, double margin) const;
  double penMargin() const;
  bool setRop2();
  QPen pen(double outlineLength);
  QBrush brush(const Brush* b);
  QBrush currentBrush();
  void finishDrawing();
  void stroke(const QPen& pen, const QPolygonF& points, bool closed);
  void drawPolygon(const QPolygonF& polygon, bool fill);
  void drawFigure(const QPainterPath& area, const QPainterPath& outline, bool fill);
  std::optional<std::pair<QRectF, QRectF>> figureRects(const QRectF& logical) const;
  QRectF edges(const Record& r, quint32 first) const;
  void drawRectangle(const Record& r);
  void drawEllipse(const Record& r);
  void drawRoundRect(const Record& r);
  void drawArc(const Record& r);
  void drawShape(const Record& r);
  void drawLineTo(const QPointF& to);
  void drawText(const Text& text, bool extended);
  void drawBlit(const Blit& blit);
  void fillDest(const QRectF& dest, int ropIndex);
  void fillDeviceRegion(const QRegion& region, const QBrush& brush, QPainter::CompositionMode mode);
  // The region on the device, cut to `bound`.
  QRegion deviceRegion(const Region& region, const QRectF& bound);
  QRectF deviceRect(const QRectF& logical) const;
  struct DeviceFont {
    QFont font;
    QFontMetricsF metrics;
    double em = 0;                    // device pixels
    double size = 0;                  // em or, stretched wider, the width of an em
    QHash<QString, double> advances;  // of the characters drawn so far
  };
  DeviceFont& font(const Font& f);
  QStringDecoder& decoder(quint8 charSet);
  // The character of bytes [at, at + n) of a string in `charSet`, `decode` already reset for the string.
  QString character(quint8 charSet, QStringDecoder& decode, const QByteArray& bytes, qsizetype at,
                    qsizetype n);

  const Document& doc_;
  QPainter& painter_;
  QTransform base_;       // natural pixels to device pixels
  QTransform toDevice_;   // logical units to device pixels
  double unit_ = 1;       // device pixels per natural pixel
  QPointF strokeOffset_;  // half a natural pixel right and down: GDI's pens run through pixel centres
  QRectF cull_;           // device pixels that need drawing
  QRectF visible_;        // `cull_`, narrowed by the metafile's own clipping
  bool mappingOk_ = true;
  bool rasterOps_ = false;
  DcState dc_;
  std::vector<DcState> saved_;
  std::vector<int> table_;  // object slots: payload indexes, -1 when free
  size_t firstFree_ = 0;    // no slot below this is free
  qint64 costLeft_ = kPaintBudget;
  QPolygonF points_;  // scratch
  std::map<int, QStringDecoder> decoders_;
  QHash<quint32, QString> characters_;  // single-byte code pages: charSet << 8 | byte
  std::map<std::pair<int, qint64>, DeviceFont> fonts_;
  std::vector<std::pair<QString, double>> glyphs_;  // scratch
};

Player::Player(const Document& doc, QPainter& painter, const QRectF& target, const QRect& exposed)
    : doc_(doc), painter_(painter) {
  const QRectF frame = doc.frame();
  const QTransform toTarget(target.width() / frame.width(), 0, 0, target.height() / frame.height(),
                            target.left() - frame.left() * target.width() / frame.width(),
                            target.top() - frame.top() * target.height() / frame.height());
  base_ = toTarget * painter.combinedTransform();
  unit_ = std::min(horizontalScale(base_), verticalScale(base_));
  strokeOffset_ = QPointF(0.5 * (base_.m11() + base_.m21()), 0.5 * (base_.m12() + base_.m22()));
  cull_ = QRectF(exposed) & base_.mapRect(frame);
  visible_ = cull_;
  rasterOps_ = painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
  table_.assign(std::min<size_t>(size_t(doc.objectCount()), kMaxObjects), -1);
  dc_.mapping = doc.initialMapping();

  painter_.save();
  painter_.resetTransform();
  painter_.setRenderHint(QPainter::Antialiasing, false);  // as GDI: adjacent shapes meet without seams
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setBackgroundMode(Qt::TransparentMode);
  mappingChanged();
}

Played Player::play(const std::function<bool()>& cancelled) {
  if (cull_.isEmpty()) return Played::Whole;
  int records = 0;
  qint64 checkedAt = costLeft_;
  for (const Record& r : doc_.records()) {
    if (costLeft_ <= 0) return Played::OverBudget;
    if (cancelled && (++records >= kRecordsPerCheck || checkedAt - costLeft_ >= kUnitsPerCheck)) {
      if (cancelled()) return Played::Cancelled;
      records = 0;
      checkedAt = costLeft_;
    }
    record(r);
  }
  return Played::Whole;
}

qint64 Player::fillCost(const QRectF& device, bool costly) const {
  const QRectF shown = device.normalized() & visible_;
  if (shown.isEmpty()) return 0;
  return qint64(shown.width() * shown.height() / (costly ? kCostlyPixelsPerUnit : kSolidPixelsPerUnit));
}

void Player::mappingChanged() {
  toDevice_ = logicalToNatural(dc_.mapping) * base_;
  const QTransform natural = logicalToNatural(dc_.mapping);
  const double sx = horizontalScale(natural), sy = verticalScale(natural);
  mappingOk_ = std::isfinite(sx) && std::isfinite(sy) && sx > kMinScale && sy > kMinScale && sx < kMaxScale &&
               sy < kMaxScale && std::isfinite(toDevice_.dx()) && std::isfinite(toDevice_.dy());
}

void Player::clipChanged() {
  painter_.restore();
  painter_.save();
  painter_.resetTransform();
  visible_ = cull_;
  if (dc_.clip) {
    spend(dc_.clip->rectCount());
    painter_.setClipRegion(*dc_.clip, Qt::IntersectClip);
    visible_ &= QRectF(dc_.clip->boundingRect());
  }
}

const Object* Player::objectAt(int slot) const {
  if (slot < 0 || size_t(slot) >= table_.size() || table_[size_t(slot)] < 0) return nullptr;
  return &doc_.objects()[size_t(table_[size_t(slot)])];
}

QColor Player::color(quint32 colorRef) const {
  // PALETTEINDEX: an entry of the selected palette.
  if ((colorRef >> 24) == 0x01 && dc_.palette >= 0) {
    if (const auto* palette = std::get_if<Palette>(&doc_.objects()[size_t(dc_.palette)])) {
      const quint32 index = colorRef & 0xFFFF;
      if (index < palette->colors.size()) return QColor(palette->colors[index]);
    }
  }
  return rgb(colorRef);
}

// A new object takes the lowest free slot, as the records that select it expect.
void Player::createObject(const Record& r) {
  while (firstFree_ < table_.size() && table_[firstFree_] >= 0) ++firstFree_;
  if (firstFree_ == table_.size()) {
    if (table_.size() >= kMaxObjects) return;
    table_.push_back(-1);
  }
  table_[firstFree_++] = r.payload;
}

void Player::deleteObject(int slot) {
  if (slot < 0 || size_t(slot) >= table_.size()) return;
  table_[size_t(slot)] = -1;
  firstFree_ = std::min(firstFree_, size_t(slot));
}

void Player::selectObject(int slot) {
  const Object* object = objectAt(slot);
  if (!object) return;
  const int payload = table_[size_t(slot)];
  if (std::holds_alternative<Pen>(*object)) {
    dc_.pen = payload;
  } else if (std::holds_alternative<Brush>(*object)) {
    dc_.brush = payload;
  } else if (std::holds_alternative<Font>(*object)) {
    dc_.font = payload;
  } else if (const auto* region = std::get_if<Region>(object)) {
    dc_.clip = deviceRegion(*region, kEverywhere);
    clipChanged();
  }
}

void Player::restoreDc(int which) {
  // Negative: that many levels back; positive: the which-th state saved.
  const qint64 index = which < 0 ? qint64(saved_.size()) + which : qint64(which) - 1;
  if (which == 0 || index < 0 || index >= qint64(saved_.size())) return;
  const bool clipDiffers = dc_.clip != saved_[size_t(index)].clip;
  dc_ = std::move(saved_[size_t(index)]);
  saved_.resize(size_t(index));
  mappingChanged();
  if (clipDiffers) clipChanged();
}

QRectF Player::deviceRect(const QRectF& logical) const { return toDevice_.mapRect(logical.normalized()); }

QRegion Player::deviceRegion(const Region& region, const QRectF& bound) {
  // Each rectangle added walks the region built so far.
  spend(qint64(region.rects.size()) * qint64(region.rects.size()) / 64);
  QRegion result;
  for (const QRect& r : region.rects) {
    const QRectF d = deviceRect(QRectF(r)) & bound;
    if (d.isEmpty()) continue;
    result += QRect(QPoint(int(std::lround(d.left())), int(std::lround(d.top()))),
                    QPoint(int(std::lround(d.right())) - 1, int(std::lround(d.bottom())) - 1));
  }
  return result;
}

bool Player::cull(const QRect& bounds, double margin) const {
  if (bounds.isNull()) return false;
  const QRectF device = toDevice_.mapRect(QRectF(bounds)).adjusted(-margin, -margin, margin, margin);
  return !device.intersects(visible_);
}

double Player::penMargin() const {
  const Pen* p = dc_.pen >= 0 ? std::get_if<Pen>(&doc_.objects()[size_t(dc_.pen)]) : nullptr;
  const double width = p ? std::abs(p->width) * horizontalScale(toDevice_) : 0;
  return std::min(std::max(width, unit_), kMaxPenWidth) * 2 + 2;
}

// Sets the composition mode for SetROP2; false when nothing is to be drawn.
bool Player::setRop2() {
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (dc_.rop2) {
    case kR2Nop:
      return false;
    case kR2NotMergePen:
      mode = QPainter::RasterOp_NotSourceAndNotDestination;
      break;
    case kR2MaskNotPen:
      mode = QPainter::RasterOp_NotSourceAndDestination;
      break;
    case kR2NotCopyPen:
      mode = QPainter::RasterOp_NotSource;
      break;
    case kR2MaskPenNot:
      mode = QPainter::RasterOp_SourceAndNotDestination;
      break;
    case kR2Not:
      mode = QPainter::RasterOp_NotDestination;
      break;
    case kR2XorPen:
      mode = QPainter::RasterOp_SourceXorDestination;
      break;
    case kR2NotMaskPen:
      mode = QPainter::RasterOp_NotSourceOrNotDestination;
      break;
    case kR2MaskPen:
      mode = QPainter::RasterOp_SourceAndDestination;
      break;
    case kR2NotXorPen:
      mode = QPainter::RasterOp_NotSourceXorDestination;
      break;
    case kR2MergeNotPen:
      mode = QPainter::RasterOp_NotSourceOrDestination;
      break;
    case kR2MergePenNot:
      mode = QPainter::RasterOp_SourceOrNotDestination;
      break;
    case kR2MergePen:
      mode = QPainter::RasterOp_SourceOrDestination;
      break;
    default:
      break;
  }
  if (!rasterOps_) mode = QPainter::CompositionMode_SourceOver;
  painter_.setCompositionMode(mode);
  return true;
}

// The selected pen in device pixels. `outlineLength` (device pixels) decides whether dashes are affordable.
QPen Player::pen(double outlineLength) {
  static const Pen kStockPen;
  const Pen* p = dc_.pen >= 0 ? std::get_if<Pen>(&doc_.objects()[size_t(dc_.pen)]) : nullptr;
  if (!p) p = &kStockPen;
  const int style = p->style & kPsStyleMask;
  if (style == kPsNull) return Qt::NoPen;

  QColor c = color(p->color);
  if (dc_.rop2 == kR2Black) c = Qt::black;
  if (dc_.rop2 == kR2White) c = Qt::white;
  // Never thinner than a natural pixel, so that the picture zoomed keeps its looks.
  const double width =
      std::min(std::max(std::abs(p->width) * horizontalScale(toDevice_), unit_), kMaxPenWidth);
  QPen pen(c, width <= 1 ? 0 : width);
  switch (p->style & kPsEndCapMask) {
    case kPsEndCapSquare:
      pen.setCapStyle(Qt::SquareCap);
      break;
    case kPsEndCapFlat:
      pen.setCapStyle(Qt::FlatCap);
      break;
    default:
      pen.setCapStyle(Qt::RoundCap);
      break;
  }
  switch (p->style & kPsJoinMask) {
    case kPsJoinBevel:
      pen.setJoinStyle(Qt::BevelJoin);
      break;
    case kPsJoinMiter:
      pen.setJoinStyle(Qt::MiterJoin);
      break;
    default:
      pen.setJoinStyle(Qt::RoundJoin);
      break;
  }
  // GDI dashes only pens of one device pixel; a picture zoomed keeps its dashes' proportions.
  if (style >= kPsDash && style <= kPsDashDotDot && width <= unit_ * 1.5) {
    double period = 0;
    QList<qreal> dashes;
    const double penUnit = std::max(width, 1.0);
    for (qreal length : kDashes[size_t(style)]) {
      dashes.append(std::max(length * unit_ / penUnit, 0.1));
      period += length * unit_;
    }
    if (outlineLength / period <= kMaxDashes) {
      pen.setDashPattern(dashes);
      painter_.setBackgroundMode(dc_.bkMode == kOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
      painter_.setBackground(color(dc_.bkColor));
    }
  }
  return pen;
}

QBrush Player::brush(const Brush* b) {
  static const Brush kStockBrush{kBsSolid, 0xFFFFFF, 0, QImage(), false};
  if (!b) b = &kStockBrush;
  if (dc_.rop2 == kR2Black) return QBrush(Qt::black);
  if (dc_.rop2 == kR2White) return QBrush(Qt::white);
  QImage tile;
  switch (b->style) {
    case kBsNull:
      return Qt::NoBrush;
    case kBsHatched:
      tile = hatchTile(b->hatch, color(b->color).rgba(),
                       dc_.bkMode == kOpaque ? std::optional<QRgb>(color(dc_.bkColor).rgba()) : std::nullopt);
      break;
    case kBsPattern:
    case kBsDibPattern:
    case kBsDibPatternPt:
      tile = b->pattern;
      if (b->mono) tile.setColorTable({color(dc_.textColor).rgba(), color(dc_.bkColor).rgba()});
      break;
    default:
      return QBrush(color(b->color));
  }
  if (tile.isNull()) return Qt::NoBrush;
  // Tiles are laid in natural pixels from the picture's corner, so they zoom and scroll with it.
  QBrush textured(tile);
  const QPointF origin = base_.map(doc_.frame().topLeft());
  textured.setTransform(
      QTransform(base_.m11(), base_.m12(), base_.m21(), base_.m22(), origin.x(), origin.y()));
  return textured;
}

QBrush Player::currentBrush() {
  return brush(dc_.brush >= 0 ? std::get_if<Brush>(&doc_.objects()[size_t(dc_.brush)]) : nullptr);
}

void Player::finishDrawing() {
  painter_.setBackgroundMode(Qt::TransparentMode);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Player::drawPolygon(const QPolygonF& polygon, bool fill) {
  spend(kDrawCost + polygon.size());
  const QRectF bounds = polygon.boundingRect();
  if (huge(bounds)) {
    // Far beyond the pane: keep what can show, with room for the pen so that no cut edge shows.
    const double margin = penMargin();
    const QRectF box = visible_.adjusted(-margin, -margin, margin, margin);
    if (huge(box)) return;
    if (fill) {
      const QPolygonF clipped = clipPolygon(polygon, box);
      if (clipped.size() > 2) drawPolygon(clipped, true);
    } else {
      for (const QPolygonF& run : clipPolyline(polygon, box)) drawPolygon(run, false);
    }
    return;
  }
  if (!setRop2()) return;
  double length = 0;
  if (fill) {
    length = 2 * (bounds.width() + bounds.height());
    const QBrush b = currentBrush();
    if (b.style() != Qt::NoBrush) {
      spend(fillCost(bounds, b));
      painter_.setPen(Qt::NoPen);
      painter_.setBrush(b);
      painter_.drawPolygon(polygon, dc_.polyFillMode == kWinding ? Qt::WindingFill : Qt::OddEvenFill);
    }
  } else {
    for (qsizetype i = 0; i + 1 < polygon.size(); ++i)
      length += std::hypot(polygon[i + 1].x() - polygon[i].x(), polygon[i + 1].y() - polygon[i].y());
  }
  const QPen p = pen(length);
  if (p.style() != Qt::NoPen) stroke(p, polygon, fill);
  finishDrawing();
}

// Strokes a run of points, half a natural pixel down and right. Pens up to kFastStrokeWidth are filled as one
// quadrilateral a segment, square-capped (Qt's stroker costs several times as much): their corners come out
// square where GDI rounds them, which at that width shows no more than a pixel. Filled rather than drawn as
// lines, they come out the same whatever part of them is exposed.
void Player::stroke(const QPen& pen, const QPolygonF& points, bool closed) {
  if (points.size() < 2) return;
  const double width = pen.widthF();
  if (width == 0 && pen.style() == Qt::CustomDashLine && !pen.dashPattern().isEmpty()) {
    // Qt restarts a thin pen's dashes where the device or the clip cuts the line, so tiles and exposed
    // strips would not meet: the dashes are laid out here, from the start of the line.
    const QList<qreal> dashes = pen.dashPattern();  // pixels, for a thin pen
    std::vector<QLineF> on, off;
    qsizetype dash = 0;
    double left = dashes.first();
    const qsizetype segments = closed && points.size() > 2 ? points.size() : points.size() - 1;
    for (qsizetype i = 0; i < segments; ++i) {
      const QPointF a = points[i], b = points[(i + 1) % points.size()];
      const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
      if (length <= 0) continue;
      const QPointF d = (b - a) / length;
      for (double at = 0; at < length;) {
        const double step = std::min(left, length - at);
        (dash % 2 == 0 ? on : off).emplace_back(a + d * at, a + d * (at + step));
        at += step;
        left -= step;
        if (left <= 0) {
          dash = (dash + 1) % dashes.size();
          left = dashes[dash];
        }
      }
    }
    spend(qint64(on.size() + off.size()));
    QPen solid = pen;
    solid.setStyle(Qt::SolidLine);
    painter_.setBrush(Qt::NoBrush);
    painter_.translate(strokeOffset_);
    if (painter_.backgroundMode() == Qt::OpaqueMode && !off.empty()) {
      QPen gap = solid;
      gap.setColor(painter_.background().color());
      painter_.setPen(gap);
      painter_.drawLines(off.data(), int(off.size()));
    }
    painter_.setPen(solid);
    if (!on.empty()) painter_.drawLines(on.data(), int(on.size()));
    painter_.resetTransform();
    return;
  }
  if (width == 0 || width > kFastStrokeWidth) {
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    painter_.translate(strokeOffset_);
    if (closed)
      painter_.drawPolygon(points);
    else
      painter_.drawPolyline(points);
    painter_.resetTransform();
    return;
  }
  QPainterPath on, off;
  on.setFillRule(Qt::WindingFill);
  off.setFillRule(Qt::WindingFill);
  const double half = width / 2;
  const auto quad = [half](QPainterPath& path, QPointF a, QPointF b, const QPointF& d, double cap) {
    const QPointF n(-d.y() * half, d.x() * half);
    a -= d * cap;
    b += d * cap;
    path.moveTo(a + n);
    path.lineTo(b + n);
    path.lineTo(b - n);
    path.lineTo(a - n);
    path.closeSubpath();
  };
  // Dashes in device pixels, and where in the pattern the line is.
  QList<qreal> dashes;
  if (pen.style() == Qt::CustomDashLine)
    for (qreal d : pen.dashPattern()) dashes.append(d * width);
  qsizetype dash = 0;
  double left = dashes.isEmpty() ? 0 : dashes.first();
  const qsizetype segments = closed && points.size() > 2 ? points.size() : points.size() - 1;
  double drawn = 0;  // device pixels of line
  for (qsizetype i = 0; i < segments; ++i) {
    const QPointF a = points[i] + strokeOffset_, b = points[(i + 1) % points.size()] + strokeOffset_;
    const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
    if (length <= 0) continue;
    drawn += length;
    const QPointF d = (b - a) / length;
    if (dashes.isEmpty()) {
      quad(on, a, b, d, half);
      continue;
    }
    for (double at = 0; at < length;) {
      const double step = std::min(left, length - at);
      quad(dash % 2 == 0 ? on : off, a + d * at, a + d * (at + step), d, 0);
      spend(1);
      at += step;
      left -= step;
      if (left <= 0) {
        dash = (dash + 1) % dashes.size();
        left = dashes[dash];
      }
    }
  }
  // Most of a long line is outside the pane, but its path is built all the same: counted whole.
  spend(qint64(std::min(drawn * width, 1e15) / kSolidPixelsPerUnit));
  if (!off.isEmpty() && dc_.bkMode == kOpaque) painter_.fillPath(off, color(dc_.bkColor));
  painter_.fillPath(on, pen.color());
}

void Player::drawFigure(const QPainterPath& area, const QPainterPath& outline, bool fill) {
  if (huge(area.controlPointRect()) || huge(outline.controlPointRect())) {
    // Flatten and clip: the curves of a figure this large are straight where they cross the pane.
    const double margin = penMargin();
    const QRectF box = visible_.adjusted(-margin, -margin, margin, margin);
    if (huge(box)) return;
    const auto flatten = [&](const QPainterPath& path, bool closed) {
      QPainterPath flat;
      flat.setFillRule(path.fillRule());
      for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        spend(polygon.size());
        if (closed) {
          const QPolygonF clipped = clipPolygon(polygon, box);
          if (clipped.size() < 3) continue;
          flat.addPolygon(clipped);
          flat.closeSubpath();
        } else {
          for (const QPolygonF& run : clipPolyline(polygon, box)) flat.addPolygon(run);
        }
      }
      return flat;
    };
    const QPainterPath flatArea = fill ? flatten(area, true) : QPainterPath();
    const QPainterPath flatOutline = flatten(outline, fill);
    if (huge(flatArea.controlPointRect()) || huge(flatOutline.controlPointRect())) return;
    drawFigure(flatArea, flatOutline, fill);
    return;
  }
  spend(kDrawCost + area.elementCount() + outline.elementCount());
  if (!setRop2()) return;
  if (fill && !area.isEmpty()) {
    const QBrush b = currentBrush();
    if (b.style() != Qt::NoBrush) {
      spend(fillCost(area.controlPointRect(), b));
      painter_.setPen(Qt::NoPen);
      painter_.setBrush(b);
      painter_.drawPath(area);
    }
  }
  const QRectF bounds = outline.controlPointRect();
  const QPen p = pen(2 * (bounds.width() + bounds.height()));
  if (p.style() != Qt::NoPen && !outline.isEmpty()) {
    if (p.widthF() > kFastStrokeWidth) {
      painter_.setPen(p);
      painter_.setBrush(Qt::NoBrush);
      painter_.translate(strokeOffset_);
      painter_.drawPath(outline);
      painter_.resetTransform();
    } else {
      for (const QPolygonF& run : outline.toSubpathPolygons()) stroke(p, run, false);
    }
  }
  finishDrawing();
}

// The device rectangle of a figure given by its edges, and the one its outline follows: GDI leaves the right
// and bottom edges out, so the outline runs a natural pixel inside them. Null without an axis-aligned
// mapping.
std::optional<std::pair<QRectF, QRectF>> Player::figureRects(const QRectF& logical) const {
  if (!axisAligned(toDevice_)) return std::nullopt;
  const QRectF area = deviceRect(logical);
  const double w = std::abs(base_.m11()), h = std::abs(base_.m22());
  QRectF outline = area.adjusted(0, 0, -w, -h);
  if (outline.width() < 0) outline.setWidth(0);
  if (outline.height() < 0) outline.setHeight(0);
  return std::make_pair(area, outline);
}

QRectF Player::edges(const Record& r, quint32 first) const {
  // left, top, right, bottom are stored last to first
  return QRectF(QPointF(doc_.s16(r, first + 3), doc_.s16(r, first + 2)),
                QPointF(doc_.s16(r, first + 1), doc_.s16(r, first)))
      .normalized();
}

void Player::drawRectangle(const Record& r) {
  const QRectF logical = edges(r, 0);
  QPainterPath area, outline;
  if (const auto rects = figureRects(logical)) {
    if (!huge(rects->first)) {
      // The common case without paths.
      spend(kDrawCost);
      if (!setRop2()) return;
      const QBrush b = currentBrush();
      if (b.style() != Qt::NoBrush) {
        spend(fillCost(rects->first, b));
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(b);
        painter_.drawRect(rects->first);
      }
      const QPen p = pen(2 * (rects->second.width() + rects->second.height()));
      if (p.style() != Qt::NoPen) stroke(p, QPolygonF(rects->second), true);
      finishDrawing();
      return;
    }
    area.addRect(rects->first);
    outline.addRect(rects->second);
  } else {
    area.addRect(logical);
    area = toDevice_.map(area);
    outline = area;
  }
  drawFigure(area, outline, true);
}

void Player::drawEllipse(const Record& r) {
  const QRectF logical = edges(r, 0);
  QPainterPath area, outline;
  if (const auto rects = figureRects(logical)) {
    area.addEllipse(rects->first);
    outline.addEllipse(rects->second);
  } else {
    area.addEllipse(logical);
    area = toDevice_.map(area);
    outline = area;
  }
  drawFigure(area, outline, true);
}

void Player::drawRoundRect(const Record& r) {
  const QRectF logical = edges(r, 2);
  const double rx = std::min(std::abs(doc_.s16(r, 1)) / 2.0, logical.width() / 2);
  const double ry = std::min(std::abs(doc_.s16(r, 0)) / 2.0, logical.height() / 2);
  QPainterPath area, outline;
  if (const auto rects = figureRects(logical)) {
    const double dx = rx * std::abs(toDevice_.m11()), dy = ry * std::abs(toDevice_.m22());
    area.addRoundedRect(rects->first, dx, dy);
    outline.addRoundedRect(rects->second, dx, dy);
  } else {
    area.addRoundedRect(logical, rx, ry);
    area = toDevice_.map(area);
    outline = area;
  }
  drawFigure(area, outline, true);
}

void Player::drawArc(const Record& r) {
  // yEnd, xEnd, yStart, xStart, then the bounding rectangle's edges
  const QRectF logical = edges(r, 4);
  if (logical.width() <= 0 || logical.height() <= 0) return;
  const QPointF start(doc_.s16(r, 3), doc_.s16(r, 2)), end(doc_.s16(r, 1), doc_.s16(r, 0));
  // Angles on the device, where GDI draws counter-clockwise; QPainterPath's count that way too.
  const auto rects = figureRects(logical);
  const auto figure = [&](const QRectF& rect, bool aligned) {
    const QPointF center = rect.center();
    const auto angle = [&](const QPointF& logicalPoint) {
      const QPointF p = aligned ? toDevice_.map(logicalPoint) : logicalPoint;
      return std::atan2(-(p.y() - center.y()) / rect.height(), (p.x() - center.x()) / rect.width()) * 180 /
             M_PI;
    };
    const double from = angle(start);
    double sweep = angle(end) - from;
    while (sweep <= 0) sweep += 360;
    QPainterPath path;
    if (rect.width() <= 0 || rect.height() <= 0) return path;
    if (r.function == kPie) {
      path.moveTo(center);
      path.arcTo(rect, from, sweep);
      path.closeSubpath();
    } else {
      path.arcMoveTo(rect, from);
      path.arcTo(rect, from, sweep);
      if (r.function == kChord) path.closeSubpath();
    }
    return aligned ? path : toDevice_.map(path);
  };
  if (rects)
    drawFigure(figure(rects->first, true), figure(rects->second, true), r.function != kArc);
  else
    drawFigure(figure(logical, false), figure(logical, false), r.function != kArc);
}

void Player::drawShape(const Record& r) {
  const Shape& shape = doc_.shape(r);
  const std::vector<QPoint>& all = doc_.points();
  if (r.function == kPolyPolygon) {
    // One fill over all the polygons, each outlined.
    QPainterPath path;
    path.setFillRule(dc_.polyFillMode == kWinding ? Qt::WindingFill : Qt::OddEvenFill);
    size_t at = shape.firstPoint;
    for (quint32 count : shape.counts) {
      points_.clear();
      for (quint32 i = 0; i < count; ++i) points_.append(toDevice_.map(QPointF(all[at + i])));
      at += count;
      if (points_.size() < 2) continue;
      path.addPolygon(points_);
      path.closeSubpath();
    }
    drawFigure(path, path, true);
    return;
  }
  const quint32 count = shape.counts.empty() ? 0 : shape.counts.front();
  if (count < 2) return;
  points_.clear();
  points_.reserve(qsizetype(count));
  for (quint32 i = 0; i < count; ++i) points_.append(toDevice_.map(QPointF(all[shape.firstPoint + i])));
  drawPolygon(points_, r.function == kPolygon);
}

void Player::drawLineTo(const QPointF& to) {
  const QPointF from = dc_.position;
  dc_.position = to;
  const QRectF bounds = toDevice_.mapRect(QRectF(from, to).normalized());
  const double margin = penMargin();
  if (!bounds.adjusted(-margin, -margin, margin, margin).intersects(visible_)) return;
  drawPolygon(QPolygonF{toDevice_.map(from), toDevice_.map(to)}, false);
}

QStringDecoder& Player::decoder(quint8 charSet) {
  auto it = decoders_.find(charSet);
  if (it == decoders_.end()) {
    QStringDecoder d(codecName(charSet));
    if (!d.isValid()) d = QStringDecoder(QStringDecoder::Latin1);
    it = decoders_.emplace(charSet, std::move(d)).first;
  }
  it->second.resetState();
  return it->second;
}

QString Player::character(quint8 charSet, QStringDecoder& decode, const QByteArray& bytes, qsizetype at,
                          qsizetype n) {
  // Decoding allocates; in a code page of single bytes, which keeps no state between them, a byte always
  // stands for the same character.
  if (n != 1 || leadByte(charSet, 0x81))  // every double-byte code page leads with 0x81
    return decode(QByteArrayView(bytes.constData() + at, n));
  const quint32 key = quint32(charSet) << 8 | uchar(bytes[at]);
  auto known = characters_.constFind(key);
  if (known == characters_.cend())
    known = characters_.insert(key, decode(QByteArrayView(bytes.constData() + at, 1)));
  return *known;
}

// The selected font at the current scale, made once per paint.
Player::DeviceFont& Player::font(const Font& f) {
  const double scale = verticalScale(toDevice_);
  const std::pair<int, qint64> key(dc_.font, std::llround(scale * 4096));
  const auto cached = fonts_.find(key);
  if (cached != fonts_.end()) return cached->second;

  QFont font(QString(decoder(f.charSet)(f.faceName)));
  switch (f.pitchAndFamily >> 4) {
    case 1:
      font.setStyleHint(QFont::Serif);
      break;
    case 2:
      font.setStyleHint(QFont::SansSerif);
      break;
    case 3:
      font.setStyleHint(QFont::TypeWriter);
      break;
    case 4:
      font.setStyleHint(QFont::Cursive);
      break;
    case 5:
      font.setStyleHint(QFont::Decorative);
      break;
    default:
      break;
  }
  if ((f.pitchAndFamily & 3) == 1) font.setFixedPitch(true);
  font.setWeight(QFont::Weight(f.weight <= 0 ? 400 : std::clamp(f.weight, 1, 1000)));
  font.setItalic(f.italic);
  font.setUnderline(f.underline);
  font.setStrikeOut(f.strikeOut);
  font.setKerning(false);

  QPaintDevice* device = painter_.device();
  const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96.0;
  // A positive height is the cell (ascent and descent); the em is smaller by the face's own proportion.
  double em = f.height == 0 ? kDefaultFontCell * unit_ : std::abs(f.height) * scale;
  if (f.height >= 0 && em > 0) {
    QFont reference = font;
    reference.setPointSizeF(256 * 72.0 / dpi);
    const QFontMetricsF metrics(reference, device);
    if (metrics.ascent() + metrics.descent() > 0) em *= 256 / (metrics.ascent() + metrics.descent());
  }
  if (em >= 0.5 && em <= kMaxTextPixels) {
    font.setPointSizeF(em * 72.0 / dpi);
    if (f.width != 0) {
      const double average = QFontMetricsF(font, device).averageCharWidth();
      const double wanted = std::abs(f.width) * horizontalScale(toDevice_);
      if (average > 0) font.setStretch(std::clamp(int(std::lround(100 * wanted / average)), 1, 4000));
    }
  }
  const double size = em * std::max(1.0, font.stretch() / 100.0);
  return fonts_.try_emplace(key, DeviceFont{font, QFontMetricsF(font, device), em, size, {}}).first->second;
}

void Player::drawText(const Text& text, bool extended) {
  static const Font kStockFont;
  const Font* f = dc_.font >= 0 ? std::get_if<Font>(&doc_.objects()[size_t(dc_.font)]) : nullptr;
  if (!f) f = &kStockFont;
  const bool updateCp = dc_.textAlign & kTaUpdateCp;
  const QPointF origin = updateCp ? dc_.position : QPointF(text.origin);
  const QPointF anchor = toDevice_.map(origin);
  const double xScale = horizontalScale(toDevice_);

  std::optional<QRectF> box;  // the ExtTextOut rectangle, on the device
  if (extended && (text.options & (kEtoOpaque | kEtoClipped))) {
    box = deviceRect(QRectF(QPointF(text.rect.left(), text.rect.top()),
                            QPointF(text.rect.right(), text.rect.bottom()))) &
          visible_;
    if (text.options & kEtoOpaque) painter_.fillRect(*box, color(dc_.bkColor));
  }

  DeviceFont& device = font(*f);
  const double em = device.em;
  const bool drawable = em >= 0.5 && em <= kMaxTextPixels && std::abs(anchor.x()) < kHugeCoordinate &&
                        std::abs(anchor.y()) < kHugeCoordinate;
  if (!updateCp) {
    // Passed over unless it can reach the pane: no glyph is wider than two ems (stretched ones, if wider).
    double reach = 2 * device.size * (double(text.bytes.size()) + 1);
    if (!text.dx.empty()) {
      reach = 2 * device.size;
      for (qint16 d : text.dx) reach += std::abs(d) * xScale;
      spend(qint64(text.dx.size()) / 16);
    }
    const QRectF around(anchor - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach));
    if (!drawable || !around.intersects(box && (text.options & kEtoClipped) ? *box : visible_)) return;
  }

  // The characters, each with the bytes it came from, and their advances in device pixels.
  const QFontMetricsF& metrics = device.metrics;
  QStringDecoder& decode = decoder(f->charSet);
  glyphs_.clear();
  const double extra = dc_.charExtra * xScale;
  double total = 0;
  const QByteArray& bytes = text.bytes;
  for (qsizetype i = 0; i < bytes.size();) {
    const qsizetype n = leadByte(f->charSet, uchar(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
    QString s = character(f->charSet, decode, bytes, i, n);
    double advance = 0;
    if (!text.dx.empty()) {
      for (qsizetype k = i; k < i + n && size_t(k) < text.dx.size(); ++k)
        advance += text.dx[size_t(k)] * xScale;
    } else {
      // Measuring lays the character out: once per font and character is enough.
      auto known = device.advances.constFind(s);
      if (known == device.advances.cend()) known = device.advances.insert(s, metrics.horizontalAdvance(s));
      advance = *known + extra;
    }
    total += advance;
    glyphs_.emplace_back(std::move(s), advance);
    i += n;
  }

  double x = 0;
  switch (dc_.textAlign & kTaHorizontalMask) {
    case kTaRight:
      x = -total;
      break;
    case kTaCenter:
      x = -total / 2;
      break;
    default:
      break;
  }
  double baseline = 0;
  switch (dc_.textAlign & kTaVerticalMask) {
    case kTaBaseline:
      break;
    case kTaBottom:
      baseline = -metrics.descent();
      break;
    default:
      baseline = metrics.ascent();
      break;
  }
  if (updateCp && (dc_.textAlign & kTaHorizontalMask) != kTaCenter && xScale > 0) {
    const double sign = toDevice_.m11() < 0 ? -1 : 1;
    dc_.position.rx() += sign * ((dc_.textAlign & kTaHorizontalMask) == kTaRight ? -total : total) / xScale;
  }
  if (!drawable || glyphs_.empty()) return;
  // Now that the advances are known: passed over unless where the string lies, with two ems around it for
  // what a glyph draws beyond its advance, reaches the pane.
  double from = x, to = x, at = x;
  for (const auto& glyph : glyphs_) {
    at += glyph.second;
    from = std::min(from, at);
    to = std::max(to, at);
  }
  QTransform place = QTransform::fromTranslate(anchor.x(), anchor.y());
  if (f->escapement != 0) place.rotate(-f->escapement / 10.0);
  spend(1 + qint64(glyphs_.size()) / 4);  // measured
  const double margin = 2 * device.size;
  const QRectF ink =
      place.mapRect(QRectF(from - margin, baseline - metrics.ascent() - margin, to - from + 2 * margin,
                           metrics.ascent() + metrics.descent() + 2 * margin));
  if (!ink.intersects(box && (text.options & kEtoClipped) ? *box : visible_)) return;
  spend(kTextCost + kGlyphCost * qint64(glyphs_.size()));

  painter_.save();
  if (box && (text.options & kEtoClipped)) painter_.setClipRect(*box, Qt::IntersectClip);
  painter_.translate(anchor);
  if (f->escapement != 0) painter_.rotate(-f->escapement / 10.0);
  if (dc_.bkMode == kOpaque) {
    const QRectF cell(x, baseline - metrics.ascent(), total, metrics.ascent() + metrics.descent());
    spend(fillCost(painter_.transform().mapRect(cell), false));
    painter_.fillRect(cell, color(dc_.bkColor));
  }
  if (device.size > kGlyphCachePixels) {
    // Large text as outlines, only the glyphs that can show, cut to the pane: Qt would rasterise whole
    // glyphs of synthesised faces into bitmaps this large, and antialias turned outlines this large slowly.
    const QTransform toDevice = painter_.transform();
    bool invertible = false;
    const QRectF reach = toDevice.inverted(&invertible).mapRect(visible_);
    QPainterPath outlines;
    outlines.setFillRule(Qt::WindingFill);
    for (const auto& [s, advance] : glyphs_) {
      const double size = device.size;
      const QRectF cell(std::min(x, x + advance) - size, baseline - metrics.ascent() - size,
                        std::abs(advance) + 2 * size, metrics.ascent() + metrics.descent() + 2 * size);
      if (invertible && cell.intersects(reach)) outlines.addText(QPointF(x, baseline), device.font, s);
      x += advance;
    }
    QPainterPath cut;
    cut.setFillRule(Qt::WindingFill);
    const QRectF pane = visible_.adjusted(-2, -2, 2, 2);
    for (const QPolygonF& polygon : outlines.toSubpathPolygons(toDevice)) {
      spend(polygon.size());
      const QPolygonF clipped = clipPolygon(polygon, pane);
      if (clipped.size() > 2) cut.addPolygon(clipped);
    }
    painter_.resetTransform();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.fillPath(cut, color(dc_.textColor));
    painter_.restore();
    return;
  }
  painter_.setFont(device.font);
  painter_.setPen(color(dc_.textColor));
  if (text.dx.empty() && extra == 0) {
    QString all;
    for (const auto& g : glyphs_) all += g.first;
    painter_.drawText(QPointF(x, baseline), all);
  } else {
    for (const auto& [s, advance] : glyphs_) {
      painter_.drawText(QPointF(x, baseline), s);
      x += advance;
    }
  }
  painter_.restore();
}

// PatBlt and the raster operations that do not read a source.
void Player::fillDest(const QRectF& dest, int ropIndex) {
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  QBrush fill;
  switch (ropIndex) {
    case 0x00:
      fill = QBrush(Qt::black);
      break;
    case 0xFF:
      fill = QBrush(Qt::white);
      break;
    case 0x55:
      fill = QBrush(Qt::white);
      mode = QPainter::RasterOp_NotDestination;
      break;
    case 0x5A:
      fill = currentBrush();
      mode = QPainter::RasterOp_SourceXorDestination;
      break;
    case 0xAA:  // the destination unchanged
    case 0xFB:  // PATPAINT needs a source
      return;
    default:
      fill = currentBrush();
      break;
  }
  if (!rasterOps_ && mode != QPainter::CompositionMode_SourceOver) return;
  QPolygonF area = toDevice_.map(QPolygonF(dest.normalized()));
  area = clipPolygon(area, visible_.adjusted(-1, -1, 1, 1));
  if (area.size() < 3) return;
  spend(kDrawCost + fillCost(area.boundingRect(), fill.style() != Qt::SolidPattern ||
                                                      mode != QPainter::CompositionMode_SourceOver));
  painter_.setCompositionMode(mode);
  painter_.setPen(Qt::NoPen);
  painter_.setBrush(fill);
  painter_.drawPolygon(area);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Player::drawBlit(const Blit& blit) {
  const int rop = int((blit.rop >> 16) & 0xFF);
  if (blit.image.isNull() || rop == 0x00 || rop == 0xFF || rop == 0x55 || rop == 0x5A || rop == 0xF0 ||
      rop == 0xAA) {
    fillDest(blit.dest, rop);
    return;
  }
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (rop) {
    case 0xEE:
      mode = QPainter::RasterOp_SourceOrDestination;
      break;
    case 0x88:
      mode = QPainter::RasterOp_SourceAndDestination;
      break;
    case 0x66:
      mode = QPainter::RasterOp_SourceXorDestination;
      break;
    case 0x44:
      mode = QPainter::RasterOp_SourceAndNotDestination;
      break;
    case 0x33:
      mode = QPainter::RasterOp_NotSource;
      break;
    case 0x11:
      mode = QPainter::RasterOp_NotSourceAndNotDestination;
      break;
    case 0xBB:
      mode = QPainter::RasterOp_NotSourceOrDestination;
      break;
    default:  // SRCCOPY, and what would need the brush too
      break;
  }
  if (!rasterOps_ && mode != QPainter::CompositionMode_SourceOver) return;
  const QRectF& src = blit.source;
  const QRectF& dst = blit.dest;
  if (src.width() == 0 || src.height() == 0 || dst.width() == 0 || dst.height() == 0) return;

  // Source pixels to logical units to device pixels; negative sizes mirror.
  const double sx = dst.width() / src.width(), sy = dst.height() / src.height();
  const QTransform toDevice =
      QTransform(sx, 0, 0, sy, dst.left() - src.left() * sx, dst.top() - src.top() * sy) * toDevice_;
  bool invertible = false;
  const QTransform back = toDevice.inverted(&invertible);
  if (!invertible) return;
  // Only the source pixels that land in the pane, and a pixel around them for smooth sampling.
  const QRectF wanted =
      back.mapRect(visible_).adjusted(-1, -1, 1, 1) & src.normalized() & QRectF(blit.image.rect());
  if (wanted.isEmpty()) return;
  QImage image = blit.image;
  if (image.format() == QImage::Format_Mono)  // a device bitmap: its two colours are the text and background
    image.setColorTable({color(dc_.textColor).rgba(), color(dc_.bkColor).rgba()});

  painter_.setCompositionMode(mode);
  painter_.setTransform(toDevice);
  const bool scaled =
      std::abs(std::abs(toDevice.m11()) - 1) > 1e-9 || std::abs(std::abs(toDevice.m22()) - 1) > 1e-9;
  painter_.setRenderHint(QPainter::SmoothPixmapTransform,
                         scaled && mode == QPainter::CompositionMode_SourceOver);
  // Sampled where it lands, and converted first where the source is not in a drawing format.
  spend(kDrawCost + fillCost(toDevice.mapRect(wanted), true) +
        qint64(wanted.width() * wanted.height() / kCostlyPixelsPerUnit));
  painter_.drawImage(wanted.topLeft(), image, wanted);
  painter_.resetTransform();
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Player::fillDeviceRegion(const QRegion& region, const QBrush& brush, QPainter::CompositionMode mode) {
  if (region.isEmpty() || (!rasterOps_ && mode != QPainter::CompositionMode_SourceOver)) return;
  spend(kDrawCost + region.rectCount());
  painter_.setCompositionMode(mode);
  for (const QRect& r : region) {
    spend(fillCost(QRectF(r),
                   brush.style() != Qt::SolidPattern || mode != QPainter::CompositionMode_SourceOver));
    painter_.fillRect(r, brush);
  }
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Player::record(const Record& r) {
  const auto s = [&](quint32 i) { return doc_.s16(r, i); };
  const auto u = [&](quint32 i) { return doc_.u16(r, i); };
  switch (r.function) {
    // ---- state
    case kSetBkMode:
      if (u(0) == kTransparent || u(0) == kOpaque) dc_.bkMode = u(0);
      return;
    case kSetPolyFillMode:
      if (u(0) == kAlternate || u(0) == kWinding) dc_.polyFillMode = u(0);
      return;
    case kSetRop2:
      if (u(0) >= kR2Black && u(0) <= kR2White) dc_.rop2 = u(0);
      return;
    case kSetTextAlign:
      dc_.textAlign = u(0);
      return;
    case kSetTextCharExtra:
      dc_.charExtra = s(0);
      return;
    case kSetBkColor:
      dc_.bkColor = doc_.u32(r, 0);
      return;
    case kSetTextColor:
      dc_.textColor = doc_.u32(r, 0);
      return;
    case kSetMapMode:
    case kSetWindowOrg:
    case kSetWindowExt:
    case kSetViewportOrg:
    case kSetViewportExt:
    case kOffsetWindowOrg:
    case kOffsetViewportOrg:
    case kScaleWindowExt:
    case kScaleViewportExt:
      applyMapping(dc_.mapping, doc_, r);
      mappingChanged();
      return;
    case kSaveDc:
      if (saved_.size() < kMaxSavedStates) saved_.push_back(dc_);
      return;
    case kRestoreDc:
      restoreDc(s(0));
      return;
    case kMoveTo:
      dc_.position = QPointF(s(1), s(0));
      return;

    // ---- objects
    case kCreatePenIndirect:
    case kCreateBrushIndirect:
    case kCreateFontIndirect:
    case kCreatePalette:
    case kCreateRegion:
    case kDibCreatePatternBrush:
    case kCreatePatternBrush:
      createObject(r);
      return;
    case kSelectObject:
      selectObject(u(0));
      return;
    case kSelectPalette:
      if (const Object* o = objectAt(u(0)); o && std::holds_alternative<Palette>(*o))
        dc_.palette = table_[u(0)];
      return;
    case kDeleteObject:
      deleteObject(u(0));
      return;

    // ---- clipping
    case kIntersectClipRect:
    case kExcludeClipRect: {
      if (!mappingOk_) return;
      const QRectF d = deviceRect(QRectF(QPointF(s(3), s(2)), QPointF(s(1), s(0)))) & kEverywhere;
      const QRect rect(QPoint(int(std::lround(d.left())), int(std::lround(d.top()))),
                       QPoint(int(std::lround(d.right())) - 1, int(std::lround(d.bottom())) - 1));
      const QRegion current = dc_.clip ? *dc_.clip : QRegion(kEverywhere.toRect());
      dc_.clip = r.function == kIntersectClipRect ? current.intersected(d.isEmpty() ? QRect() : rect)
                                                  : (d.isEmpty() ? current : current.subtracted(rect));
      clipChanged();
      return;
    }
    case kOffsetClipRgn:
      if (dc_.clip && mappingOk_) {
        // Kept inside the plane: a region moved out of it clips everything away.
        const double dx = s(1) * toDevice_.m11(), dy = s(0) * toDevice_.m22();
        if (std::abs(dx) < kEverywhere.width() && std::abs(dy) < kEverywhere.height())
          *dc_.clip = dc_.clip->translated(int(std::lround(dx)), int(std::lround(dy))) & kEverywhere.toRect();
        else
          *dc_.clip = QRegion();
        clipChanged();
      }
      return;
    case kSelectClipRegion:
      if (const Object* o = objectAt(u(0)); o && std::holds_alternative<Region>(*o) && mappingOk_) {
        dc_.clip = deviceRegion(std::get<Region>(*o), kEverywhere);
        clipChanged();
      }
      return;
    default:
      break;
  }

  // ---- drawing
  if (!mappingOk_) {
    if (r.function == kLineTo) dc_.position = QPointF(s(1), s(0));
    return;
  }
  switch (r.function) {
    case kLineTo:
      drawLineTo(QPointF(s(1), s(0)));
      return;
    case kTextOut:
    case kExtTextOut:
      drawText(doc_.text(r), r.function == kExtTextOut);
      return;
    default:
      break;
  }
  if (cull(r.bounds, penMargin())) return;
  switch (r.function) {
    case kRectangle:
      drawRectangle(r);
      return;
    case kEllipse:
      drawEllipse(r);
      return;
    case kRoundRect:
      drawRoundRect(r);
      return;
    case kArc:
    case kPie:
    case kChord:
      drawArc(r);
      return;
    case kPolygon:
    case kPolyline:
    case kPolyPolygon:
      drawShape(r);
      return;
    case kSetPixel: {
      const QPointF p = toDevice_.map(QPointF(s(3), s(2)));
      spend(1);
      painter_.fillRect(QRectF(p, QSizeF(unit_, unit_)) & visible_, color(doc_.u32(r, 0)));
      return;
    }
    case kPatBlt:
    case kBitBlt:
    case kStretchBlt:
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev:
      drawBlit(doc_.blit(r));
      return;
    case kFillRegion:
    case kFrameRegion:
    case kPaintRegion:
    case kInvertRegion: {
      const Object* o = objectAt(u(0));
      if (!o || !std::holds_alternative<Region>(*o)) return;
      // A frame's width and height; cut to the pane with room for them, so that the cut makes no edge.
      const int w = std::clamp(int(std::lround(std::abs(s(3) * toDevice_.m11()))), 1, 1 << 20);
      const int h = std::clamp(int(std::lround(std::abs(s(2) * toDevice_.m22()))), 1, 1 << 20);
      QRegion region = deviceRegion(std::get<Region>(*o), visible_.adjusted(-w - 2, -h - 2, w + 2, h + 2));
      if (r.function == kInvertRegion) {
        fillDeviceRegion(region, QBrush(Qt::white), QPainter::RasterOp_NotDestination);
        return;
      }
      QBrush fill = currentBrush();
      if (r.function != kPaintRegion) {
        const Object* b = objectAt(u(1));
        if (!b || !std::holds_alternative<Brush>(*b)) return;
        fill = brush(&std::get<Brush>(*b));
      }
      if (r.function == kFrameRegion) {
        // The region less itself shrunk by the frame's width and height.
        const QRegion inner = region.translated(w, 0) & region.translated(-w, 0) & region.translated(0, h) &
                              region.translated(0, -h) & region;
        region -= inner;
      }
      fillDeviceRegion(region, fill, QPainter::CompositionMode_SourceOver);
      return;
    }
    default:
      return;
  }
}

}  // namespace

Played render(const Document& doc, QPainter& painter, const QRectF& target, const QRect& exposed,
              const std::function<bool()>& cancelled) {
  if (target.isEmpty() || exposed.isEmpty() || doc.frame().isEmpty()) return Played::Whole;
  Player player(doc, painter, target, exposed);
  return player.play(cancelled);
}

}  // namespace wmf
