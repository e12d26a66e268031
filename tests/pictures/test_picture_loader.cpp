#include "pictures/picture.h"
#include "pictures/picture_loader.h"
#include "pictures/pixel_memory.h"
#include "support/picture_gen.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QtEndian>

#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace picture_gen;

namespace {

const QSize kSize(22, 14);  // odd row lengths for every depth, so row padding matters
constexpr std::array<QRgb, 4> kTwoColors = {0xff000080, 0xffffff00, 0xffffff00, 0xff000080};

QString Mismatch(const QImage& actual, const QImage& expected, int tolerance = 0) {
  if (actual.size() != expected.size())
    return QStringLiteral("size %1x%2, expected %3x%4")
        .arg(actual.width())
        .arg(actual.height())
        .arg(expected.width())
        .arg(expected.height());
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x) {
      const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
      if (qAbs(qRed(a) - qRed(e)) > tolerance || qAbs(qGreen(a) - qGreen(e)) > tolerance ||
          qAbs(qBlue(a) - qBlue(e)) > tolerance || qAlpha(a) != qAlpha(e))
        return QStringLiteral("pixel %1,%2 is %3, expected %4")
            .arg(x)
            .arg(y)
            .arg(a, 8, 16, QLatin1Char('0'))
            .arg(e, 8, 16, QLatin1Char('0'));
    }
  return {};
}

// The colour at the middle of each quadrant, for lossy formats.
QString QuadrantMismatch(const QImage& actual, const QImage& expected, int tolerance) {
  if (actual.size() != expected.size()) return Mismatch(actual, expected);
  const int w = expected.width(), h = expected.height();
  for (const QPoint p : {QPoint(w / 4, h / 4), QPoint(3 * w / 4, h / 4), QPoint(w / 4, 3 * h / 4),
                         QPoint(3 * w / 4, 3 * h / 4)}) {
    const QRgb a = actual.pixel(p), e = expected.pixel(p);
    if (qAbs(qRed(a) - qRed(e)) > tolerance || qAbs(qGreen(a) - qGreen(e)) > tolerance ||
        qAbs(qBlue(a) - qBlue(e)) > tolerance)
      return QStringLiteral("pixel %1,%2 is %3, expected %4")
          .arg(p.x())
          .arg(p.y())
          .arg(a, 8, 16, QLatin1Char('0'))
          .arg(e, 8, 16, QLatin1Char('0'));
  }
  return {};
}

QByteArray Patched(QByteArray data, int offset, const QByteArray& bytes) {
  data.replace(offset, bytes.size(), bytes);
  return data;
}
QByteArray le32(qint32 v) {
  QByteArray b(4, '\0');
  qToLittleEndian(v, b.data());
  return b;
}
QByteArray le16(quint16 v) {
  QByteArray b(2, '\0');
  qToLittleEndian(v, b.data());
  return b;
}

QImage Loaded(const QByteArray& data) {
  const std::optional<Picture> picture = loadPictureFromData(data);
  return picture ? picture->toImage() : QImage();
}

// Loaded with every heap block handed out filled with `fill` (glibc's perturbation), so that pixels left as
// allocated differ between two fills.
QImage LoadedOnPerturbedHeap(const QByteArray& data, int fill) {
#ifdef __GLIBC__
  mallopt(M_PERTURB, fill);
  const auto restore = qScopeGuard([] { mallopt(M_PERTURB, 0); });
#else
  Q_UNUSED(fill);
#endif
  return Loaded(data).convertToFormat(QImage::Format_ARGB32);
}

// A profile with sRGB's primaries and linear light: a stored 128 is sRGB 188, white stays white.
QByteArray LinearProfile() {
  return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Linear).iccProfile();
}

// Samples of every kind for the bad-input tests.
QList<QPair<QString, QByteArray>> Samples() {
  const QImage q = Quadrants(kSize);
  QList<QPair<QString, QByteArray>> samples = {
      {"bmp24", MakeBmp(q)},
      {"bmp8 rle", MakeBmp(q, {.bitsPerPixel = 8, .compression = BmpCompression::Rle8})},
      {"bmp4 rle", MakeBmp(q, {.bitsPerPixel = 4, .compression = BmpCompression::Rle4})},
      {"bmp core", MakeBmp(q, {.headerSize = 12, .bitsPerPixel = 8})},
      {"bmp v5 bitfields",
       MakeBmp(q, {.headerSize = 124, .bitsPerPixel = 32, .compression = BmpCompression::BitFields})},
      {"dib8", MakeBmp(q, {.bitsPerPixel = 8, .fileHeader = false})},
      {"dib v3", MakeBmp(q, {.headerSize = 56,
                             .bitsPerPixel = 16,
                             .compression = BmpCompression::BitFields,
                             .fileHeader = false})},
      {"ico", MakeIcon({{Quadrants({16, 16}), 8}, {Quadrants({32, 32}), 32}})},
      {"ico png", MakeIcon({{Quadrants({16, 16}), 4}, {Quadrants({48, 48}), 32, true}})},
      {"cur", MakeIcon({{Quadrants({32, 32}), 24}}, true)},
      {"jpeg", MakeJpeg(Quadrants({32, 32}))},
      {"jpeg progressive", MakeJpeg(Quadrants({32, 32}), {.progressive = true})},
      {"bmp1", MakeBmp(Quadrants(kSize, kTwoColors), {.bitsPerPixel = 1})},
      {"bmp16 top-down", MakeBmp(q, {.bitsPerPixel = 16, .topDown = true})},
      {"bmp alpha bit fields",
       MakeBmp(q, {.bitsPerPixel = 32, .compression = BmpCompression::AlphaBitFields})},
      {"dib v2 rle8",
       MakeBmp(
           q,
           {.headerSize = 52, .bitsPerPixel = 8, .compression = BmpCompression::Rle8, .fileHeader = false})},
      {"dib os/2 short", MakeBmp(q, {.headerSize = 16, .bitsPerPixel = 4, .fileHeader = false})},
      {"gif", MakeGif({{Quadrants({24, 20})}, {Quadrants({24, 20}, {0xff000000, 0xff000000, 0, 0})}})},
      {"bmp2", MakeBmp(q, {.bitsPerPixel = 2})},
      {"bmp64", MakeBmp(q, {.bitsPerPixel = 64})},
      {"bmp rle24", MakeBmp(q, {.headerSize = 64, .compression = BmpCompression::Rle24})},
      {"bmp huffman",
       MakeBmp(Quadrants(kSize, kTwoColors),
               {.headerSize = 64, .bitsPerPixel = 1, .compression = BmpCompression::Huffman1D})},
      {"bmp core short palette", MakeBmp(q, {.headerSize = 12, .bitsPerPixel = 8, .paletteSize = 4})},
      {"bmp v5 profile", MakeBmp(q, {.headerSize = 124, .iccProfile = LinearProfile()})},
      {"jpeg 12 bits", MakeJpeg12(Quadrants({20, 18}), {.chromaSampling = 2, .restartInterval = 2})},
  };
  return samples;
}

}  // namespace

class TestPictureLoader : public QObject {
  Q_OBJECT

 private slots:
  void loadsBitmapVariants_data();
  void loadsBitmapVariants();
  void loadsEveryRasterFormat_data();
  void loadsEveryRasterFormat();
  void iconTakesLargestImage_data();
  void iconTakesLargestImage();
  void appliesExifOrientation();
  void waitedJpegsDecodeToTheSamePixels_data();
  void waitedJpegsDecodeToTheSamePixels();
  void topRowsAreShownEarly();
  void memoryLetGoServesTheNextPictureWithNoTraceOfTheLast_data();
  void memoryLetGoServesTheNextPictureWithNoTraceOfTheLast();
  void gifShowsFirstFrameOnItsScreen();
  void decidesByContentNotName_data();
  void decidesByContentNotName();
  void refusesUnreadablePaths();
  void truncatedBitmapKeepsRowsPresent_data();
  void truncatedBitmapKeepsRowsPresent();
  void undecodedPixelsAreDefined_data();
  void undecodedPixelsAreDefined();
  void decodesCodingsQtRefuses_data();
  void decodesCodingsQtRefuses();
  void decodesTwelveBitJpegs_data();
  void decodesTwelveBitJpegs();
  void convertsEmbeddedProfilesToSrgb_data();
  void convertsEmbeddedProfilesToSrgb();
  void pixelsPastThePaletteShowBlack_data();
  void pixelsPastThePaletteShowBlack();
  void refusesBadInput_data();
  void refusesBadInput();
  void survivesTruncationAndCorruption();
  void paintDrawsOnlyExposedPart_data();
  void paintDrawsOnlyExposedPart();
  void paintFollowsPainterTransform();
  void paintInsideWidget();
  void drawsSvgAtItsSizeAndSharpAtEveryZoom();
};

void TestPictureLoader::loadsBitmapVariants_data() {
  QTest::addColumn<BmpOptions>("options");
  for (int header : {12, 16, 40, 52, 56, 64, 108, 124})
    for (int bits : {1, 4, 8, 16, 24, 32})
      for (bool fileHeader : {true, false})
        QTest::addRow("header %d, %d bits%s", header, bits, fileHeader ? "" : ", no file header")
            << BmpOptions{.headerSize = header, .bitsPerPixel = bits, .fileHeader = fileHeader};
  for (int header : {40, 52, 56, 108, 124})
    for (int bits : {16, 32})
      for (bool fileHeader : {true, false})
        QTest::addRow("header %d, %d bits, bit fields%s", header, bits, fileHeader ? "" : ", no file header")
            << BmpOptions{.headerSize = header,
                          .bitsPerPixel = bits,
                          .compression = BmpCompression::BitFields,
                          .fileHeader = fileHeader};
  for (bool fileHeader : {true, false}) {
    const char* suffix = fileHeader ? "" : ", no file header";
    QTest::addRow("alpha bit fields%s", suffix) << BmpOptions{
        .bitsPerPixel = 32, .compression = BmpCompression::AlphaBitFields, .fileHeader = fileHeader};
    QTest::addRow("rle8%s", suffix) << BmpOptions{
        .bitsPerPixel = 8, .compression = BmpCompression::Rle8, .fileHeader = fileHeader};
    QTest::addRow("rle4%s", suffix) << BmpOptions{
        .bitsPerPixel = 4, .compression = BmpCompression::Rle4, .fileHeader = fileHeader};
    QTest::addRow("rle8, header 108%s", suffix) << BmpOptions{
        .headerSize = 108, .bitsPerPixel = 8, .compression = BmpCompression::Rle8, .fileHeader = fileHeader};
  }
  // Channels narrower and wider than 8 bits, and a one-bit alpha channel.
  for (int header : {40, 56, 124}) {
    QTest::addRow("header %d, 16 bits 1-5-5-5", header)
        << BmpOptions{.headerSize = header,
                      .bitsPerPixel = 16,
                      .compression = BmpCompression::AlphaBitFields,
                      .masks = {0x7c00, 0x03e0, 0x001f, 0x8000}};
    QTest::addRow("header %d, 32 bits 10-10-10-2", header)
        << BmpOptions{.headerSize = header,
                      .bitsPerPixel = 32,
                      .compression = BmpCompression::AlphaBitFields,
                      .masks = {0x3ff00000, 0x000ffc00, 0x000003ff, 0xc0000000}};
  }
  for (int header : {40, 56, 108, 124})
    for (int bits : {1, 8, 24, 32})
      QTest::addRow("header %d, %d bits, top-down", header, bits)
          << BmpOptions{.headerSize = header, .bitsPerPixel = bits, .topDown = true};
  // Depths and codings Qt's reader refuses.
  for (bool fileHeader : {true, false}) {
    const char* suffix = fileHeader ? "" : ", no file header";
    for (int header : {12, 16, 40, 64, 124})
      QTest::addRow("header %d, 2 bits%s", header, suffix)
          << BmpOptions{.headerSize = header, .bitsPerPixel = 2, .fileHeader = fileHeader};
    for (int header : {40, 108, 124})
      QTest::addRow("header %d, 64 bits%s", header, suffix)
          << BmpOptions{.headerSize = header, .bitsPerPixel = 64, .fileHeader = fileHeader};
    QTest::addRow("os/2 rle24%s", suffix) << BmpOptions{
        .headerSize = 64, .bitsPerPixel = 24, .compression = BmpCompression::Rle24, .fileHeader = fileHeader};
    QTest::addRow("os/2 huffman 1d%s", suffix) << BmpOptions{.headerSize = 64,
                                                             .bitsPerPixel = 1,
                                                             .compression = BmpCompression::Huffman1D,
                                                             .fileHeader = fileHeader};
    // More palette entries declared than the depth can index: the first ones count.
    for (auto [bits, entries] : {std::pair{8, 300}, {4, 20}, {2, 5}, {1, 3}})
      QTest::addRow("%d bits, %d colours declared%s", bits, entries, suffix)
          << BmpOptions{.bitsPerPixel = bits, .fileHeader = fileHeader, .paletteSize = entries};
    QTest::addRow("rle8, 300 colours declared%s", suffix) << BmpOptions{
        .bitsPerPixel = 8, .compression = BmpCompression::Rle8, .fileHeader = fileHeader, .paletteSize = 300};
  }
  // OS/2 headers hold no palette count: only the pixel offset tells a palette shorter than the depth's.
  for (int header : {12, 16})
    for (int bits : {4, 8})
      QTest::addRow("header %d, %d bits, 4-entry palette", header, bits)
          << BmpOptions{.headerSize = header, .bitsPerPixel = bits, .paletteSize = 4};
}

void TestPictureLoader::loadsBitmapVariants() {
  QFETCH(BmpOptions, options);
  // With an alpha mask, one quadrant is transparent.
  const bool alpha = options.masks[3] != 0;
  const QImage source = Quadrants(kSize, options.bitsPerPixel == 1 ? kTwoColors
                                         : alpha ? std::array<QRgb, 4>{0xffff0000, 0xff00ff00, 0, 0xffffffff}
                                                 : kQuadrantColors);
  const QByteArray data = MakeBmp(source, options);
  QVERIFY(!data.isEmpty());
  const QImage loaded = Loaded(data);
  QVERIFY(!loaded.isNull());
  const QString mismatch = Mismatch(loaded.convertToFormat(QImage::Format_ARGB32), source);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::loadsEveryRasterFormat_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QImage>("expected");
  QTest::addColumn<int>("tolerance");  // per channel; -1: only the quadrant middles, for lossy formats
  const QImage q32 = Quadrants({32, 32});
  for (int bits : {1, 4, 8, 24, 32}) {
    const QImage source = Quadrants({20, 18}, bits == 1 ? kTwoColors : kQuadrantColors);
    QTest::addRow("ico %d bits", bits) << MakeIcon({{source, bits}}) << source << 0;
    QTest::addRow("cur %d bits", bits) << MakeIcon({{source, bits}}, true) << source << 0;
  }
  QTest::newRow("ico png") << MakeIcon({{q32, 32, true}}) << q32 << 0;
  QTest::newRow("ico 256") << MakeIcon({{Quadrants({256, 256}), 32}}) << Quadrants({256, 256}) << 0;
  QTest::newRow("jpeg baseline") << MakeJpeg(q32) << q32 << -1;
  QTest::newRow("jpeg progressive") << MakeJpeg(q32, {.progressive = true}) << q32 << -1;
  QTest::newRow("jpeg exif orientation 1") << MakeJpeg(q32, {.exifOrientation = 1}) << q32 << -1;
  QTest::newRow("gif") << MakeGif({{Quadrants(kSize)}}) << Quadrants(kSize) << 0;
  // Enough distinct pixels to fill the LZW table several times over.
  QImage noise(300, 200, QImage::Format_ARGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < noise.height(); ++y)
    for (int x = 0; x < noise.width(); ++x)
      noise.setPixel(x, y, 0xff000000 | (random.bounded(200) * 0x010203));
  QTest::newRow("gif, 200 colours") << MakeGif({{noise}}) << noise << 0;
  const QImage q = Quadrants(kSize);
  QTest::newRow("png") << MakePng(q) << q << 0;
  QTest::newRow("webp lossless") << MakeWithQt(q, "webp") << q << 0;
  QTest::newRow("tiff") << MakeWithQt(q, "tiff") << q << 0;
  QTest::newRow("tiff turned a quarter") << MakeWithQt(q, "tiff", QImageIOHandler::TransformationRotate90)
                                         << q.transformed(QTransform().rotate(90)) << 0;
  QTest::newRow("ppm") << MakeWithQt(q, "ppm") << q << 0;
  QTest::newRow("xpm") << MakeWithQt(q, "xpm") << q << 0;
  QTest::newRow("webp lossy") << MakeWithQt(q32, "webp") << q32 << -1;
}

void TestPictureLoader::loadsEveryRasterFormat() {
  QFETCH(QByteArray, data);
  QFETCH(QImage, expected);
  QFETCH(int, tolerance);
  if (QByteArray(QTest::currentDataTag()).contains("progressive"))
    QVERIFY2(data.contains("\xFF\xC2"), "the generator did not write a progressive frame");
  const QImage loaded = Loaded(data);
  QVERIFY(!loaded.isNull());
  const QImage argb = loaded.convertToFormat(QImage::Format_ARGB32);
  const QString mismatch =
      tolerance < 0 ? QuadrantMismatch(argb, expected, 24) : Mismatch(argb, expected, tolerance);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::iconTakesLargestImage_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QImage>("expected");
  const QImage small = Quadrants({16, 16});
  const QImage large = Quadrants({48, 48});
  const QImage medium = Quadrants({32, 32});
  const std::array<QRgb, 4> deepColors = {0xff102030, 0xff405060, 0xff708090, 0xffa0b0c0};
  const QImage deep = Quadrants({32, 32}, deepColors);
  for (bool cursor : {false, true}) {
    const char* kind = cursor ? "cur" : "ico";
    QTest::addRow("%s: largest in the middle", kind)
        << MakeIcon({{small, 8}, {large, 4}, {medium, 32}}, cursor) << large;
    QTest::addRow("%s: same size, deepest wins", kind)
        << MakeIcon({{medium, 4}, {deep, 32}, {medium, 8}}, cursor) << deep;
    QTest::addRow("%s: png entry largest", kind)
        << MakeIcon({{small, 32}, {Quadrants({64, 64}), 32, true}, {medium, 32}}, cursor)
        << Quadrants({64, 64});
  }
  // Directory and bitmap header disagree on the height: the header describes the stored rows.
  const QByteArray icon32 = MakeIcon({{medium, 32}});
  QTest::newRow("directory says 16 high") << Patched(icon32, 7, QByteArray(1, 16)) << medium;
  QTest::newRow("directory says 48 high") << Patched(icon32, 7, QByteArray(1, 48)) << medium;
  QTest::newRow("directory says 256 high") << Patched(icon32, 7, QByteArray(1, 0)) << medium;
  QTest::newRow("directory says 40 wide") << Patched(icon32, 6, QByteArray(1, 40)) << medium;
  QTest::newRow("header height not doubled") << Patched(icon32, 22 + 8, le32(32)) << medium;
  // The largest image cut off by the end of the file: the next one is the picture.
  const QByteArray truncated = MakeIcon({{small, 8}, {medium, 24}, {large, 32}});
  QTest::newRow("largest truncated") << truncated.left(truncated.size() - 100) << medium;
  // A directory entry that claims an image bigger than an icon can be.
  QByteArray claim = MakeIcon({{small, 8}, {medium, 24}});
  claim = Patched(claim, 22, QByteArray(2, '\0'));  // second entry: width and height 0, so the header decides
  const int secondImage = qFromLittleEndian<quint32>(claim.constData() + 22 + 12);
  claim = Patched(claim, secondImage + 4, le32(100000) + le32(200000));
  QTest::newRow("entry claiming 100000x100000 skipped") << claim << small;
}

void TestPictureLoader::iconTakesLargestImage() {
  QFETCH(QByteArray, data);
  QFETCH(QImage, expected);
  const QImage loaded = Loaded(data);
  QVERIFY(!loaded.isNull());
  const QString mismatch = Mismatch(loaded.convertToFormat(QImage::Format_ARGB32), expected);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::appliesExifOrientation() {
  // Orientation 6: the stored picture is shown turned a quarter clockwise.
  const QImage stored = Quadrants({48, 32});
  for (bool progressive : {false, true}) {
    const QImage loaded = Loaded(MakeJpeg(stored, {.progressive = progressive, .exifOrientation = 6}));
    QCOMPARE(loaded.size(), QSize(32, 48));
    const QImage expected = stored.transformed(QTransform().rotate(90));
    const QString mismatch = QuadrantMismatch(loaded.convertToFormat(QImage::Format_ARGB32), expected, 24);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  }
}

void TestPictureLoader::waitedJpegsDecodeToTheSamePixels_data() {
  // Big enough to be decoded in two parts when someone waits: the parts must meet without a seam, and every
  // kind the parts cannot serve must still come out right.
  QImage photo(3600, 2400, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
    for (int x = 0; x < photo.width(); ++x) line[x] = qRgb(x & 0xff, (y * 3) & 0xff, ((x ^ y) >> 3) & 0xff);
  }
  QTest::addColumn<QByteArray>("data");
  const QByteArray colour = MakeJpeg(photo, {.quality = 80});
  QTest::newRow("colour") << colour;
  QTest::newRow("grey") << MakeJpeg(photo.convertToFormat(QImage::Format_Grayscale8), {.quality = 80});
  QTest::newRow("turned by EXIF") << MakeJpeg(photo, {.quality = 80, .exifOrientation = 6});
  QTest::newRow("progressive") << MakeJpeg(photo, {.quality = 80, .progressive = true});
  // Converted to sRGB once decoded: the parts must find the profile as the whole decode does.
  QTest::newRow("Display P3 profile")
      << MakeJpeg(photo, {.quality = 80, .iccProfile = QColorSpace(QColorSpace::DisplayP3).iccProfile()});
  QTest::newRow("cut short in the lower part") << colour.left(colour.size() * 9 / 10);
  QTest::newRow("cut short in the upper part") << colour.left(colour.size() / 3);
}

void TestPictureLoader::waitedJpegsDecodeToTheSamePixels() {
  QFETCH(QByteArray, data);
  QBuffer ahead(&data), waited(&data);
  QVERIFY(ahead.open(QIODevice::ReadOnly) && waited.open(QIODevice::ReadOnly));
  const std::optional<Picture> one = loadPictureFromDevice(ahead, Urgency::Ahead);
  const std::optional<Picture> two = loadPictureFromDevice(waited, Urgency::Waited);
  QVERIFY(one && two);
  const QImage a = one->toImage(), b = two->toImage();
  QCOMPARE(b.size(), a.size());
  QCOMPARE(b.format(), a.format());
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.bytesPerLine())) != 0)
      QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(y)));
}

void TestPictureLoader::memoryLetGoServesTheNextPictureWithNoTraceOfTheLast_data() {
  QTest::addColumn<bool>("waited");
  QTest::addColumn<int>("tenthsKept");
  for (const bool waited : {false, true}) {
    const char* how = waited ? "waited, " : "ahead, ";
    QTest::addRow("%swhole", how) << waited << 10;
    QTest::addRow("%scut short in the lower part", how) << waited << 9;
    QTest::addRow("%scut short in the upper part", how) << waited << 3;
  }
}

void TestPictureLoader::memoryLetGoServesTheNextPictureWithNoTraceOfTheLast() {
  // Big enough for the kept memory and, waited for, for two parts at once.
  QFETCH(bool, waited);
  QFETCH(int, tenthsKept);
  const QSize size(3600, 2400);
  QImage dark(size, QImage::Format_RGB32);
  for (int y = 0; y < dark.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(dark.scanLine(y));
    for (int x = 0; x < dark.width(); ++x) line[x] = qRgb(x & 0x3f, (y * 3) & 0x3f, ((x ^ y) >> 3) & 0x3f);
  }
  QByteArray data = MakeJpeg(dark, {.quality = 80});
  data.truncate(data.size() * tenthsKept / 10);
  const auto load = [waited](QByteArray& bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return loadPictureFromDevice(buffer, waited ? Urgency::Waited : Urgency::Ahead);
  };
  const auto cleanUp = qScopeGuard([] { releaseSparePixels(); });

  releaseSparePixels();
  const std::optional<Picture> fresh = load(data);
  QVERIFY(fresh);
  // A white picture let go.
  QImage last = largeImage(size, QImage::Format_RGB32);
  QVERIFY(!last.isNull());
  last.fill(Qt::white);
  const uchar* lastBits = last.constBits();
  last = QImage();
  QVERIFY(sparePixelBytes() >= qsizetype(size.width()) * size.height() * 4);

  // The next picture of that size is decoded into the same memory, and every pixel is its own.
  const std::optional<Picture> next = load(data);
  QVERIFY(next);
  const QImage image = next->toImage();
  QCOMPARE(image.constBits(), lastBits);
  QCOMPARE(sparePixelBytes(), 0);
  QCOMPARE(image, fresh->toImage());

  // Memory far larger than a picture needs is not held by it.
  last = largeImage(size * 2, QImage::Format_RGB32);
  QVERIFY(!last.isNull());
  const uchar* largerBits = last.constBits();
  last = QImage();
  const qsizetype kept = sparePixelBytes();
  QVERIFY(kept > 0);
  const std::optional<Picture> held = load(data);
  QVERIFY(held);
  QVERIFY(held->toImage().constBits() != largerBits);
  QCOMPARE(sparePixelBytes(), kept);
  releaseSparePixels();
  QCOMPARE(sparePixelBytes(), 0);
}

void TestPictureLoader::topRowsAreShownEarly() {
  QImage photo(3600, 2400, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
    for (int x = 0; x < photo.width(); ++x) line[x] = qRgb((x + y) & 0xff, (y * 5) & 0xff, (x >> 4) & 0xff);
  }
  QByteArray data = MakeJpeg(photo, {.quality = 80});
  const auto load = [&data](const EarlyRows* early) {
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return loadPictureFromDevice(buffer, Urgency::Waited, early);
  };
  const std::optional<Picture> plain = load(nullptr);
  QVERIFY(plain);

  // Shown once, with exactly the rows asked for, those already final; the rest come into the same pixels.
  QList<Picture> shown;
  int rowsWhenShown = -1;
  EarlyRows early{272, [&](const Picture& picture) {
                    shown << picture;
                    rowsWhenShown = picture.rowsReady();
                  }};
  const std::optional<Picture> loaded = load(&early);
  QVERIFY(loaded);
  QCOMPARE(shown.size(), 1);
  QCOMPARE(rowsWhenShown, 272);
  QCOMPARE(shown.first().size(), QSize(3600, 2400));
  QCOMPARE(shown.first().rowsReady(), 2400);
  QCOMPARE(loaded->toImage(), plain->toImage());
  QCOMPARE(shown.first().toImage().constBits(), loaded->toImage().constBits());

  // While rows are missing they are drawn black, and what is there is drawn as it is.
  auto progress = std::make_shared<DecodeProgress>();
  progress->setRows(100);
  const Picture partial(plain->toImage(), progress);
  QImage canvas(3600, 400, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  {
    QPainter painter(&canvas);
    partial.paint(painter, QRectF(0, 0, 3600, 2400), canvas.rect());
  }
  QCOMPARE(canvas.copy(0, 0, 3600, 100),
           plain->toImage().copy(0, 0, 3600, 100).convertToFormat(QImage::Format_RGB32));
  QCOMPARE(canvas.pixel(17, 100), qRgb(0, 0, 0));
  QCOMPARE(canvas.pixel(3599, 399), qRgb(0, 0, 0));
  progress->finish();

  // A picture that is converted to sRGB after decoding is not shown before.
  shown.clear();
  QByteArray wide =
      MakeJpeg(photo, {.quality = 80, .iccProfile = QColorSpace(QColorSpace::AdobeRgb).iccProfile()});
  QBuffer buffer(&wide);
  buffer.open(QIODevice::ReadOnly);
  QVERIFY(loadPictureFromDevice(buffer, Urgency::Waited, &early));
  QVERIFY(shown.isEmpty());
}

void TestPictureLoader::gifShowsFirstFrameOnItsScreen() {
  const QImage first = Quadrants({10, 8});
  const QImage second = Quadrants({10, 8}, {0xff000000, 0xff000000, 0xff000000, 0xff000000});
  // Animated: only the first frame, at its place on a larger logical screen.
  const QImage loaded = Loaded(MakeGif({{first, QPoint(5, 3)}, {second, QPoint(0, 0)}}, QSize(30, 20)));
  QCOMPARE(loaded.size(), QSize(30, 20));
  const QString mismatch = Mismatch(loaded.copy(5, 3, 10, 8).convertToFormat(QImage::Format_ARGB32), first);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  // A zero logical screen takes the frame's extent.
  QCOMPARE(Loaded(MakeGif({{first, QPoint(2, 1)}}, QSize(0, 0))).size(), QSize(12, 9));
}

void TestPictureLoader::decidesByContentNotName_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QSize>("size");  // invalid: not a picture
  const QImage q = Quadrants(kSize);
  QTest::newRow("gif named .jpg") << "photo.jpg" << MakeGif({{q}}) << kSize;
  QTest::newRow("jpeg named .gif") << "anim.gif" << MakeJpeg(q) << kSize;
  QTest::newRow("bmp named .txt") << "notes.txt" << MakeBmp(q) << kSize;
  QTest::newRow("dib named .wav") << "sound.wav" << MakeBmp(q, {.fileHeader = false}) << kSize;
  QTest::newRow("ico without extension") << "icon" << MakeIcon({{q, 32}}) << kSize;
  QTest::newRow("@2x in the name") << "photo@2x.jpg" << MakeJpeg(q) << kSize;
  QTest::newRow("text named .bmp") << "picture.bmp" << QByteArray("BMP files are pictures.\r\n") << QSize();
  QTest::newRow("text named .jpg") << "picture.jpg" << QByteArray("hello world\n").repeated(50) << QSize();
  QTest::newRow("png named .bmp") << "picture.bmp" << MakePng(q) << kSize;
  QTest::newRow("webp named .avi") << "clip.avi" << MakeWithQt(q, "webp") << kSize;
  QTest::newRow("svg without extension")
      << "drawing" << MakeSvg("<rect width='4' height='4'/>", "22", "14") << kSize;
  QTest::newRow("xml that is no svg, named .svg")
      << "notes.svg" << QByteArray("<?xml version='1.0'?><html><svg/></html>") << QSize();
  QTest::newRow("wav header named .gif") << "x.gif" << QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16) << QSize();
}

void TestPictureLoader::decidesByContentNotName() {
  QFETCH(QString, name);
  QFETCH(QByteArray, data);
  QFETCH(QSize, size);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.filePath(name);
  QVERIFY(WriteFile(path, data));
  const std::optional<Picture> picture = loadPicture(path);
  QCOMPARE(picture.has_value(), size.isValid());
  if (!picture) return;
  QCOMPARE(picture->size(), size);
  QCOMPARE(picture->toImage().devicePixelRatio(), 1.0);
}

void TestPictureLoader::refusesUnreadablePaths() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  QVERIFY(WriteFile(dir.filePath("empty.bmp"), {}));
  QVERIFY(QDir(dir.path()).mkdir("folder.jpg"));
  QVERIFY(!loadPicture(dir.filePath("empty.bmp")));
  QVERIFY(!loadPicture(dir.filePath("folder.jpg")));
  QVERIFY(!loadPicture(dir.filePath("missing.gif")));
  QVERIFY(!loadPicture(QString()));
  QVERIFY(!loadPictureFromData({}));
#ifdef Q_OS_UNIX
  // Opening a pipe would wait for a writer that never comes.
  const QByteArray fifo = QFile::encodeName(dir.filePath("pipe.bmp"));
  QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
  QVERIFY(!loadPicture(dir.filePath("pipe.bmp")));
  QVERIFY(!loadPicture("/dev/zero"));
#endif
}

void TestPictureLoader::truncatedBitmapKeepsRowsPresent_data() {
  QTest::addColumn<bool>("topDown");
  QTest::addColumn<int>("bits");
  for (int bits : {8, 24, 32}) {
    QTest::addRow("bottom-up, %d bits", bits) << false << bits;
    QTest::addRow("top-down, %d bits", bits) << true << bits;
  }
}

void TestPictureLoader::truncatedBitmapKeepsRowsPresent() {
  QFETCH(bool, topDown);
  QFETCH(int, bits);
  const QImage source = Quadrants(kSize);
  const QByteArray data = MakeBmp(source, {.bitsPerPixel = bits, .topDown = topDown});
  const int stride = ((kSize.width() * bits + 31) / 32) * 4;
  const int kept = 5;  // whole rows, then part of the next
  const int missingBytes = (kSize.height() - kept) * stride - stride / 2;
  const QImage loaded = Loaded(data.left(data.size() - missingBytes));
  QCOMPARE(loaded.size(), kSize);
  // Stored rows run bottom-up unless the bitmap is top-down; the rows present are the first stored ones.
  const QRect present =
      topDown ? QRect(0, 0, kSize.width(), kept) : QRect(0, kSize.height() - kept, kSize.width(), kept);
  const QImage argb = loaded.convertToFormat(QImage::Format_ARGB32);
  QString mismatch = Mismatch(argb.copy(present), source.copy(present));
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  const QRect missing = topDown ? QRect(0, kept, kSize.width(), kSize.height() - kept)
                                : QRect(0, 0, kSize.width(), kSize.height() - kept);
  const QRgb fill = bits == 8 ? source.pixel(0, 0) /* palette entry 0 */ : 0xff000000;
  QImage expectedMissing(missing.size(), QImage::Format_ARGB32);
  expectedMissing.fill(fill);
  mismatch = Mismatch(argb.copy(missing), expectedMissing);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::undecodedPixelsAreDefined_data() {
  QTest::addColumn<BmpOptions>("options");
  QTest::addColumn<QByteArray>("tail");  // bytes after the rows coded
  const QByteArray endOfLine("\0\0", 2);
  for (auto [name, bits, compression] : {std::tuple{"rle8", 8, BmpCompression::Rle8},
                                         {"rle4", 4, BmpCompression::Rle4},
                                         {"rle24", 24, BmpCompression::Rle24}}) {
    const BmpOptions o{.headerSize = compression == BmpCompression::Rle24 ? 64 : 40,
                       .bitsPerPixel = bits,
                       .compression = compression,
                       .codedRows = 5};
    QTest::addRow("%s, end of bitmap after 5 rows", name) << o << QByteArray();
    BmpOptions cut = o;
    cut.endCode = false;
    QTest::addRow("%s, data stops after 5 rows", name) << cut << QByteArray();
    QTest::addRow("%s, data stops inside an escape", name) << cut << endOfLine + QByteArray(1, '\0');
    QTest::addRow("%s, jump past the picture", name) << cut << endOfLine + QByteArray("\0\x02\0\xc8", 4);
    QTest::addRow("%s, literal run past the data", name) << cut << endOfLine + QByteArray("\0\xff\x01", 3);
  }
  QTest::newRow("huffman, data stops after 5 rows") << BmpOptions{.headerSize = 64,
                                                                  .bitsPerPixel = 1,
                                                                  .compression = BmpCompression::Huffman1D,
                                                                  .codedRows = 5,
                                                                  .endCode = false}
                                                    << QByteArray();
}

void TestPictureLoader::undecodedPixelsAreDefined() {
  QFETCH(BmpOptions, options);
  QFETCH(QByteArray, tail);
  const QImage source = Quadrants(kSize, options.bitsPerPixel == 1 ? kTwoColors : kQuadrantColors);
  const QByteArray data = MakeBmp(source, options) + tail;
  QVERIFY(!data.isEmpty());
  const QImage first = LoadedOnPerturbedHeap(data, 0x55), second = LoadedOnPerturbedHeap(data, 0xaa);
  QCOMPARE(first.size(), kSize);
  QString mismatch = Mismatch(first, second);
  QVERIFY2(mismatch.isEmpty(), qPrintable("pixels differ between heap contents: " + mismatch));
  // The stored rows come bottom-up; those not coded are palette entry 0 (the top-left colour), or black.
  const int coded = options.codedRows;
  QImage expected = source.convertToFormat(QImage::Format_ARGB32);
  const QRgb fill = options.bitsPerPixel == 24 ? 0xff000000 : source.pixel(0, 0);
  for (int y = 0; y < kSize.height() - coded; ++y)
    for (int x = 0; x < kSize.width(); ++x) expected.setPixel(x, y, fill);
  mismatch = Mismatch(first, expected);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::decodesCodingsQtRefuses_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QImage>("expected");
  // Fax runs longer than a make-up code (2560), between code sizes, and of one pixel.
  QImage runs(3000, 3, QImage::Format_ARGB32);
  runs.fill(0xffffffff);
  for (int x = 0; x < 3000; ++x) {
    const bool black = (x >= 2700 && x < 2701) || (x >= 100 && x < 1900) || (x >= 2000 && x < 2064);
    runs.setPixel(x, 1, black ? 0xff000000 : 0xffffffff);
    runs.setPixel(x, 2, x < 2650 ? 0xff000000 : 0xffffffff);
  }
  const BmpOptions huffman{.headerSize = 64, .bitsPerPixel = 1, .compression = BmpCompression::Huffman1D};
  QTest::newRow("huffman, long runs") << MakeBmp(runs, huffman) << runs;
  BmpOptions huffmanTopDown = huffman;
  huffmanTopDown.topDown = true;
  QTest::newRow("huffman, top-down") << MakeBmp(runs, huffmanTopDown) << runs;
  // RLE24 runs longer than one code and literal stretches of odd length.
  QImage rle(600, 4, QImage::Format_RGB32);
  for (int y = 0; y < rle.height(); ++y)
    for (int x = 0; x < rle.width(); ++x) rle.setPixel(x, y, x < 400 ? qRgb(10, 20, 30) : qRgb(x, y * 40, 7));
  QTest::newRow("rle24, long runs and literals")
      << MakeBmp(rle, {.headerSize = 64, .bitsPerPixel = 24, .compression = BmpCompression::Rle24}) << rle;
  // 64 bits: linear light with 1.0 at 8192; mid-tones through the sRGB curve, alpha linear.
  const QImage deep = Quadrants(kSize, {0x80808080, 0xff102030, 0x00000000, 0xc0ff8001});
  QTest::newRow("64 bits, mid-tones and alpha") << MakeBmp(deep, {.bitsPerPixel = 64}) << deep;
  QImage outOfRange(2, 1, QImage::Format_ARGB32);
  outOfRange.setPixel(0, 0, 0xffff0000);
  outOfRange.setPixel(1, 0, 0x80ffbc00);
  QByteArray beyond = MakeBmp(outOfRange, {.bitsPerPixel = 64});
  // Blue -1.0, green -0.5, red 1.9, alpha 2.0; then blue 0, green 0.5, red 1.0, alpha 0.5.
  beyond.replace(54, 16, QByteArray("\x00\xe0\x00\xf0\xcc\x3c\x00\x40\0\0\x00\x10\x00\x20\x00\x10", 16));
  QTest::newRow("64 bits, values out of range") << beyond << outOfRange;
}

void TestPictureLoader::decodesCodingsQtRefuses() {
  QFETCH(QByteArray, data);
  QFETCH(QImage, expected);
  QVERIFY(!data.isEmpty());
  const QImage loaded = Loaded(data);
  QVERIFY(!loaded.isNull());
  const QString mismatch = Mismatch(loaded.convertToFormat(QImage::Format_ARGB32),
                                    expected.convertToFormat(QImage::Format_ARGB32), 1);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::decodesTwelveBitJpegs_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QImage>("expected");
  QTest::addColumn<QRect>("compared");  // empty: all of it
  const QImage greys = Quadrants({32, 24}, {0xff202020, 0xff808080, 0xffc0c0c0, 0xffffffff});
  const QImage odd = Quadrants({37, 29});  // partial blocks; the quadrant edges fall on even pixels
  QImage gradient(40, 24, QImage::Format_RGB32);
  for (int y = 0; y < gradient.height(); ++y)
    for (int x = 0; x < gradient.width(); ++x)
      gradient.setPixel(x, y, qRgb(x * 6, y * 10, 255 - x * 3 - y * 4));
  QTest::newRow("grey") << MakeJpeg12(greys, {.grey = true}) << greys << QRect();
  QTest::newRow("grey, restart every block")
      << MakeJpeg12(greys, {.grey = true, .restartInterval = 1}) << greys << QRect();
  QTest::newRow("colour 4:4:4") << MakeJpeg12(odd) << odd << QRect();
  QTest::newRow("colour 4:2:0") << MakeJpeg12(odd, {.chromaSampling = 2}) << odd << QRect();
  QTest::newRow("colour 4:2:0, restart every 3 MCUs")
      << MakeJpeg12(odd, {.chromaSampling = 2, .restartInterval = 3}) << odd << QRect();
  QTest::newRow("gradient") << MakeJpeg12(gradient) << gradient << QRect();
  // Cut four bytes into its data, enough for the first block (at most 28 bits): the last blocks are black.
  const QByteArray whole = MakeJpeg12(greys, {.grey = true});
  const QByteArray cut = whole.left(whole.indexOf("\xFF\xDA") + 10 + 4);
  QImage black(greys.size(), QImage::Format_RGB32);
  black.fill(0xff000000);
  QTest::newRow("cut short: first block") << cut << greys << QRect(0, 0, 8, 8);
  QTest::newRow("cut short: last row of blocks") << cut << black << QRect(0, 16, 32, 8);
}

void TestPictureLoader::decodesTwelveBitJpegs() {
  QFETCH(QByteArray, data);
  QFETCH(QImage, expected);
  QFETCH(QRect, compared);
  QVERIFY(data.contains("\xFF\xC1"));
  const QImage loaded = LoadedOnPerturbedHeap(data, 0x55);
  QCOMPARE(loaded.size(), expected.size());
  const QRect area = compared.isEmpty() ? expected.rect() : compared;
  const QString mismatch =
      Mismatch(loaded.copy(area), expected.convertToFormat(QImage::Format_ARGB32).copy(area), 3);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::convertsEmbeddedProfilesToSrgb_data() {
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<int>("tolerance");
  const QByteArray profile = LinearProfile();
  const QImage source = Quadrants({32, 32}, {0xff808080, 0xffffffff, 0xff808080, 0xffffffff});
  QTest::newRow("jpeg") << MakeJpeg(source, {.iccProfile = profile}) << 4;
  QTest::newRow("jpeg progressive") << MakeJpeg(source, {.progressive = true, .iccProfile = profile}) << 4;
  QTest::newRow("jpeg 12 bits") << MakeJpeg12(source, {.iccProfile = profile}) << 3;
  QTest::newRow("png in an icon") << MakeIcon({{source, 32, true, profile}}) << 1;
  QTest::newRow("png") << MakePng(source, profile) << 1;
  QImage profiled = source;
  profiled.setColorSpace(QColorSpace::fromIccProfile(profile));
  QTest::newRow("tiff") << MakeWithQt(profiled, "tiff") << 1;
  QTest::newRow("webp") << MakeWithQt(profiled, "webp") << 1;
  for (int bits : {8, 24, 32})
    for (bool fileHeader : {true, false})
      QTest::addRow("bmp v5, %d bits%s", bits, fileHeader ? "" : ", no file header")
          << MakeBmp(
                 source,
                 {.headerSize = 124, .bitsPerPixel = bits, .fileHeader = fileHeader, .iccProfile = profile})
          << 1;
}

void TestPictureLoader::convertsEmbeddedProfilesToSrgb() {
  QFETCH(QByteArray, data);
  QFETCH(int, tolerance);
  QVERIFY(!data.isEmpty());
  const QImage loaded = Loaded(data);
  QVERIFY(!loaded.isNull());
  const QString mismatch =
      QuadrantMismatch(loaded.convertToFormat(QImage::Format_ARGB32),
                       Quadrants({32, 32}, {0xffbcbcbc, 0xffffffff, 0xffbcbcbc, 0xffffffff}), tolerance);
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestPictureLoader::pixelsPastThePaletteShowBlack_data() {
  QTest::addColumn<bool>("rle");
  QTest::newRow("uncompressed") << false;
  QTest::newRow("rle8") << true;
}

void TestPictureLoader::pixelsPastThePaletteShowBlack() {
  QFETCH(bool, rle);
  // Four colours, so a four-entry palette; the first stored pixel (bottom-left) then takes index 255.
  QByteArray data = MakeBmp(
      Quadrants(kSize), {.bitsPerPixel = 8, .compression = rle ? BmpCompression::Rle8 : BmpCompression::Rgb});
  const qsizetype pixels = qFromLittleEndian<quint32>(data.constData() + 10);
  QCOMPARE(qFromLittleEndian<quint32>(data.constData() + 46), 4u);
  int count = 1;
  if (rle) {
    count = quint8(data[pixels]);  // an encoded run: count, index
    QVERIFY(count > 0);
    data[pixels + 1] = char(0xff);
  } else {
    data[pixels] = char(0xff);
  }
  const std::optional<Picture> picture = loadPictureFromData(data);
  QVERIFY(picture);
  QImage canvas(kSize, QImage::Format_ARGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  picture->paint(painter, QRectF(canvas.rect()), canvas.rect());
  painter.end();
  for (int x = 0; x < kSize.width(); ++x) {
    const QRgb stored = kQuadrantColors[x < kSize.width() / 2 ? 2 : 3];
    QCOMPARE(canvas.pixel(x, kSize.height() - 1), x < count ? 0xff000000u : stored);
  }
}

void TestPictureLoader::refusesBadInput_data() {
  QTest::addColumn<QByteArray>("data");
  const QImage q = Quadrants(kSize);
  const QByteArray bmp = MakeBmp(q);
  const QByteArray bmp8 = MakeBmp(q, {.bitsPerPixel = 8});
  const QByteArray dib = MakeBmp(q, {.fileHeader = false});
  // Info header fields, counted from the start of a file with a file header.
  constexpr int kWidth = 18, kHeight = 22, kPlanes = 26, kBits = 28, kCompression = 30, kColorsUsed = 46;
  QTest::newRow("zero bytes") << QByteArray();
  QTest::newRow("bmp magic only") << QByteArray("BM");
  QTest::newRow("bmp 100000x100000") << Patched(bmp, kWidth, le32(100000) + le32(100000));
  QTest::newRow("bmp 16385x16384") << Patched(bmp, kWidth, le32(16385) + le32(16384));
  QTest::newRow("bmp 22x-20000000") << Patched(bmp, kHeight, le32(-20000000));
  QTest::newRow("bmp 20 times the rows present") << Patched(bmp, kHeight, le32(14 * 20));
  QTest::newRow("bmp zero width") << Patched(bmp, kWidth, le32(0));
  QTest::newRow("bmp zero height") << Patched(bmp, kHeight, le32(0));
  QTest::newRow("bmp negative width") << Patched(bmp, kWidth, le32(-22));
  QTest::newRow("bmp min height") << Patched(bmp, kHeight, le32(std::numeric_limits<qint32>::min()));
  QTest::newRow("bmp 7 bits") << Patched(bmp, kBits, le16(7));
  QTest::newRow("bmp 2 planes") << Patched(bmp, kPlanes, le16(2));
  QTest::newRow("bmp compression 9") << Patched(bmp, kCompression, le32(9));
  QTest::newRow("bmp rle8 at 24 bits") << Patched(bmp, kCompression, le32(1));
  QTest::newRow("bmp jpeg inside") << Patched(bmp, kCompression, le32(4));
  QTest::newRow("bmp 1000 colours") << Patched(bmp8, kColorsUsed, le32(1000));
  QTest::newRow("bmp header size 41") << Patched(bmp, 14, le32(41));
  QTest::newRow("bmp header size 4000000000") << Patched(bmp, 14, le32(-294967296));
  QTest::newRow("bmp pixels beyond the end") << Patched(bmp, 10, le32(0x7fffffff));
  QTest::newRow("bmp headers only") << bmp.left(54);
  QTest::newRow("dib 100000x100000") << Patched(dib, kWidth - 14, le32(100000) + le32(100000));
  QTest::newRow("dib headers only") << dib.left(40);

  const QByteArray ico = MakeIcon({{Quadrants({32, 32}), 32}});
  const int image = 6 + 16;
  QTest::newRow("ico 100000x100000") << Patched(Patched(ico, 6, QByteArray(2, '\0')), image + 4,
                                                le32(100000) + le32(200000));
  QTest::newRow("ico 16 bits") << Patched(ico, image + 14, le16(16));
  QTest::newRow("ico no images") << Patched(ico, 4, le16(0));
  QTest::newRow("ico offset beyond the end") << Patched(ico, 6 + 12, le32(0x7fffffff));
  QTest::newRow("ico offset into the directory") << Patched(ico, 6 + 12, le32(2));
  QTest::newRow("ico png 100000x100000") << Patched(MakeIcon({{Quadrants({32, 32}), 32, true}}), image + 16,
                                                    QByteArray("\0\x01\x86\xa0\0\x01\x86\xa0", 8));
  // Sides whose product overflows 64 bits (found by fuzzing; UBSan's overflow check catches it).
  QTest::newRow("ico png 3835767978x3811962380")
      << Patched(MakeIcon({{Quadrants({32, 32}), 32, true}}), image + 16,
                 QByteArray("\xe4\xa1\x2c\xaa\xe3\x35\xee\x0c", 8));
  QTest::newRow("ico directory only") << ico.left(image);

  const QByteArray gif = MakeGif({{q}});
  QTest::newRow("gif 65535x65535 screen") << Patched(gif, 6, le16(65535) + le16(65535));
  QTest::newRow("gif 65535x65535 frame on zero screen")
      << Patched(Patched(gif, 6, le32(0)), 13 + 4 * 3 + 8 + 5, le16(65535) + le16(65535));
  QTest::newRow("gif without frame") << QByteArray("GIF89a\x0a\0\x0a\0\0\0\0;", 14);
  QTest::newRow("gif header only") << gif.left(13);

  const QByteArray jpeg = MakeJpeg(Quadrants({32, 32}));
  const int sof = int(jpeg.indexOf("\xFF\xC0"));
  QTest::newRow("jpeg 65535x65535") << Patched(jpeg, sof + 5, QByteArray("\xff\xff\xff\xff", 4));
  QTest::newRow("jpeg soi only") << jpeg.left(2);
  QTest::newRow("jpeg without frame") << jpeg.left(sof);
  // Hundreds of scans: each would be another pass over the whole picture.
  const QByteArray progressive = MakeJpeg(Quadrants({32, 32}), {.progressive = true});
  const int lastScan = int(progressive.lastIndexOf("\xFF\xDA"));
  const QByteArray scan = progressive.mid(lastScan, progressive.size() - 2 - lastScan);
  const QByteArray jpeg12 = MakeJpeg12(Quadrants({32, 32}));
  const int sof12 = int(jpeg12.indexOf("\xFF\xC1"));
  QTest::newRow("jpeg 12 bits, 16000x12000") << Patched(jpeg12, sof12 + 5, QByteArray("\x2e\xe0\x3e\x80", 4));
  QTest::newRow("jpeg 12 bits, progressive") << Patched(jpeg12, sof12 + 1, QByteArray("\xC2"));
  QTest::newRow("jpeg 12 bits, arithmetic") << Patched(jpeg12, sof12 + 1, QByteArray("\xC9"));
  QTest::newRow("jpeg 12 bits, without scan") << jpeg12.left(jpeg12.indexOf("\xFF\xDA"));
  QTest::newRow("jpeg with 500 scans")
      << progressive.left(progressive.size() - 2) + scan.repeated(500) + "\xFF\xD9";
}

void TestPictureLoader::refusesBadInput() {
  QFETCH(QByteArray, data);
  QVERIFY(!loadPictureFromData(data));
  QTemporaryDir dir;
  QVERIFY(WriteFile(dir.filePath("bad"), data));
  QVERIFY(!loadPicture(dir.filePath("bad")));
}

void TestPictureLoader::survivesTruncationAndCorruption() {
  // No crash, no hang; whatever loads is a sane picture, and a truncated file that loads keeps its size.
  // Qt's decoders complain about every damaged file; that is expected here.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
  const auto restoreLogging = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
  QRandomGenerator random(20240601);
  for (const auto& [name, data] : Samples()) {
    const std::optional<Picture> whole = loadPictureFromData(data);
    QVERIFY2(whole, qPrintable(name));
    const int size = int(data.size());
    for (int length : {1, 2, 3, 6, 10, 13, 14, 20, 26, 30, 40, 54, size / 3, size / 2, size - 10, size - 1}) {
      if (length <= 0 || length >= size) continue;
      const std::optional<Picture> part = loadPictureFromData(data.left(length));
      // An icon whose largest image is cut off shows the largest one left.
      const bool sane =
          part && (name.startsWith(QLatin1String("ico")) || name.startsWith(QLatin1String("cur"))
                       ? whole->size().boundedTo(part->size()) == part->size()
                       : part->size() == whole->size());
      if (part) QVERIFY2(sane, qPrintable(name + QStringLiteral(" cut at %1").arg(length)));
    }
    for (int round = 0; round < 1000; ++round) {
      QByteArray mutated = data;
      const int changes = 1 + random.bounded(4);
      for (int i = 0; i < changes; ++i) {
        // Mostly the headers, where a wrong value changes what the decoder does.
        const int at = random.bounded(4) ? random.bounded(std::min(size, 80)) : random.bounded(size);
        mutated[at] = char(random.bounded(256));
      }
      const std::optional<Picture> picture = loadPictureFromData(mutated);
      if (picture) {
        QVERIFY(!picture->isNull());
        QVERIFY(qint64(picture->size().width()) * picture->size().height() <= kMaxPixels);
      }
    }
  }
}

void TestPictureLoader::paintDrawsOnlyExposedPart_data() {
  QTest::addColumn<double>("scale");
  QTest::addColumn<QRect>("exposed");
  QTest::newRow("2x, left part") << 2.0 << QRect(0, 0, 14, 40);
  QTest::newRow("2x, inner block") << 2.0 << QRect(9, 11, 7, 6);
  QTest::newRow("2x, everything") << 2.0 << QRect(0, 0, 40, 40);
  QTest::newRow("0.5x, top part") << 0.5 << QRect(0, 0, 40, 8);
  QTest::newRow("0.5x, everything") << 0.5 << QRect(0, 0, 40, 40);
  QTest::newRow("1x, corner") << 1.0 << QRect(10, 12, 5, 5);
  QTest::newRow("2x, outside") << 2.0 << QRect(30, 30, 5, 5);
}

void TestPictureLoader::paintDrawsOnlyExposedPart() {
  QFETCH(double, scale);
  QFETCH(QRect, exposed);
  constexpr QRgb kUntouched = 0xffff00ff;
  const QImage source = Quadrants({16, 16}).convertToFormat(QImage::Format_RGB32);
  const Picture picture(source);
  const QRectF target(4, 6, 16 * scale, 16 * scale);
  QImage canvas(40, 40, QImage::Format_RGB32);
  canvas.fill(kUntouched);
  {
    QPainter painter(&canvas);
    picture.paint(painter, target, exposed);
  }
  const QRect drawn = target.toAlignedRect() & exposed;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const QRgb actual = canvas.pixel(x, y);
      if (!drawn.contains(x, y)) {
        QVERIFY2(actual == kUntouched, qPrintable(QStringLiteral("pixel %1,%2 was painted").arg(x).arg(y)));
        continue;
      }
      // The source pixel under this pixel's centre; next to a quadrant edge smoothing may blend, so skip
      // those.
      const double sx = (x + 0.5 - target.left()) / scale, sy = (y + 0.5 - target.top()) / scale;
      if (qAbs(sx - 8) < 1.0 || qAbs(sy - 8) < 1.0) continue;
      const QRgb expected = source.pixel(int(sx), int(sy));
      QVERIFY2(actual == expected, qPrintable(QStringLiteral("pixel %1,%2 is %3, expected %4")
                                                  .arg(x)
                                                  .arg(y)
                                                  .arg(actual, 8, 16)
                                                  .arg(expected, 8, 16)));
    }
}

void TestPictureLoader::paintFollowsPainterTransform() {
  // The exposed rectangle is in device pixels; the target in the painter's own coordinates.
  const QImage source = Quadrants({16, 16}).convertToFormat(QImage::Format_RGB32);
  QImage canvas(40, 40, QImage::Format_RGB32);
  canvas.fill(0xffff00ff);
  {
    QPainter painter(&canvas);
    painter.translate(10, 20);
    Picture(source).paint(painter, QRectF(0, 0, 16, 16), QRect(10, 20, 8, 8));
  }
  QCOMPARE(canvas.pixel(11, 21), source.pixel(1, 1));
  QCOMPARE(canvas.pixel(17, 27), source.pixel(7, 7));
  QCOMPARE(canvas.pixel(18, 21), 0xffff00ffu);  // inside the picture, outside the exposed part
  QCOMPARE(canvas.pixel(1, 1), 0xffff00ffu);
  QVERIFY(Picture().isNull());
  QCOMPARE(Picture(source).size(), QSize(16, 16));
  QCOMPARE(Picture(source).toImage().cacheKey(), source.cacheKey());  // shared, not copied
}

namespace {
// Paints a picture at twice its size, as a picture pane does, from its paint event.
class ZoomedPicture : public QWidget {
 public:
  explicit ZoomedPicture(Picture picture, QWidget* parent) : QWidget(parent), picture_(std::move(picture)) {}
  QList<QRect> exposed;

 protected:
  void paintEvent(QPaintEvent* event) override {
    exposed.append(event->rect());
    QPainter painter(this);
    picture_.paint(painter, QRectF(QPointF(0, 0), QSizeF(picture_.size()) * 2), event->rect());
  }

 private:
  Picture picture_;
};
}  // namespace

void TestPictureLoader::paintInsideWidget() {
  // A widget away from its window's corner: its paint events are in its own coordinates.
  const QImage source = Quadrants({16, 16}).convertToFormat(QImage::Format_RGB32);
  QWidget window;
  window.resize(100, 100);
  window.setAutoFillBackground(true);
  window.setPalette(QPalette(QColor(0xff00ff)));
  auto* box = new ZoomedPicture(Picture(source), &window);
  box->setGeometry(30, 40, 32, 32);
  const QImage shot = window.grab(QRect(0, 0, 100, 100)).toImage().convertToFormat(QImage::Format_RGB32);
  QVERIFY(!box->exposed.isEmpty());
  QCOMPARE(shot.pixel(31, 41), source.pixel(0, 0));
  QCOMPARE(shot.pixel(61, 41), source.pixel(15, 0));
  QCOMPARE(shot.pixel(31, 71), source.pixel(0, 15));
  QCOMPARE(shot.pixel(61, 71), source.pixel(15, 15));
  QCOMPARE(shot.pixel(29, 39), 0xffff00ffu);
  // Only a strip of it exposed: the rest of the widget stays as it was.
  QImage strip(32, 32, QImage::Format_RGB32);
  strip.fill(0xffff00ff);
  box->render(&strip, QPoint(), QRegion(0, 0, 8, 32), QWidget::RenderFlags());
  QCOMPARE(box->exposed.last(), QRect(0, 0, 8, 32));
  QCOMPARE(strip.pixel(1, 1), source.pixel(0, 0));
  QCOMPARE(strip.pixel(9, 1), 0xffff00ffu);
}

void TestPictureLoader::drawsSvgAtItsSizeAndSharpAtEveryZoom() {
  const QByteArray rect = "<rect width='1' height='1' fill='red'/>";
  const QList<std::tuple<QByteArray, QSize>> sizes = {
      {MakeSvg(rect, "40", "30"), QSize(40, 30)},
      {MakeSvg(rect, "1in", "0.5in"), QSize(96, 48)},
      {MakeSvg(rect, {}, {}, "0 0 80 60"), QSize(80, 60)},
      {MakeSvg(rect, {}, {}), QSize(300, 150)},
      // Kept in shape at the most a picture may have.
      {MakeSvg(rect, "200000", "100000"), QSize(23170, 11585)},
  };
  for (const auto& [svg, size] : sizes) {
    const std::optional<Picture> picture = loadPictureFromData(svg);
    QVERIFY2(picture && picture->isDrawing(), svg.constData());
    QCOMPARE(picture->size(), size);
  }

  // Stripes a unit wide, drawn at 400 %: each is four whole pixels of its own colour, with no blur between
  // (a picture rasterised once and enlarged would blend at every edge).
  QByteArray stripes;
  for (int x = 0; x < 8; x += 2)
    stripes += QByteArray("<rect x='") + QByteArray::number(x) + "' width='1' height='4'/>";
  const std::optional<Picture> striped = loadPictureFromData(MakeSvg(stripes, "8", "4", "0 0 8 4"));
  QVERIFY(striped);
  QImage zoomed(32, 16, QImage::Format_RGB32);
  zoomed.fill(Qt::gray);
  {
    QPainter painter(&zoomed);
    striped->paint(painter, QRectF(zoomed.rect()), zoomed.rect());
  }
  for (int x = 0; x < 32; ++x)
    QCOMPARE(zoomed.pixel(x, 8), (x / 4) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));

#ifdef Q_OS_UNIX
  // A picture the drawing names by file is left out: opening a pipe would wait for a writer for ever.
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QByteArray pipe = QFile::encodeName(dir.filePath("pipe.png"));
  QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
  const QByteArray refers = MakeSvg(
      "<rect width='10' height='10' fill='blue'/><image x='10' width='10' "
      "height='10' xlink:href='" +
          pipe + "'/>",
      "20", "10");
  std::optional<Picture> drawing;
  std::atomic<bool> read{false};
  std::thread reader([&] {
    drawing = loadPictureFromData(refers);
    read = true;
  });
  const auto unblock = qScopeGuard([&] {
    // Should the reader be stuck in the pipe after all, a writer lets it go so that the test can end.
    if (reader.joinable()) {
      QFile writer(QString::fromLocal8Bit(pipe));
      if (writer.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) writer.close();
      reader.join();
    }
  });
  QTRY_VERIFY_WITH_TIMEOUT(read, 10000);
  reader.join();
  QVERIFY(drawing);
  const QImage drawn = drawing->toImage();
  QCOMPARE(drawn.pixel(5, 5), qRgb(0, 0, 255));
  QCOMPARE(drawn.pixel(15, 5), qRgb(255, 255, 255));
#endif
}

QTEST_MAIN(TestPictureLoader)
#include "test_picture_loader.moc"
