// The program's icon as the desktop shows it: drawn whole at every installed size, transparent outside its
// rounded square, the prism and the fanned rays where the vector copy (data/*.svg) has them.
#include "app/artwork.h"

#include <QImage>
#include <QTest>

namespace {

QColor at(const QImage& image, double x, double y) {
  return image.pixelColor(int(x * image.width()), int(y * image.height()));
}

}  // namespace

class TestArtwork : public QObject {
  Q_OBJECT

 private slots:
  void applicationIcon_data() {
    QTest::addColumn<int>("size");
    for (const int size : artwork::kIconSizes) QTest::newRow(qPrintable(QString::number(size))) << size;
  }

  void applicationIcon() {
    QFETCH(int, size);
    const QImage image = artwork::applicationIcon(size).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    // The corners lie outside the rounded square.
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
      QCOMPARE(image.pixelColor(corner).alpha(), 0);
    // The face is opaque orange; the prism's middle is pale and opaque.
    const QColor face = at(image, 0.15, 0.25);
    QCOMPARE(face.alpha(), 255);
    QVERIFY2(face.red() > face.green() && face.green() > face.blue(), qPrintable(face.name()));
    const QColor prism = at(image, 0.48, 0.65);
    QCOMPARE(prism.alpha(), 255);
    QVERIFY2(prism.lightness() > face.lightness(), qPrintable(prism.name()));
  }

  void raysFanOutInTheirColours() {
    const QImage image = artwork::applicationIcon(256).toImage().convertToFormat(QImage::Format_ARGB32);
    // Sampled on each ray's centre line at x = 0.88, top (red) to bottom (violet).
    auto onRay = [&](int i) {
      const double x = 0.88, y = 0.5 + (0.27 + i * 0.09 - 0.5) * (x - 0.55) / 0.45;
      return at(image, x, y);
    };
    const QColor red = onRay(0), green = onRay(3), blue = onRay(4);
    QVERIFY2(red.red() > 200 && red.green() < 80 && red.blue() < 80, qPrintable(red.name()));
    QVERIFY2(green.green() > 140 && green.red() < 80 && green.blue() < 80, qPrintable(green.name()));
    QVERIFY2(blue.blue() > 200 && blue.red() < 80, qPrintable(blue.name()));
  }

  void windowIconHasEverySize() {
    const QIcon icon = artwork::windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : artwork::kIconSizes)
      QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
  }
};

QTEST_MAIN(TestArtwork)
#include "test_artwork.moc"
