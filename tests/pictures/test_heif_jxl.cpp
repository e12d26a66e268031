// The HEIF / AVIF and JPEG XL readers on pictures made here by the libraries' own encoders: sizes, colours,
// alpha, orientation and colour profiles as shown, and hostile files (cut short, garbage, absurd sizes)
// refused without decoding.
#include "pictures/heif_image.h"
#include "pictures/jxl_image.h"
#include "support/picture_gen.h"

#include <QBuffer>
#include <QColorSpace>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace picture_gen;

namespace {

enum class Kind { Heif, Jxl };

// Four quarters of plain colours, so that orientation and colour show in four pixels; the bottom right
// quarter is half transparent when there is alpha.
QImage quarters(bool alpha, QSize size = QSize(64, 48)) {
  QImage image(size, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
  image.fill(Qt::white);
  const QRgb corner = alpha ? qRgba(255, 255, 255, 128) : qRgb(255, 255, 255);
  const QRgb colours[4] = {qRgb(220, 20, 20), qRgb(20, 200, 20), qRgb(20, 20, 220), corner};
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      image.setPixel(x, y, colours[(y >= size.height() / 2) * 2 + (x >= size.width() / 2)]);
    }
  }
  return image;
}

// Every "ispe" (the stored size of an item) and a grid's layout (in "idat", where libheif puts it) set to
// claim another size; the coded pictures stay.
QByteArray withHeifSize(QByteArray heif, QSize size) {
  for (qsizetype at = heif.indexOf("ispe"); at >= 0; at = heif.indexOf("ispe", at + 4)) {
    qToBigEndian<quint32>(size.width(), heif.data() + at + 8);
    qToBigEndian<quint32>(size.height(), heif.data() + at + 12);
  }
  if (const qsizetype idat = heif.indexOf("idat"); idat >= 0) {
    qToBigEndian<quint16>(size.width(), heif.data() + idat + 8);
    qToBigEndian<quint16>(size.height(), heif.data() + idat + 10);
  }
  return heif;
}

// Every "ispe" with its sides swapped. libheif 1.15 writes the size after the turn; cameras and phones write
// the size as coded, before it.
QByteArray withIspeTransposed(QByteArray heif) {
  for (qsizetype at = heif.indexOf("ispe"); at >= 0; at = heif.indexOf("ispe", at + 4)) {
    const QByteArray width = heif.mid(at + 8, 4);
    heif.replace(at + 8, 4, heif.mid(at + 12, 4));
    heif.replace(at + 12, 4, width);
  }
  return heif;
}

// The HEIF with its coded data (the "mdat" box) overwritten: the boxes that describe it stay.
QByteArray spoiled(QByteArray heif) {
  const qsizetype at = heif.indexOf("mdat") + 4;
  heif.replace(at, heif.size() - at, QByteArray(heif.size() - at, '\xFF'));
  return heif;
}

// Pseudo-random bytes behind a file's first `keep` bytes.
QByteArray garbageAfter(const QByteArray& file, int keep) {
  QByteArray out(4096, '\0');
  QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(out.data()), out.size() / 4);
  return out.replace(0, keep, file.left(keep));
}

QSize sizeOf(Kind kind, const QByteArray& file) {
  QBuffer buffer;
  buffer.setData(file);
  buffer.open(QIODevice::ReadOnly);
  return kind == Kind::Heif ? heifimage::size(buffer) : jxlimage::size(buffer);
}

// The picture read, and the sizes `allowed` was asked about (it says yes to what `limit` holds).
QImage readOf(Kind kind, const QByteArray& file, QList<QSize>* asked, QSize limit) {
  const auto allowed = [&](QSize size) {
    asked->append(size);
    return size.width() <= limit.width() && size.height() <= limit.height();
  };
  return kind == Kind::Heif ? heifimage::read(file, allowed) : jxlimage::read(file, allowed);
}

}  // namespace

Q_DECLARE_METATYPE(Kind)

class TestHeifJxl : public QObject {
  Q_OBJECT

 private slots:
  void readsAsShown_data();
  void readsAsShown();
  void refusesHostileFiles_data();
  void refusesHostileFiles();
};

void TestHeifJxl::readsAsShown_data() {
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QImage>("expected");  // the source as it should be shown
  QTest::addColumn<int>("tolerance");
  QTest::addColumn<QColorSpace>("space");
  QTest::addColumn<QByteArray>("headersOnly");  // the file with its coded picture spoiled; empty: none

  const QImage opaque = quarters(false);
  const QImage translucent = quarters(true);
  const QImage turned = opaque.transformed(QTransform().rotate(90));
  const QByteArray adobe = QColorSpace(QColorSpace::AdobeRgb).iccProfile();

  const QByteArray heic = MakeHeif(opaque, {});
  QTest::newRow("HEIC") << Kind::Heif << heic << opaque << 12 << QColorSpace() << spoiled(heic);
  QTest::newRow("HEIC turned a quarter, with an ICC profile")
      << Kind::Heif << MakeHeif(opaque, {.orientation = 6, .iccProfile = adobe}) << turned << 12
      << QColorSpace(QColorSpace::AdobeRgb) << QByteArray();
  QTest::newRow("AVIF turned a quarter, stored as coded")
      << Kind::Heif << withIspeTransposed(MakeHeif(opaque, {.codec = HeifCodec::Av1, .orientation = 6}))
      << turned << 12 << QColorSpace() << QByteArray();
  QTest::newRow("AVIF with alpha, Display P3 by code points")
      << Kind::Heif << MakeHeif(translucent, {.codec = HeifCodec::Av1, .displayP3 = true}) << translucent
      << 12 << QColorSpace(QColorSpace::DisplayP3) << QByteArray();
  const QByteArray jxl = MakeJxl(translucent, {});
  QTest::newRow("JPEG XL lossless with alpha")
      << Kind::Jxl << jxl << translucent << 0 << QColorSpace() << jxl.left(16);
  // Its pixels come out in sRGB: libjxl's own choice, linear light in eight bits, would band.
  QImage inSrgb = opaque;
  inSrgb.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
  inSrgb.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
  QTest::newRow("JPEG XL lossy with an ICC profile")
      << Kind::Jxl << MakeJxl(opaque, {.lossless = false, .iccProfile = adobe}) << inSrgb << 12
      << QColorSpace() << QByteArray();
  QTest::newRow("JPEG XL container, orientation 6, with an ICC profile")
      << Kind::Jxl << MakeJxl(opaque, {.container = true, .orientation = 6, .iccProfile = adobe}) << turned
      << 0 << QColorSpace(QColorSpace::AdobeRgb) << QByteArray();
}

void TestHeifJxl::readsAsShown() {
  QFETCH(Kind, kind);
  QFETCH(QByteArray, file);
  QFETCH(QImage, expected);
  QFETCH(int, tolerance);
  QFETCH(QColorSpace, space);
  QFETCH(QByteArray, headersOnly);
  QVERIFY(!file.isEmpty());

  const QByteArray head = file.left(64);
  QCOMPARE(heifimage::looksLikeHeif(head), kind == Kind::Heif);
  QCOMPARE(jxlimage::looksLikeJxl(head), kind == Kind::Jxl);
  QCOMPARE(sizeOf(kind, file), expected.size());
  if (!headersOnly.isEmpty()) {
    // The size needs nothing decoded, and the coded picture is not there to be decoded.
    QCOMPARE(sizeOf(kind, headersOnly), expected.size());
    QList<QSize> asked;
    QVERIFY(readOf(kind, headersOnly, &asked, expected.size()).isNull());
  }

  QList<QSize> asked;
  const QImage image = readOf(kind, file, &asked, expected.size());
  QCOMPARE(asked, QList<QSize>{expected.size()});
  QCOMPARE(image.size(), expected.size());
  QCOMPARE(image.hasAlphaChannel(), expected.hasAlphaChannel());
  QCOMPARE(image.colorSpace(), space);
  QCOMPARE(image.devicePixelRatio(), 1.0);
  // Qt 6.4's conversion of RGBX8888 to RGBA8888 copies whole source rows, and overruns on padded ones.
  QCOMPARE(image.bytesPerLine(), qsizetype(image.width()) * 4);
  const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
  for (const QPoint at : {QPoint(16, 12), QPoint(48, 12), QPoint(16, 36), QPoint(48, 36)}) {
    const QPoint scaled(at.x() * expected.width() / 64, at.y() * expected.height() / 48);
    const QColor got = pixels.pixelColor(scaled), want = expected.pixelColor(scaled);
    QVERIFY2(
        std::max({std::abs(got.red() - want.red()), std::abs(got.green() - want.green()),
                  std::abs(got.blue() - want.blue()), std::abs(got.alpha() - want.alpha())}) <= tolerance,
        qPrintable(got.name(QColor::HexArgb) + " for " + want.name(QColor::HexArgb)));
  }
}

void TestHeifJxl::refusesHostileFiles_data() {
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QSize>("claimed");  // what `allowed` must be asked (and refuses); empty: no such claim

  const QImage image = quarters(true);
  const QList<std::pair<Kind, QByteArray>> sources = {
      {Kind::Heif, MakeHeif(image, {})},
      {Kind::Heif, MakeHeif(image, {.codec = HeifCodec::Av1})},
      {Kind::Jxl, MakeJxl(image, {})},
      {Kind::Jxl, MakeJxl(image, {.container = true})},
  };
  for (const auto& [kind, file] : sources) {
    const char* name = kind == Kind::Heif ? (file.contains("av01") ? "AVIF" : "HEIC")
                                          : (file.startsWith("\xFF\x0A") ? "JPEG XL" : "JPEG XL container");
    for (const qsizetype cut : {qsizetype(1), qsizetype(12), qsizetype(40), file.size() / 4, file.size() / 2,
                                file.size() * 3 / 4, file.size() - 1}) {
      QTest::addRow("%s cut at %lld", name, qint64(cut)) << kind << file.left(cut) << QSize();
    }
    QTest::addRow("%s garbage after the signature", name) << kind << garbageAfter(file, 12) << QSize();
  }
  const QByteArray heic = sources[0].second;
  QTest::newRow("HEIC claiming 60000 x 60000")
      << Kind::Heif << withHeifSize(heic, QSize(60000, 60000)) << QSize(60000, 60000);
  QTest::newRow("AVIF claiming 60000 x 60000")
      << Kind::Heif << withHeifSize(sources[1].second, QSize(60000, 60000)) << QSize(60000, 60000);
  // libheif decodes the coded picture whatever the file claims: the caller is asked about that.
  const QImage larger = quarters(false, QSize(256, 192));
  QTest::newRow("HEIC claiming 16 x 12, coded at 256 x 192")
      << Kind::Heif << withHeifSize(MakeHeif(larger, {}), QSize(16, 12)) << QSize(256, 192);
  QTest::newRow("AVIF claiming 16 x 12, coded at 256 x 192")
      << Kind::Heif << withHeifSize(MakeHeif(larger, {.codec = HeifCodec::Av1}), QSize(16, 12))
      << QSize(256, 192);
  QTest::newRow("HEIC claiming 0 x 0") << Kind::Heif << withHeifSize(heic, QSize(0, 0)) << QSize();
  QByteArray hugeMeta = heic;
  qToBigEndian<quint32>(0xFFFFFFF0u, hugeMeta.data() + hugeMeta.indexOf("meta") - 4);
  QTest::newRow("HEIC with a meta box of 4 GiB") << Kind::Heif << hugeMeta << QSize();
  // A size header of 60000 x 60000 (not small, height - 1 in 18 bits, width = height), default metadata.
  QTest::newRow("JPEG XL claiming 60000 x 60000")
      << Kind::Jxl << QByteArray::fromHex("ff0afc522703") << QSize(60000, 60000);
}

void TestHeifJxl::refusesHostileFiles() {
  QFETCH(Kind, kind);
  QFETCH(QByteArray, file);
  QFETCH(QSize, claimed);

  QList<QSize> asked;
  QVERIFY(readOf(kind, file, &asked, QSize(64, 64)).isNull());
  // Asked at most once, and about the size size() reports: a reader does not decode to learn it.
  const QSize reported = sizeOf(kind, file);
  QVERIFY2(asked.isEmpty() || asked == QList<QSize>{reported}, qPrintable(QDebug::toString(asked)));
  if (!claimed.isEmpty()) {
    QCOMPARE(reported, claimed);
    QCOMPARE(asked, QList<QSize>{claimed});
  }
}

QTEST_GUILESS_MAIN(TestHeifJxl)
#include "test_heif_jxl.moc"
