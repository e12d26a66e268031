#include "app/artwork.h"

#include "app/look.h"
#include "app/text_tables.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace artwork {
namespace {

const QColor kInk(235, 235, 235);
const QColor& kAccent = look::kTitle;

// The pixel ratio of the screens: on a scaled display the pictures of the windows are drawn at it, or they
// would be drawn at their logical size and magnified, soft.
qreal screenRatio() { return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0; }

// A transparent picture of w x h logical pixels, drawn on at `ratio` device pixels each; a painter on it
// draws in logical pixels.
QPixmap blankAt(int w, int h, qreal ratio) {
  QPixmap pixmap((QSizeF(w, h) * ratio).toSize());
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// One of w x h pixels: the icons and cursors, which come at the sizes they are used at.
QPixmap blank(int w, int h) { return blankAt(w, h, 1.0); }

void triangle(QPainter& p, QPointF a, QPointF b, QPointF c) { p.drawPolygon(QPolygonF({a, b, c})); }

void drawSpeaker(QPainter& p, double s, bool on) {
  QPolygonF body({{0.12 * s, 0.38 * s},
                  {0.32 * s, 0.38 * s},
                  {0.55 * s, 0.15 * s},
                  {0.55 * s, 0.85 * s},
                  {0.32 * s, 0.62 * s},
                  {0.12 * s, 0.62 * s}});
  p.drawPolygon(body);
  QPen pen(kInk, qMax(1.0, s / 12));
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  if (on) {
    p.drawArc(QRectF(0.45 * s, 0.3 * s, 0.25 * s, 0.4 * s), -60 * 16, 120 * 16);
    p.drawArc(QRectF(0.45 * s, 0.15 * s, 0.45 * s, 0.7 * s), -60 * 16, 120 * 16);
  } else {
    pen.setColor(QColor(255, 96, 96));
    p.setPen(pen);
    p.drawLine(QPointF(0.66 * s, 0.35 * s), QPointF(0.92 * s, 0.65 * s));
    p.drawLine(QPointF(0.92 * s, 0.35 * s), QPointF(0.66 * s, 0.65 * s));
  }
}

QPixmap glyphPixmap(Glyph glyph, int size, const QColor& ink, qreal ratio) {
  QPixmap pixmap = blankAt(size, size, ratio);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  const double s = size;
  switch (glyph) {
    case Glyph::Prev:
      p.drawRect(QRectF(0.15 * s, 0.2 * s, 0.12 * s, 0.6 * s));
      triangle(p, {0.85 * s, 0.2 * s}, {0.85 * s, 0.8 * s}, {0.3 * s, 0.5 * s});
      break;
    case Glyph::Next:
      p.drawRect(QRectF(0.73 * s, 0.2 * s, 0.12 * s, 0.6 * s));
      triangle(p, {0.15 * s, 0.2 * s}, {0.15 * s, 0.8 * s}, {0.7 * s, 0.5 * s});
      break;
    case Glyph::Back:
      triangle(p, {0.5 * s, 0.22 * s}, {0.5 * s, 0.78 * s}, {0.08 * s, 0.5 * s});
      triangle(p, {0.92 * s, 0.22 * s}, {0.92 * s, 0.78 * s}, {0.5 * s, 0.5 * s});
      break;
    case Glyph::Forward:
      triangle(p, {0.08 * s, 0.22 * s}, {0.08 * s, 0.78 * s}, {0.5 * s, 0.5 * s});
      triangle(p, {0.5 * s, 0.22 * s}, {0.5 * s, 0.78 * s}, {0.92 * s, 0.5 * s});
      break;
    case Glyph::Play:
      triangle(p, {0.22 * s, 0.15 * s}, {0.22 * s, 0.85 * s}, {0.85 * s, 0.5 * s});
      break;
    case Glyph::Pause:
      p.drawRect(QRectF(0.22 * s, 0.18 * s, 0.2 * s, 0.64 * s));
      p.drawRect(QRectF(0.58 * s, 0.18 * s, 0.2 * s, 0.64 * s));
      break;
    case Glyph::Stop:
      p.drawRect(QRectF(0.2 * s, 0.2 * s, 0.6 * s, 0.6 * s));
      break;
    case Glyph::Eject:
      triangle(p, {0.12 * s, 0.58 * s}, {0.88 * s, 0.58 * s}, {0.5 * s, 0.15 * s});
      p.drawRect(QRectF(0.12 * s, 0.68 * s, 0.76 * s, 0.14 * s));
      break;
    case Glyph::SpeakerOn:
      drawSpeaker(p, s, true);
      break;
    case Glyph::SpeakerOff:
      drawSpeaker(p, s, false);
      break;
    case Glyph::Up:
      triangle(p, {0.15 * s, 0.72 * s}, {0.85 * s, 0.72 * s}, {0.5 * s, 0.25 * s});
      break;
    case Glyph::Down:
      triangle(p, {0.15 * s, 0.28 * s}, {0.85 * s, 0.28 * s}, {0.5 * s, 0.75 * s});
      break;
  }
  return pixmap;
}

// A 32 x 32 arrow with a dark outline; `tint` colours its body.
QPixmap arrowCursorPixmap(const QColor& tint) {
  QPixmap pixmap = blank(32, 32);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // Drawn so that its tip lies at the hot spot 16, 16.
  QPainterPath arrow;
  arrow.moveTo(16, 16);
  arrow.lineTo(16, 31);
  arrow.lineTo(20, 27);
  arrow.lineTo(23, 31.5);
  arrow.lineTo(25.5, 30);
  arrow.lineTo(22.5, 25.5);
  arrow.lineTo(28, 25.5);
  arrow.closeSubpath();
  p.setPen(QPen(Qt::black, 1.2));
  QLinearGradient gradient(16, 16, 28, 31);
  gradient.setColorAt(0, Qt::white);
  gradient.setColorAt(1, tint);
  p.setBrush(gradient);
  p.drawPath(arrow);
  return pixmap;
}

}  // namespace

QIcon glyphIcon(Glyph glyph, int size) {
  QIcon icon;
  const auto add = [&](qreal ratio) {
    icon.addPixmap(glyphPixmap(glyph, size, kInk, ratio), QIcon::Normal);
    icon.addPixmap(glyphPixmap(glyph, size, QColor(110, 110, 110), ratio), QIcon::Disabled);
    icon.addPixmap(glyphPixmap(glyph, size, kAccent, ratio), QIcon::Active);
  };
  // At one device pixel a logical one, and at the screens' ratio where that is more.
  add(1.0);
  if (const qreal ratio = screenRatio(); ratio > 1.0) add(ratio);
  return icon;
}

QPixmap logo(const QSize& size) {
  QPixmap pixmap = blankAt(size.width(), size.height(), screenRatio());
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
  QLinearGradient gradient(r.topLeft(), r.bottomLeft());
  gradient.setColorAt(0, QColor(255, 210, 160));
  gradient.setColorAt(1, QColor(220, 120, 40));
  p.setPen(QPen(QColor(255, 230, 200), 1));
  p.setBrush(gradient);
  p.drawRoundedRect(r, 5, 5);
  // A small prism on the left, the name beside it.
  const double h = size.height();
  QPolygonF prism({{6, h - 5}, {6 + h * 0.45, 5}, {6 + h * 0.9, h - 5}});
  p.setBrush(QColor(255, 255, 255, 200));
  p.setPen(QPen(Qt::black, 1));
  p.drawPolygon(prism);
  QFont font;
  font.setBold(true);
  font.setPixelSize(qMax(8, int(h * 0.5)));
  p.setFont(font);
  p.setPen(Qt::black);
  p.drawText(QRectF(10 + h * 0.9, 0, size.width() - 12 - h * 0.9, h), Qt::AlignVCenter | Qt::AlignLeft,
             TextTables::ProductName);
  return pixmap;
}

QPixmap splashPicture(const QSize& size) {
  QPixmap pixmap = blankAt(size.width(), size.height(), screenRatio());
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double w = size.width(), h = size.height();
  // A beam of light through a prism, fanned into colours.
  p.setPen(QPen(Qt::white, 2));
  p.drawLine(QPointF(0, h * 0.55), QPointF(w * 0.42, h * 0.5));
  const QColor colours[] = {QColor(255, 60, 60), QColor(255, 160, 40), QColor(255, 240, 60),
                            QColor(80, 220, 80), QColor(60, 140, 255), QColor(170, 80, 255)};
  for (int i = 0; i < 6; ++i) {
    p.setPen(QPen(colours[i], 3));
    p.drawLine(QPointF(w * 0.55, h * 0.5), QPointF(w, h * (0.25 + i * 0.1)));
  }
  QPolygonF prism({{w * 0.36, h * 0.85}, {w * 0.5, h * 0.15}, {w * 0.64, h * 0.85}});
  p.setPen(QPen(QColor(220, 220, 255), 2));
  p.setBrush(QColor(255, 255, 255, 60));
  p.drawPolygon(prism);
  return pixmap;
}

QPixmap applicationIcon(int size) {
  QPixmap pixmap = blank(size, size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // Drawn on a unit square; lines keep at least a pixel so the small sizes still show them.
  p.scale(size, size);
  const double pixel = 1.0 / size;
  QPainterPath square;
  square.addRoundedRect(QRectF(0.03, 0.03, 0.94, 0.94), 0.2, 0.2);
  QLinearGradient gradient(0, 0.03, 0, 0.97);
  gradient.setColorAt(0, QColor(255, 210, 160));
  gradient.setColorAt(1, QColor(220, 120, 40));
  p.setPen(QPen(QColor(255, 230, 200), qMax(pixel, 0.02)));
  p.setBrush(gradient);
  p.drawPath(square);
  p.setClipPath(square);
  QPen beam(Qt::white, qMax(pixel, 0.05));
  beam.setCapStyle(Qt::FlatCap);
  p.setPen(beam);
  p.drawLine(QPointF(0.0, 0.62), QPointF(0.4, 0.52));
  const QColor colours[] = {QColor(230, 30, 30), QColor(255, 120, 0),  QColor(255, 240, 60),
                            QColor(40, 170, 40), QColor(30, 100, 230), QColor(140, 50, 220)};
  for (int i = 0; i < 6; ++i) {
    QPen ray(colours[i], qMax(pixel, 0.05));
    ray.setCapStyle(Qt::FlatCap);
    p.setPen(ray);
    p.drawLine(QPointF(0.55, 0.5), QPointF(1.0, 0.27 + i * 0.09));
  }
  p.setClipping(false);
  p.setPen(QPen(Qt::black, qMax(pixel, 0.03), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(255, 255, 255, 210));
  p.drawPolygon(QPolygonF({{0.28, 0.8}, {0.48, 0.2}, {0.68, 0.8}}));
  return pixmap;
}

QIcon windowIcon() {
  QIcon icon;
  for (const int size : kIconSizes) icon.addPixmap(applicationIcon(size));
  return icon;
}

QCursor windowCursor() { return QCursor(arrowCursorPixmap(QColor(255, 170, 90)), 16, 16); }

QCursor pointerCursor() { return QCursor(arrowCursorPixmap(QColor(120, 190, 255)), 16, 16); }

QCursor moveCursor() {
  QPixmap pixmap = blank(32, 32);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // An open hand seen from above: palm and four fingers, outlined.
  p.setPen(QPen(Qt::black, 1.2));
  p.setBrush(QColor(255, 220, 180));
  p.drawRoundedRect(QRectF(9, 15, 14, 12), 4, 4);
  for (int i = 0; i < 4; ++i)
    p.drawRoundedRect(QRectF(9 + i * 3.6, 6 + (i == 0 || i == 3 ? 3 : 0), 3.4, 12), 1.6, 1.6);
  p.drawRoundedRect(QRectF(4, 16, 8, 3.4), 1.6, 1.6);
  return QCursor(pixmap, 16, 16);
}

QCursor waitCursor() {
  QPixmap pixmap = blank(32, 32);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // An hourglass.
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(QColor(250, 235, 190));
  p.drawPolygon(QPolygonF({{8, 4}, {24, 4}, {17, 16}, {24, 28}, {8, 28}, {15, 16}}));
  p.setBrush(QColor(200, 150, 60));
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({{11, 26}, {21, 26}, {16, 20}}));
  p.setPen(QPen(Qt::black, 2.5));
  p.drawLine(6, 3, 26, 3);
  p.drawLine(6, 29, 26, 29);
  return QCursor(pixmap, 16, 16);
}

QPixmap languagePicture(bool chinese, const QSize& size) {
  QPixmap pixmap = blankAt(size.width(), size.height(), screenRatio());
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QRectF r(1, 1, size.width() - 2, size.height() - 2);
  p.setPen(QPen(QColor(200, 200, 200), 1));
  p.setBrush(chinese ? QColor(150, 20, 20) : QColor(20, 50, 130));
  p.drawRoundedRect(r, 4, 4);
  QFont font;
  font.setBold(true);
  font.setPixelSize(qMax(8, int(size.height() * 0.45)));
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(r, Qt::AlignCenter, chinese ? QStringLiteral("中文") : QStringLiteral("English"));
  return pixmap;
}

}  // namespace artwork
