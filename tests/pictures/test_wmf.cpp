#include "pictures/metafile/wmf_document.h"
#include "pictures/picture.h"
#include "pictures/picture_loader.h"
#include "support/picture_gen.h"
#include "support/wmf_gen.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cmath>
#include <functional>

using namespace wmf;
using wmf_gen::Builder;

namespace {

constexpr QRgb kWhite = 0xffffffff, kBlack = 0xff000000, kRed = 0xffff0000, kGreen = 0xff00ff00;
constexpr QRgb kBlue = 0xff0000ff, kYellow = 0xffffff00, kCyan = 0xff00ffff, kUntouched = 0xffff00ff;
constexpr std::array<QRgb, 4> kQuadrants = {kRed, kGreen, kBlue, kYellow};

struct Probe {
  QPoint at;
  QRgb color = 0;
};
using Probes = QList<Probe>;

Picture load(const QByteArray& data) {
  const std::optional<Picture> picture = loadPictureFromData(data);
  return picture ? *picture : Picture();
}

// The picture drawn at `scale` times its size on a canvas of that size, only `exposed` of it when given.
QImage render(const Picture& picture, double scale, const QRect& exposed = QRect()) {
  const QSizeF size = QSizeF(picture.size()) * scale;
  QImage canvas(size.toSize(), QImage::Format_RGB32);
  canvas.fill(kUntouched);
  QPainter painter(&canvas);
  picture.paint(painter, QRectF(QPointF(0, 0), size), exposed.isNull() ? canvas.rect() : exposed);
  return canvas;
}

// A metafile of 100 x 100 logical units (and natural pixels) holding what `draw` adds.
QByteArray Square(const std::function<void(Builder&)>& draw) {
  Builder b;
  b.setMapMode(kMmAnisotropic).setWindowOrg(0, 0).setWindowExt(100, 100);
  draw(b);
  return b.standard();
}

// Selects a new solid brush and no pen.
void Fill(Builder& b, QRgb color) {
  b.createBrush(kBsSolid, color).selectObject(b.lastSlot());
  b.createPen(kPsNull, 0, 0).selectObject(b.lastSlot());
}

QString Check(const QImage& image, const Probes& probes) {
  for (const Probe& p : probes) {
    const QRgb actual = image.pixel(p.at);
    if (actual != p.color)
      return QStringLiteral("pixel %1,%2 is %3, expected %4")
          .arg(p.at.x())
          .arg(p.at.y())
          .arg(actual, 8, 16, QLatin1Char('0'))
          .arg(p.color, 8, 16, QLatin1Char('0'));
  }
  return {};
}

// Where two pictures of the same size differ by more than `tolerance` in a channel: antialiased text may
// round a level differently where it is cut.
QString Difference(const QImage& actual, const QImage& expected, int tolerance = 2) {
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x) {
      const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
      if (qAbs(qRed(a) - qRed(e)) > tolerance || qAbs(qGreen(a) - qGreen(e)) > tolerance ||
          qAbs(qBlue(a) - qBlue(e)) > tolerance)
        return QStringLiteral("pixel %1,%2 is %3, expected %4")
            .arg(x)
            .arg(y)
            .arg(a, 8, 16, QLatin1Char('0'))
            .arg(e, 8, 16, QLatin1Char('0'));
    }
  return {};
}

// The bounding box of the pixels darker than mid grey, and how many there are.
QRect Ink(const QImage& image, int* count = nullptr) {
  QRect box;
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) {
        box |= QRect(x, y, 1, 1);
        ++n;
      }
  if (count) *count = n;
  return box;
}

QList<QPoint> Star() {
  QList<QPoint> points;
  for (int i = 0; i < 5; ++i) {
    const double a = (-90 + i * 144) * M_PI / 180;
    points.append(QPoint(int(std::lround(50 + 45 * std::cos(a))), int(std::lround(50 + 45 * std::sin(a)))));
  }
  return points;
}

}  // namespace

Q_DECLARE_METATYPE(Probes)

class TestWmf : public QObject {
  Q_OBJECT

 private slots:
  void loadsHeaders_data();
  void loadsHeaders();
  void refusesWhatIsNoMetafile_data();
  void refusesWhatIsNoMetafile();
  void drawsAtChosenPixels_data();
  void drawsAtChosenPixels();
  void drawsText();
  void zoomRendersAfresh();
  void paintsOnlyExposedPart_data();
  void paintsOnlyExposedPart();
  void toImageIsNaturalSizeOnWhite();
  void survivesBadInput_data();
  void survivesBadInput();
  void survivesTruncationAndCorruption();
};

void TestWmf::loadsHeaders_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QSize>("size");
  const auto square = [](Builder& b) { b.rectangle({10, 10, 80, 80}); };
  Builder plain;
  square(plain);
  QTest::newRow("placeable, twips") << plain.placeable({0, 0, 1440, 720}, 1440) << QSize(96, 48);
  QTest::newRow("placeable, 576 an inch, away from 0,0")
      << plain.placeable({100, 200, 576, 288}, 576) << QSize(96, 48);
  QTest::newRow("placeable, absurd size bounded")
      << plain.placeable({0, 0, 32000, 16000}, 10) << QSize(16384, 8192);
  QTest::newRow("placeable, tiny") << plain.placeable({0, 0, 1, 1}, 1440) << QSize(1, 1);
  Builder window;
  window.setMapMode(kMmAnisotropic).setWindowOrg(-50, 20).setWindowExt(200, 100);
  square(window);
  QTest::newRow("standard, window extent") << window.standard() << QSize(200, 100);
  Builder flipped;
  flipped.setMapMode(kMmAnisotropic).setWindowOrg(0, 100).setWindowExt(300, -100);
  square(flipped);
  QTest::newRow("standard, flipped window") << flipped.standard() << QSize(300, 100);
  QTest::newRow("standard, drawing's extent") << plain.standard() << QSize(80, 80);
  Builder metric;
  metric.setMapMode(kMmLoMetric).rectangle({0, -254, 508, 254});
  QTest::newRow("standard, tenths of millimetres") << metric.standard() << QSize(192, 96);
}

void TestWmf::loadsHeaders() {
  QFETCH(QByteArray, data);
  QFETCH(QSize, size);
  const Picture picture = load(data);
  QVERIFY(picture.isDrawing());
  QCOMPARE(picture.size(), size);
  QTemporaryDir dir;
  QVERIFY(picture_gen::WriteFile(dir.filePath("picture.bmp"), data));  // the name says nothing
  const std::optional<Picture> fromFile = loadPicture(dir.filePath("picture.bmp"));
  QVERIFY(fromFile && fromFile->isDrawing());
  QCOMPARE(fromFile->size(), size);
}

void TestWmf::refusesWhatIsNoMetafile_data() {
  QTest::addColumn<QByteArray>("data");
  Builder b;
  b.rectangle({0, 0, 10, 10});
  const QByteArray standard = b.standard();
  const QByteArray placeable = b.placeable({0, 0, 10, 10}, 96);
  const auto patched = [](QByteArray data, int at, quint16 value) {
    data[at] = char(value & 0xff);
    data[at + 1] = char(value >> 8);
    return data;
  };
  QTest::newRow("type 3") << patched(standard, 0, 3);
  QTest::newRow("header of 10 words") << patched(standard, 2, 10);
  QTest::newRow("version 0x0200") << patched(standard, 4, 0x0200);
  QTest::newRow("placeable key, no header after it") << patched(placeable, 22, 7);
  QTest::newRow("header only") << standard.left(kHeaderBytes);
  QTest::newRow("nothing drawn, no window") << Builder().setBkMode(kOpaque).standard();
  QTest::newRow("placeable cut in its header") << placeable.left(30);
  QRandomGenerator random(7);
  QByteArray noise(4096, '\0');
  for (char& c : noise) c = char(random.bounded(256));
  QTest::newRow("noise") << noise;
}

void TestWmf::refusesWhatIsNoMetafile() {
  QFETCH(QByteArray, data);
  QVERIFY(!loadPictureFromData(data));
}

void TestWmf::drawsAtChosenPixels_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<Probes>("probes");

  QTest::newRow("rectangle, pen and brush")
      << Square([](Builder& b) {
           b.createBrush(kBsSolid, kBlue).selectObject(b.lastSlot()).rectangle({10, 10, 80, 80});
         })
      << Probes{
             {{50, 50}, kBlue}, {{10, 50}, kBlack}, {{50, 10}, kBlack}, {{5, 5}, kWhite}, {{95, 95}, kWhite}};

  for (int mode : {kAlternate, kWinding}) {
    const QRgb center = mode == kWinding ? kRed : kWhite;
    QTest::addRow("star, fill mode %d", mode) << Square([&](Builder& b) {
      Fill(b, kRed);
      b.setPolyFillMode(mode).polygon(Star());
    }) << Probes{{{50, 50}, center}, {{50, 15}, kRed}, {{5, 95}, kWhite}};
    QTest::addRow("overlapping squares, fill mode %d", mode) << Square([&](Builder& b) {
      Fill(b, kRed);
      b.setPolyFillMode(mode).polyPolygon(
          {{{10, 10}, {60, 10}, {60, 60}, {10, 60}}, {{40, 40}, {90, 40}, {90, 90}, {40, 90}}});
    }) << Probes{{{50, 50}, center}, {{20, 20}, kRed}, {{80, 80}, kRed}, {{80, 20}, kWhite}};
  }

  QTest::newRow("ellipse") << Square([](Builder& b) {
    Fill(b, kRed);
    b.ellipse({10, 10, 80, 80});
  }) << Probes{{{50, 50}, kRed}, {{50, 13}, kRed}, {{13, 13}, kWhite}};
  QTest::newRow("pie, counter-clockwise") << Square([](Builder& b) {
    Fill(b, kRed);
    b.arc(kPie, {10, 10, 80, 80}, {90, 50}, {50, 10});
  }) << Probes{{{70, 30}, kRed}, {{30, 30}, kWhite}, {{30, 70}, kWhite}, {{70, 70}, kWhite}};
  QTest::newRow("chord") << Square([](Builder& b) {
    Fill(b, kRed);
    b.arc(kChord, {10, 10, 80, 80}, {90, 50}, {50, 10});
  }) << Probes{{{75, 25}, kRed}, {{60, 40}, kWhite}, {{30, 70}, kWhite}};
  QTest::newRow("round rectangle") << Square([](Builder& b) {
    Fill(b, kRed);
    b.roundRect({10, 10, 80, 80}, 40, 40);
  }) << Probes{{{50, 50}, kRed}, {{12, 12}, kWhite}, {{50, 12}, kRed}};

  QTest::newRow("hatch on a transparent background") << Square([](Builder& b) {
    b.setBkMode(kTransparent).createBrush(kBsHatched, kRed, kHsHorizontal).selectObject(b.lastSlot());
    b.patBlt({0, 0, 100, 100}, kPatCopy);
  }) << Probes{{{50, 7}, kRed}, {{50, 15}, kRed}, {{50, 3}, kWhite}};
  QTest::newRow("hatch on an opaque background") << Square([](Builder& b) {
    b.setBkMode(kOpaque)
        .setBkColor(kBlue)
        .createBrush(kBsHatched, kRed, kHsVertical)
        .selectObject(b.lastSlot());
    b.patBlt({0, 0, 100, 100}, kPatCopy);
  }) << Probes{{{7, 50}, kRed}, {{3, 50}, kBlue}};
  QTest::newRow("pattern brush") << Square([](Builder& b) {
    QImage tile(8, 8, QImage::Format_RGB32);
    tile.fill(kRed);
    for (int y = 0; y < 8; ++y)
      for (int x = 4; x < 8; ++x) tile.setPixel(x, y, kGreen);
    b.createDibPatternBrush(tile).selectObject(b.lastSlot()).patBlt({0, 0, 100, 100}, kPatCopy);
  }) << Probes{{{2, 2}, kRed}, {{6, 2}, kGreen}, {{10, 50}, kRed}};

  QTest::newRow("palette colour") << Square([](Builder& b) {
    b.createPalette({kRed, kGreen}).selectPalette(b.lastSlot());
    b.record(kCreateBrushIndirect, {kBsSolid, 1, 0x0100, 0}).selectObject(1);  // PALETTEINDEX(1)
    b.patBlt({0, 0, 100, 100}, kPatCopy);
  }) << Probes{{{50, 50}, kGreen}};
  QTest::newRow("SaveDC, RestoreDC bring the brush back") << Square([](Builder& b) {
    Fill(b, kRed);
    b.saveDc().createBrush(kBsSolid, kBlue).selectObject(b.lastSlot()).restoreDc(-1);
    b.rectangle({0, 0, 100, 100});
  }) << Probes{{{50, 50}, kRed}};
  QTest::newRow("unknown and deleted objects are not selected") << Square([](Builder& b) {
    Fill(b, kRed);
    b.createBrush(kBsSolid, kBlue);
    const int blue = b.lastSlot();
    b.deleteObject(blue).selectObject(blue).selectObject(999).selectObject(-1);
    b.rectangle({0, 0, 100, 100});
  }) << Probes{{{50, 50}, kRed}};

  QTest::newRow("a new object takes the lowest free slot") << Square([](Builder& b) {
    b.createBrush(kBsSolid, kRed).createBrush(kBsSolid, kBlue).deleteObject(0).createBrush(kBsSolid, kGreen);
    b.selectObject(0).patBlt({0, 0, 100, 100}, kPatCopy);
  }) << Probes{{{50, 50}, kGreen}};
  QTest::newRow("XOR pen once") << Square([](Builder& b) {
    Fill(b, kRed);
    b.setRop2(kR2XorPen).rectangle({0, 0, 100, 100});
  }) << Probes{{{50, 50}, kCyan}};
  QTest::newRow("XOR pen twice") << Square([](Builder& b) {
    Fill(b, kRed);
    b.setRop2(kR2XorPen).rectangle({0, 0, 100, 100}).rectangle({0, 0, 50, 100});
  }) << Probes{{{25, 50}, kWhite}, {{75, 50}, kCyan}};
  QTest::newRow("NOT over black") << Square([](Builder& b) {
    Fill(b, kBlack);
    b.rectangle({0, 0, 100, 100}).setRop2(kR2Not).rectangle({0, 0, 50, 100});
  }) << Probes{{{25, 50}, kWhite}, {{75, 50}, kBlack}};
  QTest::newRow("PatBlt operations") << Square([](Builder& b) {
    b.createBrush(kBsSolid, kGreen).selectObject(b.lastSlot());
    b.patBlt({0, 0, 50, 50}, kPatCopy)
        .patBlt({50, 0, 50, 50}, kBlackness)
        .patBlt({0, 50, 50, 50}, kDstInvert);
  }) << Probes{{{25, 25}, kGreen}, {{75, 25}, kBlack}, {{25, 75}, kBlack}, {{75, 75}, kWhite}};

  QTest::newRow("a function's high byte is not what tells it") << Square([](Builder& b) {
    Fill(b, kGreen);
    b.record(kRectangle & 0xFF, {100, 100, 0, 0});
  }) << Probes{{{50, 50}, kGreen}};
  QTest::newRow("line") << Square([](Builder& b) {
    b.createPen(kPsSolid, 0, kRed).selectObject(b.lastSlot()).moveTo(10, 50).lineTo(90, 50);
  }) << Probes{{{50, 50}, kRed}, {{50, 52}, kWhite}, {{5, 50}, kWhite}};
  QTest::newRow("wide pen") << Square([](Builder& b) {
    b.createPen(kPsSolid, 10, kRed).selectObject(b.lastSlot()).moveTo(10, 50).lineTo(90, 50);
  }) << Probes{{{50, 47}, kRed}, {{50, 53}, kRed}, {{50, 58}, kWhite}};
  QTest::newRow("pixel") << Square([](Builder& b) { b.setPixel(30, 30, kGreen); })
                         << Probes{{{30, 30}, kGreen}, {{32, 30}, kWhite}};

  QTest::newRow("intersect clip") << Square([](Builder& b) {
    Fill(b, kRed);
    b.intersectClipRect({20, 20, 40, 40}).rectangle({0, 0, 100, 100});
  }) << Probes{{{40, 40}, kRed}, {{80, 80}, kWhite}, {{10, 10}, kWhite}};
  QTest::newRow("exclude clip") << Square([](Builder& b) {
    Fill(b, kRed);
    b.excludeClipRect({20, 20, 40, 40}).rectangle({0, 0, 100, 100});
  }) << Probes{{{40, 40}, kWhite}, {{80, 80}, kRed}, {{10, 10}, kRed}};
  QTest::newRow("clip region") << Square([](Builder& b) {
    Fill(b, kRed);
    b.createRegion({{10, 10, 20, 20}, {50, 50, 20, 20}}).selectClipRegion(b.lastSlot());
    b.rectangle({0, 0, 100, 100});
  }) << Probes{{{15, 15}, kRed}, {{55, 55}, kRed}, {{35, 35}, kWhite}, {{15, 55}, kWhite}};
  QTest::newRow("clip undone by RestoreDC") << Square([](Builder& b) {
    Fill(b, kRed);
    b.saveDc().intersectClipRect({0, 0, 10, 10}).restoreDc(-1).rectangle({0, 0, 100, 100});
  }) << Probes{{{80, 80}, kRed}};
  QTest::newRow("clip moved") << Square([](Builder& b) {
    Fill(b, kRed);
    b.intersectClipRect({0, 0, 20, 20}).offsetClipRgn(50, 50).rectangle({0, 0, 100, 100});
  }) << Probes{{{60, 60}, kRed}, {{10, 10}, kWhite}};
  QTest::newRow("region filled and framed") << Square([](Builder& b) {
    b.createRegion({{10, 10, 60, 60}});
    const qint16 region = qint16(b.lastSlot());
    b.createBrush(kBsSolid, kRed);
    const qint16 red = qint16(b.lastSlot());
    b.createBrush(kBsSolid, kBlue);
    const qint16 blue = qint16(b.lastSlot());
    b.record(kFillRegion, {region, red}).record(kFrameRegion, {region, blue, 5, 5});
  }) << Probes{{{40, 40}, kRed}, {{12, 40}, kBlue}, {{40, 68}, kBlue}, {{5, 5}, kWhite}};

  QTest::newRow("y axis flipped") << Square([](Builder& b) {
    Fill(b, kRed);
    b.setWindowOrg(0, 100).setWindowExt(100, -100).rectangle({10, 10, 30, 30});
  }) << Probes{{{25, 75}, kRed}, {{25, 25}, kWhite}};
  Builder metric;
  metric.setMapMode(kMmLoMetric);
  Fill(metric, kRed);
  metric.rectangle({0, -254, 254, 254});
  Fill(metric, kGreen);
  metric.rectangle({0, -127, 127, 127});
  QTest::newRow("tenths of millimetres, y up")
      << metric.standard() << Probes{{{24, 24}, kGreen}, {{72, 72}, kRed}, {{72, 24}, kRed}};

  const QImage quadrants = picture_gen::Quadrants({16, 16}, kQuadrants);
  const Probes whole = {{{30, 30}, kRed}, {{70, 30}, kGreen}, {{30, 70}, kBlue}, {{70, 70}, kYellow}};
  QTest::newRow("StretchDIBits") << Square([&](Builder& b) {
    b.stretchDib({10, 10, 80, 80}, quadrants, {0, 0, 16, 16});
  }) << whole;
  QTest::newRow("StretchDIBits, source counted from the bottom") << Square([&](Builder& b) {
    b.stretchDib({10, 10, 80, 80}, quadrants, {8, 0, 8, 8});
  }) << Probes{{{30, 30}, kYellow}, {{70, 70}, kYellow}};
  QTest::newRow("DIBStretchBlt, source counted from the top") << Square([&](Builder& b) {
    b.dibStretchBlt({10, 10, 80, 80}, quadrants, {8, 0, 8, 8});
  }) << Probes{{{30, 30}, kGreen}, {{70, 70}, kGreen}};
  QTest::newRow("DIBBitBlt") << Square([&](Builder& b) {
    b.dibBitBlt({10, 10}, quadrants);
  }) << Probes{{{12, 12}, kRed}, {{22, 12}, kGreen}, {{12, 22}, kBlue}, {{22, 22}, kYellow}};
  QTest::newRow("SetDIBitsToDevice") << Square([&](Builder& b) {
    b.setDibToDev({10, 10}, quadrants);
  }) << Probes{{{12, 12}, kRed}, {{22, 22}, kYellow}, {{30, 30}, kWhite}};
  QTest::newRow("bitmap under a flipped y axis") << Square([&](Builder& b) {
    b.setWindowOrg(0, 100).setWindowExt(100, -100).stretchDib({10, 10, 80, 80}, quadrants, {0, 0, 16, 16});
  }) << Probes{{{30, 30}, kBlue}, {{70, 30}, kYellow}, {{30, 70}, kRed}, {{70, 70}, kGreen}};
  QTest::newRow("bitmap XORed") << Square([&](Builder& b) {
    b.stretchDib({0, 0, 100, 100}, quadrants, {0, 0, 16, 16}, kSrcInvert);
  }) << Probes{{{25, 25}, kCyan}, {{75, 75}, 0xff0000ffu}};
  QTest::newRow("bitmap ANDed") << Square([&](Builder& b) {
    Fill(b, kYellow);
    b.rectangle({0, 0, 100, 100}).stretchDib({0, 0, 100, 100}, quadrants, {0, 0, 16, 16}, kSrcAnd);
  }) << Probes{{{25, 25}, kRed}, {{75, 25}, kGreen}, {{25, 75}, kBlack}};
}

void TestWmf::drawsAtChosenPixels() {
  QFETCH(QByteArray, data);
  QFETCH(Probes, probes);
  const Picture picture = load(data);
  QVERIFY(picture.isDrawing());
  const QImage image = render(picture, 1);
  const QString mismatch = Check(image, probes);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  // The same at twice the size.
  Probes doubled = probes;
  for (Probe& p : doubled) p.at = p.at * 2 + QPoint(1, 1);
  const QString zoomed = Check(render(picture, 2), doubled);
  QVERIFY2(zoomed.isEmpty(), qPrintable(QStringLiteral("at 200 %: ") + zoomed));
}

void TestWmf::drawsText() {
  const auto text = [](const wmf_gen::FontSpec& font, const QByteArray& string, int align = kTaTop,
                       const QList<qint16>& dx = {}) {
    Builder b;
    b.setMapMode(kMmAnisotropic).setWindowExt(300, 200).setBkMode(kTransparent);
    b.createFont(font).selectObject(b.lastSlot()).setTextAlign(align);
    if (dx.isEmpty())
      b.textOut(150, 150, string);
    else
      b.extTextOut(150, 150, string, 0, QRect(), dx);
    return render(load(b.standard()), 1);
  };
  const wmf_gen::FontSpec sans{.height = -30, .pitchAndFamily = 0x20, .face = "DejaVu Sans"};
  const wmf_gen::FontSpec mono{.height = -30, .pitchAndFamily = 0x31, .face = "DejaVu Sans Mono"};

  // Two faces: a monospaced face gives narrow letters the width of wide ones.
  const QRect proportional = Ink(text(sans, "iiiiii")), fixed = Ink(text(mono, "iiiiii"));
  QVERIFY2(fixed.width() > proportional.width() * 3 / 2,
           qPrintable(QStringLiteral("%1 vs %2").arg(fixed.width()).arg(proportional.width())));
  // Weight.
  int normalInk = 0, boldInk = 0;
  Ink(text(sans, "Hello"), &normalInk);
  wmf_gen::FontSpec bold = sans;
  bold.weight = 700;
  Ink(text(bold, "Hello"), &boldInk);
  QVERIFY(boldInk > normalInk * 6 / 5);
  // Size: a character height of 30 units makes capitals about 22 pixels tall.
  const QRect top = Ink(text(sans, "HH"));
  QVERIFY2(top.height() >= 18 && top.height() <= 26, qPrintable(QString::number(top.height())));
  // Alignment: below the reference point from the top, above it from the baseline.
  QVERIFY2(top.top() >= 150 && top.top() <= 158, qPrintable(QString::number(top.top())));
  const QRect baseline = Ink(text(sans, "HH", kTaBaseline));
  QVERIFY2(baseline.bottom() <= 150 && baseline.bottom() >= 146,
           qPrintable(QString::number(baseline.bottom())));
  const QRect centred = Ink(text(sans, "HH", kTaCenter | kTaBaseline));
  QVERIFY2(qAbs(centred.center().x() - 150) <= 2, qPrintable(QString::number(centred.center().x())));
  // Escapement: turned a quarter, the line of text stands up.
  wmf_gen::FontSpec turned = sans;
  turned.escapement = 900;
  const QRect up = Ink(text(turned, "HHHH", kTaBaseline));
  QVERIFY(up.height() > up.width() * 2);
  QVERIFY(up.bottom() <= 152 && up.right() <= 152);
  // Advances given by the record.
  const QRect spaced = Ink(text(sans, "iiii", kTaTop, {25, 25, 25, 25}));
  QVERIFY2(spaced.width() >= 75 && spaced.width() <= 85, qPrintable(QString::number(spaced.width())));
  // Big5 bytes under the Chinese character set are two characters, not four Latin ones.
  wmf_gen::FontSpec chinese = sans;
  chinese.charSet = kChineseBig5Charset;
  const QByteArray zhongwen("\xa4\xa4\xa4\xe5");
  QVERIFY(text(chinese, zhongwen) != text(sans, zhongwen));
  QVERIFY(!Ink(text(chinese, zhongwen)).isEmpty());

  // Colour, and an opaque rectangle in the background colour.
  Builder b;
  b.setMapMode(kMmAnisotropic).setWindowExt(100, 100).setTextColor(kRed).setBkColor(kYellow);
  b.createFont(sans).selectObject(b.lastSlot());
  b.extTextOut(10, 10, "HH", kEtoOpaque, {0, 0, 100, 50});
  const QImage opaque = render(load(b.standard()), 1);
  QCOMPARE(opaque.pixel(95, 45), kYellow);
  QCOMPARE(opaque.pixel(95, 55), kWhite);
  bool red = false;
  for (int x = 10; x < 40 && !red; ++x) red = opaque.pixel(x, 30) == kRed;
  QVERIFY(red);
}

void TestWmf::zoomRendersAfresh() {
  // Edges stay one pixel sharp at 400 %: no colour but the picture's own anywhere, and the one-pixel line
  // four pixels wide.
  const Picture shapes = load(Square([](Builder& b) {
    b.createBrush(kBsSolid, kBlue).selectObject(b.lastSlot()).rectangle({10, 10, 80, 80});
    b.createPen(kPsSolid, 0, kRed).selectObject(b.lastSlot()).moveTo(0, 95).lineTo(100, 95);
  }));
  const QImage big = render(shapes, 4);
  for (int y = 0; y < big.height(); ++y)
    for (int x = 0; x < big.width(); ++x) {
      const QRgb c = big.pixel(x, y);
      QVERIFY2(c == kWhite || c == kBlue || c == kBlack || c == kRed,
               qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(c, 8, 16)));
    }
  int lineWidth = 0;
  for (int y = 360; y < 400; ++y) lineWidth += big.pixel(200, y) == kRed;
  QCOMPARE(lineWidth, 4);

  // Text is laid out at the zoomed size: four times as tall, with mostly solid ink rather than the wide soft
  // edges of an enlarged bitmap.
  Builder b;
  b.setMapMode(kMmAnisotropic).setWindowExt(100, 40).setBkMode(kTransparent);
  b.createFont({.height = -24, .weight = 700}).selectObject(b.lastSlot()).textOut(5, 5, "HELLO");
  const Picture text = load(b.standard());
  const QRect small = Ink(render(text, 1));
  const QImage zoomed = render(text, 4);
  const QRect large = Ink(zoomed);
  QVERIFY2(qAbs(large.height() - 4 * small.height()) <= 6,
           qPrintable(QStringLiteral("%1 vs %2").arg(large.height()).arg(small.height())));
  int solid = 0, soft = 0;
  for (int y = 0; y < zoomed.height(); ++y)
    for (int x = 0; x < zoomed.width(); ++x) {
      const int g = qGray(zoomed.pixel(x, y));
      solid += g < 16;
      soft += g >= 16 && g < 240;
    }
  QVERIFY2(soft * 3 < solid, qPrintable(QStringLiteral("%1 soft, %2 solid").arg(soft).arg(solid)));
}

void TestWmf::paintsOnlyExposedPart_data() {
  QTest::addColumn<QByteArray>("data");
  for (const auto& [name, data] : wmf_gen::Samples()) QTest::newRow(qPrintable(name)) << data;
  Builder large;
  large.setMapMode(kMmAnisotropic).setWindowExt(200, 150).setTextColor(kBlue).setBkMode(kTransparent);
  large.createFont({.height = -90, .escapement = 200, .weight = 900, .italic = true})
      .selectObject(large.lastSlot());
  large.textOut(0, 100, "Wag");
  QTest::newRow("large turned text") << large.standard();
}

void TestWmf::paintsOnlyExposedPart() {
  QFETCH(QByteArray, data);
  const Picture picture = load(data);
  const QImage whole = render(picture, 4);
  // Strips, as a scrolled pane exposes them: outside each, nothing is touched; together, the whole.
  QImage strips(whole.size(), QImage::Format_RGB32);
  strips.fill(kUntouched);
  const QRectF target(QPointF(0, 0), QSizeF(picture.size()) * 4);
  for (int x = 0; x < whole.width(); x += 137) {
    const QRect strip(x, 0, 137, whole.height());
    QImage single(whole.size(), QImage::Format_RGB32);
    single.fill(kUntouched);
    {
      QPainter painter(&single);
      picture.paint(painter, target, strip);
    }
    for (int y = 0; y < whole.height(); y += 7)
      for (int sx = 0; sx < whole.width(); sx += 5)
        if (!strip.contains(sx, y)) QCOMPARE(single.pixel(sx, y), kUntouched);
    QPainter painter(&strips);
    picture.paint(painter, target, strip);
  }
  QString difference = Difference(strips, whole);
  QVERIFY2(difference.isEmpty(), qPrintable(difference));
  QVERIFY(Ink(whole).isValid());

  // Painted through a translated painter, as inside a scrolled pane.
  const QRect pane(whole.width() / 4, whole.height() / 4, whole.width() / 2, whole.height() / 2);
  QImage shifted(pane.size(), QImage::Format_RGB32);
  shifted.fill(kUntouched);
  {
    QPainter painter(&shifted);
    painter.translate(-pane.topLeft());
    picture.paint(painter, target, shifted.rect());
  }
  difference = Difference(shifted, whole.copy(pane));
  QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestWmf::toImageIsNaturalSizeOnWhite() {
  const Picture picture = load(Square([](Builder& b) {
    Fill(b, kRed);
    b.rectangle({50, 50, 50, 50});
  }));
  const QImage image = picture.toImage();
  QCOMPARE(image.size(), QSize(100, 100));
  QCOMPARE(image.pixel(10, 10), kWhite);
  QCOMPARE(image.pixel(75, 75), kRed);
  QCOMPARE(image, render(picture, 1));
  QVERIFY(!picture.isNull());
}

void TestWmf::survivesBadInput_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<bool>("truncated");
  QTest::addColumn<Probes>("probes");
  // A red square first, then the bad record, then a green one that shows only when the bad one is skipped.
  const auto around = [](const std::function<void(Builder&)>& bad) {
    return Square([&](Builder& b) {
      Fill(b, kRed);
      b.rectangle({0, 0, 50, 100});
      bad(b);
      Fill(b, kGreen);
      b.rectangle({50, 0, 50, 100});
    });
  };
  const Probes stopped = {{{25, 50}, kRed}, {{75, 50}, kWhite}};
  const Probes skipped = {{{25, 50}, kRed}, {{75, 50}, kGreen}};

  QTest::newRow("record beyond the end") << Square([](Builder& b) {
    Fill(b, kRed);
    b.rectangle({0, 0, 50, 100}).lyingRecord(100000, kRectangle, {100, 100, 0, 50});
  }) << true << stopped;
  for (quint32 size : {0u, 1u, 2u})
    QTest::addRow("record of %u words", size)
        << around([&](Builder& b) { b.lyingRecord(size, kRectangle, {}); }) << true << stopped;
  QTest::newRow("polygon counting more points than it has") << around([](Builder& b) {
    b.record(kPolygon, {1000, 0, 0, 10, 10});
  }) << true << stopped;
  QTest::newRow("polygon of negative count") << around([](Builder& b) {
    b.record(kPolygon, {-3, 0, 0, 10, 10});
  }) << true << stopped;
  QTest::newRow("polypolygon counts beyond the record") << around([](Builder& b) {
    b.record(kPolyPolygon, {2, 30000, 30000, 0, 0});
  }) << true << stopped;
  QTest::newRow("text longer than its record") << around([](Builder& b) {
    b.record(kTextOut, {400, 0x4141, 10, 10});
  }) << true << stopped;
  QTest::newRow("ExtTextOut of negative length") << around([](Builder& b) {
    b.record(kExtTextOut, {10, 10, -5, 0, 0x4141});
  }) << true << stopped;
  QTest::newRow("region with scans beyond the record") << around([](Builder& b) {
    b.record(kCreateRegion, {0, 6, 0, 0, 0, 5, 2, 0, 0, 9, 9, 2, 0, 9});
  }) << true << stopped;
  QTest::newRow("rectangle short of parameters") << around([](Builder& b) {
    b.record(kRectangle, {1, 2});
  }) << true << stopped;

  const QByteArray dib = wmf_gen::Dib(picture_gen::Quadrants({4, 4}));
  QByteArray huge = dib;
  qToLittleEndian<qint32>(100000, huge.data() + 4);
  qToLittleEndian<qint32>(100000, huge.data() + 8);
  const auto stretch = [](const QByteArray& bitmap) {
    QList<qint16> words = {0x0020, 0x00CC, 0, 4, 4, 0, 0, 50, 50, 0, 0};
    for (qsizetype i = 0; i + 1 < bitmap.size(); i += 2)
      words << qFromLittleEndian<qint16>(bitmap.constData() + i);
    return words;
  };
  QTest::newRow("bitmap claiming 100000 x 100000")
      << around([&](Builder& b) { b.record(kStretchDib, stretch(huge)); }) << false << skipped;
  QByteArray unknownHeader = dib;
  qToLittleEndian<quint32>(41, unknownHeader.data());
  QTest::newRow("bitmap with an unknown header")
      << around([&](Builder& b) { b.record(kStretchDib, stretch(unknownHeader)); }) << false << skipped;
  QTest::newRow("bitmap cut short") << around([&](Builder& b) {
    b.record(kStretchDib, stretch(dib.left(20)));
  }) << false << skipped;

  QTest::newRow("unknown records and escapes") << around([](Builder& b) {
    // A function no table knows, an escape, and one whose low byte alone would read as the end.
    b.record(0x013A, {1, 2, 3}).record(kEscape, {15, 4, 0x4142, 0x4344}).record(0x3A00, {});
  }) << false << skipped;
  QTest::newRow("objects out of the table, RestoreDC without SaveDC") << around([](Builder& b) {
    b.selectObject(30000).deleteObject(-7).selectPalette(500).selectClipRegion(65535).restoreDc(-100);
    b.restoreDc(7).record(kFillRegion, {9, 9});
  }) << false << skipped;
  QTest::newRow("zero extents and scales") << around([](Builder& b) {
    b.setWindowExt(0, 0).setViewportExt(0, 5).record(kScaleWindowExt, {0, 1, 0, 1});
  }) << false << skipped;
  QByteArray crowded = Square([](Builder& b) {
    for (int i = 0; i < 40; ++i) b.createBrush(kBsSolid, kBlue);
    Fill(b, kGreen);
    b.rectangle({0, 0, 100, 100});
  });
  crowded[10] = 1;  // the header's object count
  crowded[11] = 0;
  QTest::newRow("more objects than the header has room for")
      << crowded << false << Probes{{{50, 50}, kGreen}};
  QTest::newRow("SaveDC 5000 times") << Square([](Builder& b) {
    Fill(b, kGreen);
    for (int i = 0; i < 5000; ++i) b.saveDc();
    b.rectangle({0, 0, 100, 100}).restoreDc(1).restoreDc(-1);
  }) << false << Probes{{{50, 50}, kGreen}};
  QTest::newRow("absurd mapping") << Square([](Builder& b) {
    Fill(b, kGreen);
    b.rectangle({0, 0, 100, 100}).setWindowExt(1, 1).setViewportExt(32767, 32767);
    b.createPen(kPsDash, 32767, kRed).selectObject(b.lastSlot());
    b.polygon({{-32768, -32768}, {32767, -32768}, {32767, 32767}}).ellipse({-32768, -32768, 65535, 65535});
    b.createFont({.height = 32767}).selectObject(b.lastSlot()).textOut(0, 0, QByteArray(2000, 'W'));
  }) << false << Probes{};
  QTest::newRow("text stretched forty times, turned a little") << Square([](Builder& b) {
    b.setBkMode(kOpaque).setTextAlign(kTaUpdateCp).moveTo(50, 20);
    b.createFont({.height = 20, .width = -15872, .escapement = 1, .italic = true, .charSet = 1, .face = ""});
    b.selectObject(b.lastSlot()).extTextOut(58, 0, "\x73\xff\xf5\xff\x02\x00\x16");
    b.setTextAlign(kTaTop).textOut(0, 60, "Metafile");
  }) << false << Probes{};
  QTest::newRow("clip moved far and back") << Square([](Builder& b) {
    Fill(b, kGreen);
    b.rectangle({0, 0, 100, 100}).setWindowExt(1, 1).excludeClipRect({0, 0, 1, 1});
    for (int i = 0; i < 200; ++i) b.offsetClipRgn(32767, -32768);
    b.setWindowExt(100, 100).offsetClipRgn(-50, 0).rectangle({0, 0, 100, 100});
  }) << false << Probes{{{50, 50}, kGreen}};
  QTest::newRow("far coordinates") << Square([](Builder& b) {
    b.setPixel(0, 0, kRed).setWindowExt(1, 1);
    b.createPen(kPsDot, 0, kRed).selectObject(b.lastSlot());
    b.createBrush(kBsSolid, kGreen).selectObject(b.lastSlot());
    b.polygon({{-32768, -32768}, {32767, -32768}, {32767, 32767}, {-32768, 32767}});
    b.arc(kPie, {-32768, -32768, 65535, 65535}, {32767, 0}, {0, -32768});
    b.moveTo(-32768, 1).lineTo(32767, 1);
  }) << false << Probes{};
}

void TestWmf::survivesBadInput() {
  QFETCH(QByteArray, data);
  QFETCH(bool, truncated);
  QFETCH(Probes, probes);
  const std::shared_ptr<const Document> doc = Document::parse(data);
  QVERIFY(doc);
  QCOMPARE(doc->truncated(), truncated);
  const Picture picture = load(data);
  QVERIFY(picture.isDrawing());
  const QString mismatch = Check(render(picture, 1), probes);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  render(picture, 4, QRect(100, 100, 200, 100));
}

void TestWmf::survivesTruncationAndCorruption() {
  // No crash, no hang: whatever loads is drawn, whole and zoomed in part, within bounded sizes.
  QRandomGenerator random(20240611);
  QImage canvas(64, 64, QImage::Format_RGB32);
  const auto draw = [&](const Picture& picture) {
    QVERIFY(picture.size().width() >= 1 && picture.size().width() <= kMaxSide);
    QVERIFY(picture.size().height() >= 1 && picture.size().height() <= kMaxSide);
    QPainter painter(&canvas);
    picture.paint(painter, QRectF(0, 0, 64, 64), canvas.rect());
    painter.translate(-100, -100);
    picture.paint(painter, QRectF(0, 0, 256, 256), canvas.rect());
  };
  for (const auto& [name, data] : wmf_gen::Samples()) {
    const std::optional<Picture> whole = loadPictureFromData(data);
    QVERIFY2(whole, qPrintable(name));
    QVERIFY2(!Document::parse(data)->truncated(), qPrintable(name));
    draw(*whole);
    for (int length = 1; length < data.size(); length += 1 + length / 8)
      if (const std::optional<Picture> part = loadPictureFromData(data.left(length))) draw(*part);
    for (int round = 0; round < 300; ++round) {
      QByteArray mutated = data;
      for (int i = 1 + random.bounded(6); i > 0; --i)
        mutated[random.bounded(int(data.size()))] = char(random.bounded(256));
      if (const std::optional<Picture> picture = loadPictureFromData(mutated)) draw(*picture);
    }
  }
}

QTEST_MAIN(TestWmf)
#include "test_wmf.moc"
