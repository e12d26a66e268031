// Opening picture after picture must not leak: the resident memory after 500 opens stays within a bound of
// what it was once the first ten had warmed the caches up.
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "picture_gen.h"
#include "program_fixture.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace picture_gen;

namespace {

// Resident memory in KiB from /proc/self/status; -1 where there is no such file.
qint64 residentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("VmRSS:")) continue;
    bool ok = false;
    const qint64 kib = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
    return ok ? kib : -1;
  }
  return -1;
}

// A busy picture, so that compressed formats do not shrink it to nothing and every size differs.
QImage Busy(QSize size, int seed) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < size.width(); ++x)
      row[x] = qRgb((x * 7 + seed * 31) & 0xff, (y * 5 + seed * 17) & 0xff, ((x ^ y) + seed) & 0xff);
  }
  return image;
}

}  // namespace

class TestMemory : public QObject {
  Q_OBJECT

 private slots:
  void fiveHundredOpensKeepResidentMemoryFlat();
};

void TestMemory::fiveHundredOpensKeepResidentMemoryFlat() {
  if (residentKiB() < 0) QSKIP("no /proc/self/status here to read the resident memory from");
#if defined(__SANITIZE_ADDRESS__)
  QSKIP("AddressSanitizer keeps freed memory in quarantine: resident memory says nothing here");
#endif

  // Twenty pictures over the formats the loader reads, from thumbnails to a few megapixels.
  QTemporaryDir media;
  QVERIFY(media.isValid());
  const QList<QSize> sizes = {{64, 48},   {120, 90},   {200, 150},  {320, 240},   {640, 480},
                              {800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}, {333, 777}};
  QStringList paths;
  for (int i = 0; i < 20; ++i) {
    const QSize size = sizes[i % sizes.size()];
    const QImage image = Busy(size, i);
    QByteArray bytes;
    QString name;
    switch (i % 4) {
      case 0:
        bytes = MakeBmp(image);
        name = QStringLiteral("p%1.bmp");
        break;
      case 1:
        bytes = MakeJpeg(image, {.quality = 80, .progressive = (i % 8) == 1});
        name = QStringLiteral("p%1.jpg");
        break;
      case 2:
        bytes = MakeBmp(image, {.bitsPerPixel = 32});
        name = QStringLiteral("p%1.bmp");
        break;
      default:
        bytes = MakeJpeg(image);
        name = QStringLiteral("p%1.jpg");
        break;
    }
    QVERIFY(!bytes.isEmpty());
    paths << media.filePath(name.arg(i));
    QVERIFY(WriteFile(paths.last(), bytes));
  }
  // A few small GIFs too (at most 256 colours).
  for (int i = 0; i < 3; ++i) {
    QImage gif = Quadrants(QSize(160 + 40 * i, 120 + 30 * i));
    paths << media.filePath(QStringLiteral("g%1.gif").arg(i));
    QVERIFY(WriteFile(paths.last(), MakeGif({{gif, {}}})));
  }

  ProgramFixture fixture;
  FrmMain& m = *fixture.start().frm_main();
  m.show();

  constexpr int kOpens = 500;
  constexpr int kWarmUp = 10;
  constexpr qint64 kBoundKiB = 20 * 1024;
  qint64 base = 0;
  qint64 peak = 0;
  qint64 last = 0;
  for (int i = 0; i < kOpens; ++i) {
    const QString& path = paths[i % paths.size()];
    m.FileOpen(path);
    QCOMPARE(m.cur_file, path);
    // Let deferred deletes and paints run as they would between a user's clicks.
    if (i % 10 == 9) {
      m.Img->repaint();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QCoreApplication::processEvents();
    }
    if (i == kWarmUp - 1) base = residentKiB();
    if (i >= kWarmUp) {
      last = residentKiB();
      peak = qMax(peak, last);
    }
  }
  // The allocator may keep freed blocks of the largest pictures for a while, so the peak is reported; the
  // bound is on what stays.
  const qint64 growth = last - base;
  qInfo("resident memory: %lld KiB after %d opens, %lld KiB after %d, peak %lld KiB", last, kOpens, base,
        kWarmUp, peak);
  QVERIFY2(growth <= kBoundKiB,
           qPrintable(QStringLiteral("grew by %1 KiB after the first %2 opens").arg(growth).arg(kWarmUp)));
}

QTEST_MAIN(TestMemory)
#include "test_memory.moc"
