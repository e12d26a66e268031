// Decompression bombs: tiny files that declare pictures of hundreds of megabytes are refused before anything
// is allocated, while real pictures of the same formats, however uniform (and so however well compressed),
// still load.
#include "picture_gen.h"
#include "pictures/picture_loader.h"

#include <QTest>
#include <QtEndian>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

using namespace picture_gen;

namespace {

QImage solid(QSize size, QRgb color) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

// The JPEG with its frame header claiming another size; the coded data stays that of the small picture, as
// in a truncated or forged file.
QByteArray withJpegSize(QByteArray jpeg, QSize size) {
  qsizetype sof = jpeg.indexOf("\xFF\xC0");
  if (sof < 0) sof = jpeg.indexOf("\xFF\xC2");  // progressive
  if (sof < 0) return {};
  qToBigEndian<quint16>(quint16(size.height()), jpeg.data() + sof + 5);
  qToBigEndian<quint16>(quint16(size.width()), jpeg.data() + sof + 7);
  return jpeg;
}

// The bitmap with its info header claiming another size (the pixels stay those of the small picture).
QByteArray withBmpSize(QByteArray bmp, QSize size) {
  qToLittleEndian<qint32>(size.width(), bmp.data() + 18);
  qToLittleEndian<qint32>(size.height(), bmp.data() + 22);
  return bmp;
}

// The TIFF with its first directory's width and length claiming another size.
QByteArray withTiffSize(QByteArray tiff, QSize size) {
  if (!tiff.startsWith("II*")) return {};
  const quint32 directory = qFromLittleEndian<quint32>(tiff.constData() + 4);
  const int entries = qFromLittleEndian<quint16>(tiff.constData() + directory);
  for (int i = 0; i < entries; ++i) {
    char* entry = tiff.data() + directory + 2 + 12 * i;
    const quint16 tag = qFromLittleEndian<quint16>(entry);
    if (tag != 256 && tag != 257) continue;
    const quint32 value = quint32(tag == 256 ? size.width() : size.height());
    if (qFromLittleEndian<quint16>(entry + 2) == 3)  // SHORT
      qToLittleEndian<quint16>(quint16(value), entry + 8);
    else
      qToLittleEndian<quint32>(value, entry + 8);
  }
  return tiff;
}

// The lossless WebP with its header claiming another size (14 bits a side, so at most 16384).
QByteArray withWebpSize(QByteArray webp, QSize size) {
  if (webp.mid(12, 4) != "VP8L") return {};
  char* bits = webp.data() + 21;
  const quint32 old = qFromLittleEndian<quint32>(bits);
  qToLittleEndian<quint32>(
      (old & 0xF0000000u) | quint32(size.width() - 1) | (quint32(size.height() - 1) << 14), bits);
  return webp;
}

long peakKilobytes() {
#ifdef Q_OS_LINUX
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
#else
  return 0;
#endif
}

}  // namespace

class TestPictureBombs : public QObject {
  Q_OBJECT

 private slots:
  void refusesBombsWithoutAllocating();
  void loadsUniformPictures_data();
  void loadsUniformPictures();
};

void TestPictureBombs::refusesBombsWithoutAllocating() {
  const QImage tiny = solid(QSize(16, 16), qRgb(200, 10, 10));
  const BmpOptions rle{.bitsPerPixel = 8, .compression = BmpCompression::Rle8};
  const QList<std::pair<const char*, QByteArray>> bombs = {
      {"GIF screen of 16384 x 16384 around a 1 x 1 frame",
       MakeGif({GifFrame{solid(QSize(1, 1), qRgb(0, 0, 0)), QPoint()}}, QSize(16384, 16384))},
      {"GIF screen of 8000 x 8000 around a 16 x 16 frame",
       MakeGif({GifFrame{tiny, QPoint()}}, QSize(8000, 8000))},
      {"JPEG claiming 8192 x 8192", withJpegSize(MakeJpeg(tiny), QSize(8192, 8192))},
      {"JPEG claiming 16000 x 12000", withJpegSize(MakeJpeg(tiny), QSize(16000, 12000))},
      {"progressive JPEG claiming 8192 x 8192",
       withJpegSize(MakeJpeg(tiny, {.progressive = true}), QSize(8192, 8192))},
      {"RLE8 bitmap claiming 16384 x 16384", withBmpSize(MakeBmp(tiny, rle), QSize(16384, 16384))},
      {"RLE24 bitmap claiming 16384 x 16384",
       withBmpSize(MakeBmp(tiny, {.headerSize = 64, .compression = BmpCompression::Rle24}),
                   QSize(16384, 16384))},
      {"PNG claiming 16000 x 16000", PngClaimingSize(MakePng(tiny), QSize(16000, 16000))},
      {"TIFF claiming 16000 x 16000", withTiffSize(MakeWithQt(tiny, "tiff"), QSize(16000, 16000))},
      {"lossless WebP claiming 16384 x 16384", withWebpSize(MakeWithQt(tiny, "webp"), QSize(16384, 16384))},
      {"Huffman bitmap claiming 16384 x 16384",
       withBmpSize(MakeBmp(solid(QSize(16, 16), qRgb(0, 0, 0)),
                           {.headerSize = 64, .bitsPerPixel = 1, .compression = BmpCompression::Huffman1D}),
                   QSize(16384, 16384))},
  };
  const long before = peakKilobytes();
  for (const auto& [name, bytes] : bombs) {
    QVERIFY2(!bytes.isEmpty(), name);
    QVERIFY2(bytes.size() < 4096, name);
    QVERIFY2(!loadPictureFromData(bytes), name);
  }
  // Nothing near the declared sizes (256 MB and up each) was ever allocated.
  QVERIFY2(peakKilobytes() - before < 64 * 1024, qPrintable(QString::number(peakKilobytes() - before)));
}

void TestPictureBombs::loadsUniformPictures_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QSize>("size");
  const QSize big(5000, 4000);  // 20 megapixels, well over what any file may claim freely
  const QImage white = solid(big, qRgb(255, 255, 255));
  QTest::newRow("uniform JPEG") << MakeJpeg(white, {.quality = 50}) << big;
  QTest::newRow("uniform progressive JPEG") << MakeJpeg(white, {.quality = 50, .progressive = true}) << big;
  QTest::newRow("uniform GIF") << MakeGif({GifFrame{solid(QSize(3000, 2000), qRgb(0, 0, 255)), QPoint()}})
                               << QSize(3000, 2000);
  QTest::newRow("uniform RLE8 bitmap") << MakeBmp(solid(QSize(4000, 3000), qRgb(0, 128, 0)),
                                                  {.bitsPerPixel = 8, .compression = BmpCompression::Rle8})
                                       << QSize(4000, 3000);
  QTest::newRow("uniform Huffman bitmap")
      << MakeBmp(solid(QSize(4000, 3000), qRgb(255, 255, 255)),
                 {.headerSize = 64, .bitsPerPixel = 1, .compression = BmpCompression::Huffman1D})
      << QSize(4000, 3000);
  QTest::newRow("uniform PNG") << MakePng(white) << big;
  QTest::newRow("uniform lossless WebP") << MakeWithQt(white, "webp") << big;
  QTest::newRow("uniform TIFF") << MakeWithQt(white, "tiff") << big;
  // Small pictures are never questioned, whatever they claim.
  QTest::newRow("JPEG claiming 2000 x 2000")
      << withJpegSize(MakeJpeg(solid(QSize(16, 16), qRgb(9, 9, 9))), QSize(2000, 2000)) << QSize(2000, 2000);
}

void TestPictureBombs::loadsUniformPictures() {
  QFETCH(QByteArray, bytes);
  QFETCH(QSize, size);
  QVERIFY(!bytes.isEmpty());
  const auto picture = loadPictureFromData(bytes);
  QVERIFY(picture);
  QCOMPARE(picture->size(), size);
}

QTEST_MAIN(TestPictureBombs)
#include "test_picture_bombs.moc"
